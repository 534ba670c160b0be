// ChunkReader: splits a compressed entry's data into its chunks, each a 4-byte length
// and that many bytes of payload, and reports a broken sequence with the compressed
// writer's messages. It only reads: what becomes of a payload is the caller's affair.
#pragma once

#include <cstdint>

#include "resource_file.h"

namespace morvask {

class ChunkReader {
public:
    explicit ChunkReader(vfs::ResourceFile& stream) : stream_(stream) {}

    // Reads the next length field and returns the payload length, or 0 when the content
    // ends here (a length of 0, or the entry's data used up). Throws Failure
    // "failed to read compress marker" (with the preamble "\n<consumed> <size>") when
    // fewer than 4 bytes are left, Failure "error in compress stream" for a length
    // beyond the rest of the entry, and vfs::DataError for damaged data.
    std::uint32_t next_length();

    // Reads the payload whose length next_length returned into `dest`. Throws Failure
    // "error in compress stream" if it falls short, vfs::DataError for damaged data.
    void read_payload(std::uint8_t* dest, std::uint32_t length);

private:
    vfs::ResourceFile& stream_;
    std::uint64_t consumed_ = 0;
};

}  // namespace morvask
