#include "entry_writers.h"

#include "failure.h"

namespace morvask {

namespace {
// Stored data is copied in pieces of this size: large enough that the cost of each read
// and write call vanishes, small enough to stay in cache.
constexpr std::size_t COPY_BUFFER_SIZE = 1 << 20;
}  // namespace

EntryWriters::EntryWriters(const vfs::VfsArchive& archive, Console& console)
    : archive_(archive), console_(console), copy_buffer_(COPY_BUFFER_SIZE), chunk_output_(CHUNK_OUTPUT_SIZE) {}

vfs::ResourceFile EntryWriters::open_stream(const std::optional<vfs::DirEntry>& entry) const {
    if (!entry || (entry->type != vfs::ENTRY_FILE && entry->type != vfs::ENTRY_COMPRESSED)) {
        throw Failure("failed to open resource file");
    }
    return vfs::ResourceFile(archive_, *entry);
}

void EntryWriters::extract_plain(const std::optional<vfs::DirEntry>& entry, const std::string& path) {
    vfs::ResourceFile stream = open_stream(entry);
    const auto out = host::OutputFile::create(path);
    if (!out) throw Failure("failed to open file");
    for (;;) {
        const std::size_t n = stream.read(copy_buffer_.data(), copy_buffer_.size());
        if (n == 0) break;
        if (!out->write(copy_buffer_.data(), n)) throw Failure("failed to write to file");
    }
    if (!out->close()) throw Failure("failed to write to file");
}

void EntryWriters::extract_compressed(const std::optional<vfs::DirEntry>& entry, const std::string& path) {
    vfs::ResourceFile stream = open_stream(entry);
    const auto out = host::OutputFile::create(path);
    if (!out) throw Failure("failed to to open file");

    const std::uint64_t size = stream.size();
    std::uint64_t consumed = 0;
    while (consumed < size) {
        std::uint8_t length_bytes[4];
        if (stream.read(length_bytes, sizeof length_bytes) != sizeof length_bytes) {
            console_.print("\n" + std::to_string(consumed) + " " + std::to_string(size));
            throw Failure("failed to read compress marker");
        }
        consumed += sizeof length_bytes;
        const std::uint32_t length = vfs::load_le32(length_bytes);
        const std::uint64_t left = size - consumed;
        // A length of 0, or nothing left to read, ends the content. A length beyond what
        // is left cannot be a chunk of this entry: refuse it before allocating for it.
        if (length == 0 || left == 0) break;
        if (length > left) throw Failure("error in compress stream");

        if (length > chunk_input_.size()) {
            chunk_input_ = std::vector<std::uint8_t>();  // release the old storage first
            chunk_input_.resize(length);
        }
        if (stream.read(chunk_input_.data(), length) != length) throw Failure("error in compress stream");
        consumed += length;
        inflate_chunk(length, *out);
    }
    if (!out->close()) throw Failure("failed to write");
}

void EntryWriters::inflate_chunk(std::size_t length, host::OutputFile& out) {
    const ChunkInflater::Result result =
        inflater_.inflate(chunk_input_.data(), length, chunk_output_.data(), chunk_output_.size());
    if (result.status != ChunkInflater::Status::Ok) throw InflateFailure(ChunkInflater::message(result.status));
    if (!out.write(chunk_output_.data(), result.produced)) throw Failure("failed to write");
}

}  // namespace morvask
