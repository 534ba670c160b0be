#include "resource_file.h"

#include <algorithm>
#include <limits>

#include "archive_error.h"
#include "vfs_archive.h"

namespace vfs {

ResourceFile::ResourceFile(const VfsArchive& archive, const DirEntry& entry)
    : archive_(archive), entry_(entry), cursor_block_(entry.first_block) {}

void ResourceFile::seek_cursor() {
    const std::uint32_t target = position_ / archive_.block_size();
    // Bounded: target is at most size / block_size, and the cursor only moves forward.
    while (cursor_ordinal_ < target) {
        cursor_block_ = archive_.next_block(cursor_block_);
        if (cursor_block_ == 0) throw DataError();
        ++cursor_ordinal_;
    }
}

ResourceFile::Extent ResourceFile::next_extent(std::uint32_t max) {
    if (position_ >= entry_.size || max == 0) return {0, 0};
    const std::uint32_t block_size = archive_.block_size();
    if (!blocks_checked_) {
        if (block_size == 0) throw DataError();
        const std::uint64_t needed = (std::uint64_t{entry_.size} + block_size - 1) / block_size;
        if (!archive_.holds_blocks(needed)) throw DataError();
        blocks_checked_ = true;
    }
    seek_cursor();

    const std::uint32_t offset_in_block = position_ % block_size;
    const std::uint64_t wanted = std::min<std::uint64_t>(max, entry_.size - position_);
    std::uint64_t length = std::min<std::uint64_t>(wanted, block_size - offset_in_block);
    const auto block_start = archive_.block_bytes(cursor_block_, offset_in_block + length);
    if (!block_start) throw DataError();

    // Extend the run over the chain's following blocks while they are also the next
    // blocks of the file; stop quietly before one that cannot be used.
    while (length < wanted) {
        const std::uint32_t next = archive_.next_block(cursor_block_);
        if (next == 0 || next != cursor_block_ + 1) break;
        const std::uint64_t more = std::min<std::uint64_t>(wanted - length, block_size);
        if (!archive_.block_bytes(next, more)) break;
        cursor_block_ = next;
        ++cursor_ordinal_;
        length += more;
    }
    position_ += static_cast<std::uint32_t>(length);
    return {*block_start + offset_in_block, static_cast<std::uint32_t>(length)};
}

std::size_t ResourceFile::read(void* dest, std::size_t count) {
    auto* out = static_cast<std::uint8_t*>(dest);
    std::size_t total = 0;
    while (total < count) {
        const auto max = static_cast<std::uint32_t>(
            std::min<std::size_t>(count - total, std::numeric_limits<std::uint32_t>::max()));
        const Extent extent = next_extent(max);
        if (extent.length == 0) break;
        if (archive_.source().read_at(extent.offset, out + total, extent.length) != extent.length) {
            throw DataError();
        }
        total += extent.length;
    }
    return total;
}

}  // namespace vfs
