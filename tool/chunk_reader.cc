#include "chunk_reader.h"

#include <string>

#include "failure.h"

namespace morvask {

std::uint32_t ChunkReader::next_length() {
    const std::uint64_t size = stream_.size();
    if (consumed_ >= size) return 0;
    std::uint8_t length_bytes[4];
    if (stream_.read(length_bytes, sizeof length_bytes) != sizeof length_bytes) {
        throw Failure("failed to read compress marker", "\n" + std::to_string(consumed_) + " " + std::to_string(size));
    }
    consumed_ += sizeof length_bytes;
    const std::uint32_t length = vfs::load_le32(length_bytes);
    const std::uint64_t left = size - consumed_;
    // A length of 0, or nothing left to read, ends the content. A length beyond what is
    // left cannot be a chunk of this entry: it is refused before anything is allocated.
    if (length == 0 || left == 0) {
        consumed_ = size;
        return 0;
    }
    if (length > left) throw Failure("error in compress stream");
    return length;
}

void ChunkReader::read_payload(std::uint8_t* dest, std::uint32_t length) {
    if (stream_.read(dest, length) != length) throw Failure("error in compress stream");
    consumed_ += length;
}

}  // namespace morvask
