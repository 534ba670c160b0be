#include "byte_source.h"

#include <algorithm>
#include <cstring>

namespace vfs {

std::size_t MemorySource::read_at(std::uint64_t offset, void* dest, std::size_t count) const {
    if (offset >= bytes_.size()) return 0;
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, bytes_.size() - offset));
    std::memcpy(dest, bytes_.data() + offset, n);
    return n;
}

}  // namespace vfs
