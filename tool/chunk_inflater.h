// ChunkInflater: decodes one compressed chunk, a complete zlib stream, into a buffer of
// fixed capacity. One inflate state serves every chunk of the run (reset between chunks,
// not set up anew).
#pragma once

#include <cstddef>
#include <cstdint>

#include <zlib.h>

namespace morvask {

class ChunkInflater {
public:
    enum class Status { Ok, BufError, MemError, DataError, UnknownError };

    struct Result {
        Status status;
        std::size_t produced;  // inflated bytes in the output buffer, when Ok
    };

    ChunkInflater();
    ~ChunkInflater();
    ChunkInflater(const ChunkInflater&) = delete;
    ChunkInflater& operator=(const ChunkInflater&) = delete;

    // Inflates the zlib stream at the start of `data` into `out`, which holds `capacity`
    // bytes. Ok when the stream ends (bytes after its end are ignored); BufError when the
    // output is full or the input used up before the end; DataError for damaged data or
    // a wrong check value; MemError when zlib runs out of memory; UnknownError otherwise,
    // for instance for a stream that asks for a preset dictionary.
    Result inflate(const std::uint8_t* data, std::size_t length, std::uint8_t* out, std::size_t capacity);

    // The fixed message for a failed status, as the tool prints it.
    static const char* message(Status status);

private:
    z_stream stream_{};
    bool ready_ = false;
};

}  // namespace morvask
