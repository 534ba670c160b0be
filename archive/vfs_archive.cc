#include "vfs_archive.h"

#include <algorithm>
#include <cstring>

namespace vfs {

namespace {

// Tables are read through a bounded scratch piece, so loading them never needs a second
// copy of a table in its raw form.
constexpr std::size_t TABLE_PIECE_RECORDS = 8192;

// Reads `count` records of `record_size` bytes at `offset` and hands each to `take`.
// Returns false if the source cannot supply them all.
template <typename Take>
bool read_records(const ByteSource& source, std::uint64_t offset, std::uint64_t count,
                  std::size_t record_size, Take take) {
    std::vector<std::uint8_t> piece(
        static_cast<std::size_t>(std::min<std::uint64_t>(count, TABLE_PIECE_RECORDS)) * record_size);
    while (count > 0) {
        const auto records = static_cast<std::size_t>(std::min<std::uint64_t>(count, TABLE_PIECE_RECORDS));
        const std::size_t bytes = records * record_size;
        if (source.read_at(offset, piece.data(), bytes) != bytes) return false;
        for (std::size_t i = 0; i < records; ++i) take(piece.data() + i * record_size);
        offset += bytes;
        count -= records;
    }
    return true;
}

}  // namespace

std::unique_ptr<VfsArchive> open_archive(std::unique_ptr<ByteSource> source) {
    if (!source) throw OpenError("couldnt open file");

    std::uint8_t header_bytes[HEADER_SIZE];
    if (source->read_at(0, header_bytes, HEADER_SIZE) != HEADER_SIZE) {
        throw OpenError("failed to read header");
    }
    const VfsHeader header = VfsHeader::decode(header_bytes);
    if (!header.has_version_1_0()) throw OpenError("datafile has incorrect version");
    if (header.name_length != SUPPORTED_NAME_LENGTH) throw OpenError("unsupported length of filenames");
    if (header.window_size != SUPPORTED_WINDOW_SIZE) throw OpenError("unsupported window size");

    std::unique_ptr<VfsArchive> archive(new VfsArchive(header, std::move(source)));
    archive->load_tables();
    return archive;
}

VfsArchive::VfsArchive(const VfsHeader& header, std::unique_ptr<ByteSource> source)
    : header_(header),
      source_(std::move(source)),
      data_offset_(HEADER_SIZE + std::uint64_t{FAT_ENTRY_SIZE} * header.fat_count +
                   std::uint64_t{DIR_ENTRY_SIZE} * header.root_count) {}

VfsArchive::~VfsArchive() { close(); }

// The table sizes come from the header, so each is compared with what the file can hold
// before anything is allocated: a count the file cannot hold fails like a short read.
void VfsArchive::load_tables() {
    const std::uint64_t file_size = source_->size();
    const std::uint64_t fat_offset = HEADER_SIZE;
    const std::uint64_t fat_bytes = std::uint64_t{FAT_ENTRY_SIZE} * header_.fat_count;
    if (file_size < fat_offset + fat_bytes) throw OpenError("failed to read FAT table");
    next_blocks_.reserve(header_.fat_count);
    if (!read_records(*source_, fat_offset, header_.fat_count, FAT_ENTRY_SIZE, [&](const std::uint8_t* r) {
            next_blocks_.push_back(FatEntry::decode(r).next_block);
        })) {
        throw OpenError("failed to read FAT table");
    }

    const std::uint64_t root_offset = fat_offset + fat_bytes;
    if (file_size < data_offset_) throw OpenError("failed to read root directory");
    root_.reserve(header_.root_count);
    if (!read_records(*source_, root_offset, header_.root_count, DIR_ENTRY_SIZE,
                      [&](const std::uint8_t* r) { root_.push_back(DirEntry::decode(r)); })) {
        throw OpenError("failed to read root directory");
    }

    if (header_.block_size > 0) {
        const std::uint64_t data_bytes = file_size - data_offset_;
        const std::uint64_t blocks_in_file = data_bytes / header_.block_size +
                                             (data_bytes % header_.block_size != 0 ? 1 : 0);
        available_blocks_ = std::min<std::uint64_t>(header_.block_count, blocks_in_file);
    }
}

void VfsArchive::close() {
    root_ = {};
    next_blocks_ = {};
    source_.reset();
}

std::optional<std::uint64_t> VfsArchive::block_bytes(std::uint32_t block, std::uint64_t count) const {
    if (block < 1 || block > header_.block_count || header_.block_size == 0) return std::nullopt;
    const std::uint64_t file_size = source_->size();
    if (file_size < data_offset_) return std::nullopt;
    // Checked by division first: (block - 1) * block_size may not fit in 64 bits when
    // added to the offset of a huge table.
    const std::uint64_t index = block - 1;
    if (index > (file_size - data_offset_) / header_.block_size) return std::nullopt;
    const std::uint64_t offset = data_offset_ + index * header_.block_size;
    if (count > file_size - offset) return std::nullopt;
    return offset;
}

bool VfsArchive::read_block(std::uint32_t index, std::uint8_t* buffer) const {
    if (index < 1 || index > header_.block_count) return false;
    const auto start = block_bytes(index, 0);
    const std::size_t got = start ? source_->read_at(*start, buffer, header_.block_size) : 0;
    std::memset(buffer + got, 0, header_.block_size - got);
    return true;
}

std::uint32_t VfsArchive::next_block(std::uint32_t block) const {
    if (block < 1 || block > next_blocks_.size()) return 0;
    const std::uint32_t next = next_blocks_[block - 1];
    return next <= next_blocks_.size() ? next : 0;
}

std::uint32_t VfsArchive::chain_block(std::uint32_t first, std::uint32_t steps) const {
    std::uint32_t block = first;
    for (std::uint32_t i = 0; i < steps; ++i) {
        block = next_block(block);
        if (block == 0) throw DataError();
    }
    return block;
}

}  // namespace vfs
