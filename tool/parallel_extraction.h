// ParallelExtraction: the whole extraction with the compressed data inflated on several
// cores, and exactly the output, files and exit status of the one-by-one extraction.
//
// A reading thread runs the DirectoryWalk ahead of everything that can be seen from
// outside: it lists directories, resolves records, reads chunk payloads and hands them
// to an InflatePool, and turns each action of the walk into a Step. The calling thread,
// the committer, takes the steps in the walk's order and does every side effect: the
// progress lines, directory and file creation, the writes. A failure met by the reader
// (a damaged listing, a broken chunk sequence, a name the walk refuses) becomes a step
// too, and a zlib refusal is the outcome of a chunk, so the committer meets every
// failure exactly where the one-by-one extraction would have stopped, with everything
// before it done and nothing after it.
//
// The work in flight is bounded by the step queue's length and the pool's slots.
#pragma once

#include <cstdint>

#include "console.h"
#include "vfs_archive.h"

namespace morvask {

class ParallelExtraction {
public:
    // `inflate_threads` (at least 1) workers inflate the chunks.
    ParallelExtraction(const vfs::VfsArchive& archive, Console& console, unsigned inflate_threads);

    // Extracts the whole archive into the current directory and returns the number of
    // files written. Throws what the one-by-one extraction throws, at the same point.
    std::uint64_t extract();

private:
    const vfs::VfsArchive& archive_;
    Console& console_;
    unsigned inflate_threads_;
};

}  // namespace morvask
