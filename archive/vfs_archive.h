// VfsArchive: an open, validated archive. It holds the header, the block table and the
// root table in memory and answers the low-level questions of the rest of the library:
// what a block holds, which block follows another in a chain, and where a path leads.
//
// Every number in the archive is untrusted. The tables are sized from the header only
// after checking that the file can hold them; chain steps are checked against the block
// table and the data area; offsets are computed in 64 bits. A damaged archive makes an
// operation fail with DataError; nothing outside a table or the file is ever read.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "archive_error.h"
#include "byte_source.h"
#include "vfs_records.h"

namespace vfs {

class ResourceDir;
class ResourceFile;

// Paths inside an archive: names separated by '\\' or '/', runs of separators counting as
// one. Longer paths resolve to nothing; components after the 40th are ignored.
constexpr std::size_t MAX_PATH_LENGTH = 1023;
constexpr std::size_t MAX_PATH_COMPONENTS = 40;

class VfsArchive {
public:
    VfsArchive(const VfsArchive&) = delete;
    VfsArchive& operator=(const VfsArchive&) = delete;
    ~VfsArchive();

    // Validates `source` as an archive and loads its tables. The checks run in this order
    // and the first that fails throws OpenError with its message:
    //   no source (the file could not be opened)     "couldnt open file"
    //   fewer than 308 bytes                          "failed to read header"
    //   version other than 1.0                        "datafile has incorrect version"
    //   name_length other than 64                     "unsupported length of filenames"
    //   window_size other than 50000                  "unsupported window size"
    //   file too short for fat_count records          "failed to read FAT table"
    //   file too short for root_count records         "failed to read root directory"
    // The data area is not checked here: missing blocks show when they are read.
    friend std::unique_ptr<VfsArchive> open_archive(std::unique_ptr<ByteSource> source);

    // Releases the tables and the source. Runs on destruction; streams and directories
    // made from the archive must be gone by then.
    void close();

    const VfsHeader& header() const { return header_; }
    std::uint32_t block_size() const { return header_.block_size; }
    std::uint32_t block_count() const { return header_.block_count; }
    std::uint32_t fat_count() const { return static_cast<std::uint32_t>(next_blocks_.size()); }
    std::uint32_t root_count() const { return static_cast<std::uint32_t>(root_.size()); }
    const std::vector<DirEntry>& root() const { return root_; }
    std::uint64_t data_offset() const { return data_offset_; }
    const ByteSource& source() const { return *source_; }

    // Reads block `index` (1 ... block_count) into `buffer`, which holds block_size bytes,
    // and returns true; bytes of the block that lie past the end of the file read as 0.
    // Returns false, leaving the buffer as it was, for an index outside the data area.
    bool read_block(std::uint32_t index, std::uint8_t* buffer) const;

    // The block `steps` links down the chain that starts at `first`; `first` itself for
    // 0 steps. Throws DataError when the chain leaves the block table.
    std::uint32_t chain_block(std::uint32_t first, std::uint32_t steps) const;

    // The block after `block` in its chain, or 0 (which never names a block) when the
    // chain leaves the block table: `block` has no record there, or its record names no
    // block of the table (0 or above fat_count).
    std::uint32_t next_block(std::uint32_t block) const;

    // File offset of `count` bytes from the start of block `block`, if the block lies in
    // the data area (1 ... block_count) and those bytes lie within the file.
    std::optional<std::uint64_t> block_bytes(std::uint32_t block, std::uint64_t count) const;

    // Whether the archive really holds `count` blocks: no more than block_count, nor than
    // fit in the file after the tables (a short last block counts as one). An entry that
    // needs more is damaged, whatever its chain says; this bounds every entry's data by
    // the size of the data area.
    bool holds_blocks(std::uint64_t count) const { return count <= available_blocks_; }

    // Path lookup. Each level follows the first record of the name only; a record with an
    // empty name ends the search of its table.
    //
    // find_entry: the record `path` names, or nothing (also for a path with no component).
    std::optional<DirEntry> find_entry(std::string_view path) const;
    // find_in_directory: the record that `components` name inside the data of `directory`,
    // whatever that entry's type.
    std::optional<DirEntry> find_in_directory(const std::vector<std::string_view>& components,
                                              const DirEntry& directory) const;
    // open_file: a stream over the stored or compressed file `path` names, or nothing.
    std::unique_ptr<ResourceFile> open_file(std::string_view path) const;
    // open_directory: the root for the empty path; otherwise the directory `path` names,
    // or nothing.
    std::unique_ptr<ResourceDir> open_directory(std::string_view path) const;

    // Splits `path` at '\\' and '/' into its first 40 non-empty components; nothing for a
    // path longer than 1023 characters.
    static std::optional<std::vector<std::string_view>> split_path(std::string_view path);

private:
    VfsArchive(const VfsHeader& header, std::unique_ptr<ByteSource> source);
    void load_tables();

    VfsHeader header_;
    std::unique_ptr<ByteSource> source_;
    std::vector<std::uint32_t> next_blocks_;  // next_block of each FAT record
    std::vector<DirEntry> root_;
    std::uint64_t data_offset_;
    std::uint64_t available_blocks_ = 0;
};

std::unique_ptr<VfsArchive> open_archive(std::unique_ptr<ByteSource> source);

}  // namespace vfs
