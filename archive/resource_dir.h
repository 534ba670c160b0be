// ResourceDir: one directory's records, listed in stored order.
//
// The root lists the root table up to its first record with an empty name. A
// sub-directory lists every whole record of its data, empty names included (an empty
// name ends a lookup in the table, not a listing); a partial record at the end is not
// listed.
#pragma once

#include <cstdint>
#include <exception>
#include <vector>

#include "resource_file.h"
#include "vfs_records.h"

namespace vfs {

class VfsArchive;

class ResourceDir {
public:
    // The root directory of `archive`.
    explicit ResourceDir(const VfsArchive& archive);
    // The sub-directory whose own record is `entry`; its data is read as a record table.
    ResourceDir(const VfsArchive& archive, const DirEntry& entry);

    bool is_root() const { return is_root_; }
    // The directory's own record; all zero bytes for the root.
    const DirEntry& entry() const { return entry_; }

    // Copies the next record into `out` and returns true, or returns false at the end.
    // Throws DataError when the bytes of the next record lie in damaged data; records
    // before it are all delivered first.
    bool next(DirEntry& out);

private:
    bool next_root(DirEntry& out);
    bool next_listed(DirEntry& out);
    void fill_buffer();

    const VfsArchive& archive_;
    bool is_root_;
    DirEntry entry_;
    std::uint32_t index_ = 0;  // next root record

    // A sub-directory's table is read ahead in large pieces. A failure while reading
    // ahead is kept and raised only when a record that needs the missing bytes is asked
    // for, so the records before it are delivered exactly as a record-by-record reading
    // would deliver them.
    ResourceFile stream_;
    std::vector<std::uint8_t> buffer_;
    std::size_t buffer_begin_ = 0;
    std::size_t buffer_end_ = 0;
    std::exception_ptr read_ahead_failure_;
};

}  // namespace vfs
