// ResourceFile: one entry's data read forward as a flat byte sequence, hiding its block
// chain. The same stream serves stored files, compressed files and directory tables.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vfs_records.h"

namespace vfs {

class VfsArchive;

class ResourceFile {
public:
    // A stream at position 0 over `entry`'s data. The archive must outlive the stream.
    ResourceFile(const VfsArchive& archive, const DirEntry& entry);

    std::uint32_t size() const { return entry_.size; }
    std::uint32_t position() const { return position_; }
    const DirEntry& entry() const { return entry_; }

    // Copies the next min(count, size - position) bytes into `dest`, advances past them
    // and returns how many were copied: fewer than `count` only at the end of the data.
    // Throws DataError, with nothing delivered by this call, if the data is damaged
    // where these bytes lie: block_size 0, an entry needing more blocks than the archive
    // holds, a chain that leaves the block table or the data area, or bytes past the end
    // of the archive file. Bytes not needed by the entry are never checked.
    std::size_t read(void* dest, std::size_t count);

    // Where the next bytes of the data lie in the archive file.
    struct Extent {
        std::uint64_t offset;  // in the archive file
        std::uint32_t length;  // 0 at the end of the data
    };

    // The longest run of the next bytes (at most `max`) that lies contiguously in the
    // archive file, checked as for read, and advances past it. A run spans consecutive
    // blocks of the chain; it stops before a block that cannot be used, whose failure is
    // then reported by the next call.
    Extent next_extent(std::uint32_t max);

private:
    // Moves the cursor to the block that holds byte `position_`.
    void seek_cursor();

    const VfsArchive& archive_;
    DirEntry entry_;
    std::uint32_t position_ = 0;
    // The chain is walked once: the cursor remembers a block of the chain and its ordinal,
    // so reading a whole entry costs time linear in its size.
    std::uint32_t cursor_block_ = 0;
    std::uint32_t cursor_ordinal_ = 0;
    bool blocks_checked_ = false;
};

}  // namespace vfs
