// Console: everything the tool prints goes to standard output through here.
//
// On a terminal every print is flushed at once, so the progress line of the entry being
// worked on is on screen while it is worked on. To a file or a pipe the output is fully
// buffered: the bytes are the same, written in large pieces.
#pragma once

#include <cstdio>
#include <string_view>

namespace morvask {

class Console {
public:
    Console(std::FILE* out, bool is_terminal);

    void print(std::string_view text);

    // " <name>", blanks up to column 79, then a carriage return, so that the next line
    // overwrites it. Names never exceed the 64 bytes of their field.
    void print_progress(std::string_view name);

private:
    std::FILE* out_;
    bool is_terminal_;
};

}  // namespace morvask
