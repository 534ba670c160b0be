// How the tool's failures travel to the one place that reports them (run).
#pragma once

#include <stdexcept>

namespace morvask {

// A failure of the extraction with a fixed message, reported as "\n<message>\n".
class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A chunk that zlib refused, reported as "<message>\n": it is printed over the start of
// the last progress line, as the decoder's own report.
class InflateFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace morvask
