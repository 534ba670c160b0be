// A few small valid archives, made with the project's fixture builder, that between them
// hold stored and compressed files (one and several chunks, blocks in and out of order),
// nested and empty directories, empty files and a name used twice. They seed the fuzz
// targets (tests/fuzz/corpus) and are the fixtures the mutation test damages. Small
// blocks keep every one well under 4 KiB, so mutations reach every field quickly.
#pragma once

#include <string>
#include <vector>

namespace fuzz_seeds {

struct SeedArchive {
    std::string name;   // file name in the corpus
    std::string bytes;  // the whole archive
};

std::vector<SeedArchive> seed_archives();

}  // namespace fuzz_seeds
