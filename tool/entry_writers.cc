#include "entry_writers.h"

#include "chunk_reader.h"
#include "failure.h"

namespace morvask {

EntryWriters::EntryWriters(const vfs::VfsArchive& archive)
    : archive_(archive), stored_copier_(archive), chunk_output_(CHUNK_OUTPUT_SIZE) {}

bool names_a_file(const std::optional<vfs::DirEntry>& entry) {
    return entry && (entry->type == vfs::ENTRY_FILE || entry->type == vfs::ENTRY_COMPRESSED);
}

void make_output_directory(const std::string& path) {
    if (host::make_directory(path) == host::MakeDirectory::Failed) throw Failure("failed to create directory!");
}

vfs::ResourceFile EntryWriters::open_stream(const std::optional<vfs::DirEntry>& entry) const {
    if (!names_a_file(entry)) throw Failure("failed to open resource file");
    return vfs::ResourceFile(archive_, *entry);
}

void EntryWriters::extract_plain(const std::optional<vfs::DirEntry>& entry, const std::string& path) {
    vfs::ResourceFile stream = open_stream(entry);
    const auto out = host::OutputFile::create(path);
    if (!out) throw Failure("failed to open file");
    stored_copier_.copy(stream, *out);
    if (!out->close()) throw Failure("failed to write to file");
}

void EntryWriters::extract_compressed(const std::optional<vfs::DirEntry>& entry, const std::string& path) {
    vfs::ResourceFile stream = open_stream(entry);
    const auto out = host::OutputFile::create(path);
    if (!out) throw Failure("failed to to open file");

    ChunkReader chunks(stream);
    while (const std::uint32_t length = chunks.next_length()) {
        if (length > chunk_input_.size()) {
            chunk_input_ = std::vector<std::uint8_t>();  // release the old storage first
            chunk_input_.resize(length);
        }
        chunks.read_payload(chunk_input_.data(), length);
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
