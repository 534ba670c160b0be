// EntryWriters: turn one file entry of the archive into one file on disk.
//
// extract_plain copies a stored entry's data unchanged; extract_compressed decodes a
// compressed entry's chunks and writes the inflated bytes. Both are handed what the
// lookup of the entry's path found (nothing, or the first record of its name), create
// the output file before reading any data, and either return with the file complete
// and closed or throw: Failure with the writer's message, InflateFailure for a chunk
// zlib refused, vfs::DataError for damaged archive data. A file whose writing failed
// stays on disk as far as it got.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chunk_inflater.h"
#include "host.h"
#include "resource_file.h"
#include "stored_copier.h"
#include "vfs_archive.h"

namespace morvask {

// The largest inflated size of one chunk, as every supported archive declares it.
constexpr std::size_t CHUNK_OUTPUT_SIZE = 50000;

// Whether a lookup's result can be written as a file: it found a stored or a compressed
// entry. The writers refuse anything else with "failed to open resource file".
bool names_a_file(const std::optional<vfs::DirEntry>& entry);

// Creates the output directory `path`; one that already exists (or anything else of that
// name) counts as created. Throws Failure "failed to create directory!" otherwise.
void make_output_directory(const std::string& path);

class EntryWriters {
public:
    explicit EntryWriters(const vfs::VfsArchive& archive);

    // Writes the stored file `entry` to `path`. Messages: "failed to open resource file"
    // (no entry, or not a file), "failed to open file", "failed to write to file".
    void extract_plain(const std::optional<vfs::DirEntry>& entry, const std::string& path);

    // Writes the inflated content of the compressed file `entry` to `path`. Messages:
    // "failed to open resource file", "failed to to open file", "failed to read compress
    // marker" (with the preamble "\n<consumed> <size>"), "error in compress stream" (a
    // chunk longer than what is left of the entry), "failed to write".
    void extract_compressed(const std::optional<vfs::DirEntry>& entry, const std::string& path);

    // Capacity of the chunk input buffer: the longest chunk seen so far.
    std::size_t chunk_input_capacity() const { return chunk_input_.size(); }

private:
    vfs::ResourceFile open_stream(const std::optional<vfs::DirEntry>& entry) const;
    void inflate_chunk(std::size_t length, host::OutputFile& out);

    const vfs::VfsArchive& archive_;
    StoredCopier stored_copier_;
    ChunkInflater inflater_;
    std::vector<std::uint8_t> chunk_input_;   // grows to the longest chunk, never shrinks
    std::vector<std::uint8_t> chunk_output_;  // CHUNK_OUTPUT_SIZE bytes
};

}  // namespace morvask
