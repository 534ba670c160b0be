#include "vfs_records.h"

#include <algorithm>
#include <cstring>

namespace vfs {

VfsHeader VfsHeader::decode(const std::uint8_t* bytes) {
    VfsHeader h{};
    std::copy_n(bytes, h.version.size(), h.version.begin());
    h.block_size = load_le32(bytes + 4);
    h.fat_count = load_le32(bytes + 8);
    h.root_count = load_le32(bytes + 12);
    h.unused_16 = load_le32(bytes + 16);
    h.name_length = load_le32(bytes + 20);
    h.window_size = load_le32(bytes + 24);
    std::copy_n(bytes + 28, h.unused_28.size(), h.unused_28.begin());
    h.block_count = load_le32(bytes + 304);
    return h;
}

// The version is a float that must equal 1.0 exactly. Comparing its bit pattern is the
// same test (no other pattern, NaNs included, compares equal to 1.0f) without relying on
// the host's floating-point format.
bool VfsHeader::has_version_1_0() const { return version == VERSION_1_0; }

FatEntry FatEntry::decode(const std::uint8_t* bytes) {
    return FatEntry{load_le32(bytes), load_le32(bytes + 4)};
}

DirEntry DirEntry::decode(const std::uint8_t* bytes) {
    DirEntry e{};
    std::memcpy(e.name.data(), bytes, e.name.size());
    e.unused_64 = load_le32(bytes + 64);
    e.type = load_le32(bytes + 68);
    e.unused_72 = load_le32(bytes + 72);
    e.first_block = load_le32(bytes + 76);
    e.size = load_le32(bytes + 80);
    e.unused_84 = load_le32(bytes + 84);
    return e;
}

std::string_view DirEntry::name_view() const {
    const auto end = std::find(name.begin(), name.end(), '\0');
    return std::string_view(name.data(), static_cast<std::size_t>(end - name.begin()));
}

}  // namespace vfs
