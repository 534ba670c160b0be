// The tool's whole life: banner, argument check, opening the archive, extraction, count.
#pragma once

#include "console.h"

namespace morvask {

// The banner's two lines, each 79 characters and a newline.
extern const char* const BANNER;

// Extracts the archive named by argv[1] into the current directory and returns the exit
// status: 0 after a complete extraction, 1 after the first failure, which is printed in
// the format of its kind:
//   the archive cannot be opened              "<message>\n"
//   zlib refused a chunk                      "<message>\n"
//   any other failure (usage included)        "\n<message>\n"
// `inflate_threads` is TreeWalk's: 0 extracts one record at a time on this thread.
int run(int argc, const char* const* argv, Console& console, unsigned inflate_threads = 0);

}  // namespace morvask
