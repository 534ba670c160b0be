// TreeWalk: extracts a whole archive into the current directory, either one record at a
// time on the calling thread, or with the compressed data inflated on worker threads
// (ParallelExtraction). Both give the same output, files and exit status, also at every
// failure; the thread count only changes the speed.
#pragma once

#include <cstdint>

#include "console.h"
#include "vfs_archive.h"

namespace morvask {

class TreeWalk {
public:
    // `inflate_threads` 0: one by one on the calling thread; otherwise that many workers
    // inflate chunks while a reading thread runs ahead of the writes.
    TreeWalk(const vfs::VfsArchive& archive, Console& console, unsigned inflate_threads = 0);

    // Extracts the whole archive. Throws Failure with the walk's and the writers'
    // messages, InflateFailure for a chunk zlib refused, vfs::DataError for damaged data.
    void extract_archive();

    // Files handed to a writer so far.
    std::uint64_t files_extracted() const { return files_extracted_; }

private:
    const vfs::VfsArchive& archive_;
    Console& console_;
    unsigned inflate_threads_;
    std::uint64_t files_extracted_ = 0;
};

}  // namespace morvask
