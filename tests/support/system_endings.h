// How every run of morvask ends its output: the count line after a complete extraction,
// or one failure message in the format of its kind. Shared by the tests and the fuzz
// targets that run the extraction on damaged archives.
#pragma once

#include <string>
#include <string_view>

namespace testing_support {

// Failures raised in the tool and damaged archive data: printed as "\n<message>\n".
inline const char* const TOOL_MESSAGES[] = {
    "usage: morvask.exe <vfsfile>", "failed to open resource file", "failed to open file",
    "failed to to open file", "failed to write to file", "failed to read compress marker",
    "error in compress stream", "failed to write", "failed to create directory!",
    "failed to open directory", "unknown type", "invalid entry name", "path too long",
    "damaged directory tree", "failed to read archive data"};

// Archives that cannot be opened, and chunks zlib refused: printed as "<message>\n".
inline const char* const PLAIN_MESSAGES[] = {
    "couldnt open file", "failed to read header", "datafile has incorrect version",
    "unsupported length of filenames", "unsupported window size", "failed to read FAT table",
    "failed to read root directory", "zlib: buf error!", "zlib: mem error!", "zlib: data error!",
    "zlib: unknown error!"};

inline bool ends_with(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// Whether `output` ends as a run with exit status `status` must end: the count line for
// 0, one of the failure messages for 1.
inline bool ends_with_a_system_ending(std::string_view output, int status) {
    if (status == 0) return ends_with(output, " files successfully extracted!\n\n");
    if (status != 1) return false;
    for (const char* message : TOOL_MESSAGES) {
        if (ends_with(output, "\n" + std::string(message) + "\n")) return true;
    }
    for (const char* message : PLAIN_MESSAGES) {
        if (ends_with(output, std::string(message) + "\n")) return true;
    }
    return false;
}

}  // namespace testing_support
