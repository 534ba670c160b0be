// How the tool's failures travel to the one place that reports them (run).
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace morvask {

// A failure of the extraction with a fixed message, reported as "\n<message>\n". A few
// failures first print a detail line of their own (the preamble), which the report puts
// before the message, so that the failure can travel as a value until it is reported.
class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& message, std::string preamble = std::string())
        : std::runtime_error(message), preamble_(std::move(preamble)) {}

    const std::string& preamble() const { return preamble_; }

private:
    std::string preamble_;
};

// A chunk that zlib refused, reported as "<message>\n": it is printed over the start of
// the last progress line, as the decoder's own report.
class InflateFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace morvask
