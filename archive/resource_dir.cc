#include "resource_dir.h"

#include <algorithm>
#include <cstring>

#include "archive_error.h"
#include "vfs_archive.h"

namespace vfs {

namespace {
// 744 records: about 64 KiB read per piece.
constexpr std::size_t READ_AHEAD_BYTES = 744 * DIR_ENTRY_SIZE;
}  // namespace

ResourceDir::ResourceDir(const VfsArchive& archive)
    : archive_(archive), is_root_(true), entry_{}, stream_(archive, DirEntry{}) {}

ResourceDir::ResourceDir(const VfsArchive& archive, const DirEntry& entry)
    : archive_(archive), is_root_(false), entry_(entry), stream_(archive, entry) {}

bool ResourceDir::next(DirEntry& out) { return is_root_ ? next_root(out) : next_listed(out); }

bool ResourceDir::next_root(DirEntry& out) {
    const auto& root = archive_.root();
    if (index_ >= root.size() || root[index_].has_empty_name()) return false;
    out = root[index_++];
    return true;
}

bool ResourceDir::next_listed(DirEntry& out) {
    if (buffer_end_ - buffer_begin_ < DIR_ENTRY_SIZE) fill_buffer();
    if (buffer_end_ - buffer_begin_ < DIR_ENTRY_SIZE) {
        if (read_ahead_failure_) std::rethrow_exception(read_ahead_failure_);
        return false;
    }
    out = DirEntry::decode(buffer_.data() + buffer_begin_);
    buffer_begin_ += DIR_ENTRY_SIZE;
    return true;
}

void ResourceDir::fill_buffer() {
    if (read_ahead_failure_) return;
    if (buffer_.empty()) {
        buffer_.resize(std::min<std::size_t>(READ_AHEAD_BYTES, stream_.size()));
    }
    // Keep a partial record that is already buffered, then append whole extents.
    const std::size_t kept = buffer_end_ - buffer_begin_;
    // An empty directory has no buffer at all, and memmove must not see its null pointer.
    if (kept > 0) std::memmove(buffer_.data(), buffer_.data() + buffer_begin_, kept);
    buffer_begin_ = 0;
    buffer_end_ = kept;
    try {
        while (buffer_end_ < buffer_.size()) {
            const auto room = static_cast<std::uint32_t>(buffer_.size() - buffer_end_);
            const ResourceFile::Extent extent = stream_.next_extent(room);
            if (extent.length == 0) break;
            if (archive_.source().read_at(extent.offset, buffer_.data() + buffer_end_, extent.length) !=
                extent.length) {
                throw DataError();
            }
            buffer_end_ += extent.length;
        }
    } catch (const DataError&) {
        read_ahead_failure_ = std::current_exception();
    }
}

}  // namespace vfs
