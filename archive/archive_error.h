// The two tiers of failure the archive library reports. It never prints or exits: the
// caller decides how each tier is shown.
#pragma once

#include <stdexcept>

namespace vfs {

// The file cannot be opened as an archive at all: it is missing, too short, of an
// unsupported kind, or its tables do not fit in it. Raised only by open_archive, with
// one of the fixed messages "couldnt open file", "failed to read header",
// "datafile has incorrect version", "unsupported length of filenames",
// "unsupported window size", "failed to read FAT table", "failed to read root directory".
class OpenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An opened archive turned out to be damaged where an entry's data was needed: a chain
// that leaves the block table or the data area, bytes past the end of the file, a block
// size of 0, or more blocks than the archive holds. The message is always
// DataError::MESSAGE.
class DataError : public std::runtime_error {
public:
    static constexpr const char* MESSAGE = "failed to read archive data";
    DataError() : std::runtime_error(MESSAGE) {}
};

}  // namespace vfs
