// The thin layer over the host's file, directory and console services. Everything that
// differs between hosts lives behind this header, in one source file per host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "byte_source.h"

namespace morvask::host {

// The separator that joins output paths on this host.
extern const char PATH_SEPARATOR;

// Prepares standard output so that every byte printed reaches it unchanged, and tells
// whether it is a terminal.
bool prepare_standard_output();

// The archive file at `path`, opened for reading, or nothing if it cannot be opened.
std::unique_ptr<vfs::ByteSource> open_input(const std::string& path);

enum class MakeDirectory { Created, AlreadyExists, Failed };
// Creates the directory `path`. AlreadyExists when anything of that name exists.
MakeDirectory make_directory(const std::string& path);

// Whether this host can store an entry of this name as it stands. The names every host
// refuses ("", ".", "..", names with a separator) are checked by the walk itself; this
// adds what a particular host would silently turn into something else.
bool host_accepts_name(std::string_view name);

// An output file, created empty (an existing file is truncated). Writes go straight to
// the host in the caller's pieces; the file is closed on destruction if close() was not
// called.
class OutputFile {
public:
    static std::unique_ptr<OutputFile> create(const std::string& path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Writes all `size` bytes; false if the host took fewer.
    bool write(const void* data, std::size_t size);

    // Appends `length` bytes found at `offset` in the file behind `source_handle` (a
    // ByteSource's native_handle), copied inside the host without passing through the
    // program's memory. `copied` counts the bytes appended. SourceEnded: the source file
    // ended first. Unsupported: the host cannot copy between these two files (or the
    // handle is -1); the caller copies the rest itself. WriteFailed: anything else.
    enum class CopyStatus { Copied, SourceEnded, Unsupported, WriteFailed };
    struct CopyResult {
        CopyStatus status;
        std::size_t copied;
    };
    CopyResult copy_from(int source_handle, std::uint64_t offset, std::size_t length);

    // Cuts the file back to its first `size` bytes; later writes append after them.
    bool truncate(std::uint64_t size);

    // Closes the file; false if the host reports that data could not be written.
    bool close();

private:
    explicit OutputFile(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_;
    bool open_ = true;
};

}  // namespace morvask::host
