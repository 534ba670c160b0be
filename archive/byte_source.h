// Where an archive's bytes come from. The library reads through this interface only, so
// it never touches the disk itself: the tool hands it the host's file, tests and fuzzers
// hand it bytes in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vfs {

class ByteSource {
public:
    virtual ~ByteSource() = default;

    // Length of the whole source in bytes, fixed for its lifetime.
    virtual std::uint64_t size() const = 0;

    // Copies up to `count` bytes starting at `offset` into `dest` and returns how many
    // arrived: fewer only at the end of the source or on an I/O error. Reads carry no
    // shared position, so concurrent calls are safe.
    virtual std::size_t read_at(std::uint64_t offset, void* dest, std::size_t count) const = 0;

    // The host's file descriptor behind this source, for zero-copy transfers, or -1.
    virtual int native_handle() const { return -1; }
};

// A source over bytes held in memory.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    explicit MemorySource(const std::string& bytes) : bytes_(bytes.begin(), bytes.end()) {}
    MemorySource(const std::uint8_t* data, std::size_t size) : bytes_(data, data + size) {}

    std::uint64_t size() const override { return bytes_.size(); }
    std::size_t read_at(std::uint64_t offset, void* dest, std::size_t count) const override;

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace vfs
