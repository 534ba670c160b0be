// The on-disk records of a VFS archive.
//
// An archive is one file laid out as four regions with no gaps between them:
//
//   offset 0                      header            308 bytes (VfsHeader)
//   offset 308                    block table       fat_count  x 8 bytes  (FatEntry)
//   offset 308 + 8 * fat_count    root table        root_count x 88 bytes (DirEntry)
//   data_offset = the end of the root table
//                                 data area         block_count blocks of block_size bytes
//
// Block b (1-based; 0 never names a block) starts at data_offset + (b - 1) * block_size.
// An entry's data is `size` bytes laid over a chain of blocks: the chain starts at
// `first_block`, and the FAT record of each block (record b - 1 for block b) names the
// block that follows it. The chain has no end marker; its length follows from `size`.
//
// A directory's data is a packed table of DirEntry records. The root is not an entry:
// its records are the root table, which ends early at a record with an empty name.
// A compressed file's data is a run of chunks, each a 4-byte length L followed by L
// bytes of one complete zlib stream inflating to at most `window_size` bytes; a length
// of 0 ends the content.
//
// Every integer is 32-bit little-endian unsigned, and the records here are decoded
// field by field from their bytes, so the host's byte order and padding never matter.
// The structs keep the exact on-disk sizes and offsets (checked below) so that a
// record's layout can be read off its declaration.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vfs {

constexpr std::uint32_t ENTRY_FILE = 1;        // stored as it is
constexpr std::uint32_t ENTRY_DIRECTORY = 2;   // data is a table of DirEntry records
constexpr std::uint32_t ENTRY_COMPRESSED = 9;  // data is a run of zlib chunks

constexpr std::size_t HEADER_SIZE = 308;
constexpr std::size_t FAT_ENTRY_SIZE = 8;
constexpr std::size_t DIR_ENTRY_SIZE = 88;
constexpr std::size_t NAME_FIELD_SIZE = 64;

// The only header values this reader supports.
constexpr std::array<std::uint8_t, 4> VERSION_1_0 = {0x00, 0x00, 0x80, 0x3F};  // 1.0f
constexpr std::uint32_t SUPPORTED_NAME_LENGTH = 64;
constexpr std::uint32_t SUPPORTED_WINDOW_SIZE = 50000;

struct VfsHeader {
    std::array<std::uint8_t, 4> version;  // single-precision float, must be 1.0
    std::uint32_t block_size;             // bytes per data block
    std::uint32_t fat_count;              // FatEntry records in the block table
    std::uint32_t root_count;             // DirEntry records in the root table
    std::uint32_t unused_16;
    std::uint32_t name_length;            // size of DirEntry::name, must be 64
    std::uint32_t window_size;            // largest inflated chunk, must be 50000
    std::array<std::uint8_t, 276> unused_28;
    std::uint32_t block_count;            // blocks in the data area

    static VfsHeader decode(const std::uint8_t* bytes);  // HEADER_SIZE bytes
    bool has_version_1_0() const;
};

struct FatEntry {
    std::uint32_t unused_0;
    std::uint32_t next_block;  // the block after this one in its chain

    static FatEntry decode(const std::uint8_t* bytes);  // FAT_ENTRY_SIZE bytes
};

struct DirEntry {
    std::array<char, NAME_FIELD_SIZE> name;  // 0-terminated; a damaged one may fill all 64
    std::uint32_t unused_64;
    std::uint32_t type;         // ENTRY_FILE, ENTRY_DIRECTORY or ENTRY_COMPRESSED
    std::uint32_t unused_72;
    std::uint32_t first_block;  // first block of the entry's data
    std::uint32_t size;         // bytes of data as stored
    std::uint32_t unused_84;

    static DirEntry decode(const std::uint8_t* bytes);  // DIR_ENTRY_SIZE bytes

    // The name up to its 0 byte; a field without one is read as all 64 bytes.
    std::string_view name_view() const;
    bool has_empty_name() const { return name[0] == '\0'; }
};

static_assert(sizeof(VfsHeader) == HEADER_SIZE, "VfsHeader must match the file");
static_assert(offsetof(VfsHeader, block_size) == 4 && offsetof(VfsHeader, fat_count) == 8 &&
                  offsetof(VfsHeader, root_count) == 12 && offsetof(VfsHeader, name_length) == 20 &&
                  offsetof(VfsHeader, window_size) == 24 && offsetof(VfsHeader, block_count) == 304,
              "VfsHeader field offsets must match the file");
static_assert(sizeof(FatEntry) == FAT_ENTRY_SIZE && offsetof(FatEntry, next_block) == 4,
              "FatEntry must match the file");
static_assert(sizeof(DirEntry) == DIR_ENTRY_SIZE, "DirEntry must match the file");
static_assert(offsetof(DirEntry, type) == 68 && offsetof(DirEntry, first_block) == 76 &&
                  offsetof(DirEntry, size) == 80,
              "DirEntry field offsets must match the file");

// Reads a 32-bit little-endian value whatever the host's byte order.
inline std::uint32_t load_le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

}  // namespace vfs
