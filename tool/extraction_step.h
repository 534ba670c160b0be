// Step: one side effect of the extraction, decided by the reading thread and carried
// out by the committer (see ParallelExtraction).
#pragma once

#include <cstddef>
#include <exception>
#include <optional>
#include <string>

#include "vfs_records.h"

namespace morvask {

struct Step {
    enum class Kind {
        Progress,          // print the progress line of `text`, a record's name
        MakeDirectory,     // create the directory `text`
        WritePlain,        // write the stored file `text` whose lookup found `entry`
        CreateCompressed,  // create the output file `text` for the chunks that follow
        Chunk,             // append the inflated chunk of pool slot `slot`
        CloseCompressed,   // close the file the chunks went to
        Fail,              // report `failure`; the extraction ends
        End,               // the walk is complete
    };

    Kind kind = Kind::End;
    std::string text;
    std::optional<vfs::DirEntry> entry;
    std::size_t slot = 0;
    std::exception_ptr failure;
};

}  // namespace morvask
