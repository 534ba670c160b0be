// StoredCopier: writes a stored entry's data unchanged into an output file.
//
// The data is taken in pieces of COPY_PIECE bytes along the runs of consecutive blocks
// that ResourceFile::next_extent finds. Large runs are copied by the host from the
// archive file straight into the output (no pass through this program's memory) where
// the host can; small runs, and every run where it cannot, go through a buffer.
//
// The file left behind by a failure does not depend on how the bytes travelled: a piece
// is either written whole or not at all, so when the data turns out to be damaged
// somewhere in a piece, the output is cut back to the piece's start, exactly as if
// each piece were read completely before being written.
#pragma once

#include <cstdint>
#include <vector>

#include "host.h"
#include "resource_file.h"
#include "vfs_archive.h"

namespace morvask {

class StoredCopier {
public:
    static constexpr std::size_t COPY_PIECE = 1 << 20;
    // Runs at least this long are handed to the host's copy; shorter ones are gathered
    // in the buffer, where one write serves many of them.
    static constexpr std::size_t DIRECT_COPY_MIN = 64 << 10;

    explicit StoredCopier(const vfs::VfsArchive& archive);

    // Copies all of `stream`'s data to the end of `out`. Throws Failure
    // "failed to write to file" when the output refuses bytes, vfs::DataError when the
    // data is damaged (the output then ends at a piece boundary).
    void copy(vfs::ResourceFile& stream, host::OutputFile& out);

    // Whether the host's copy is still tried; it is given up after the first refusal.
    bool direct_copy_enabled() const { return direct_copy_; }

private:
    // Copies the next piece; returns false when the data is used up.
    bool copy_piece(vfs::ResourceFile& stream, host::OutputFile& out);
    void append_direct(const vfs::ResourceFile::Extent& extent, host::OutputFile& out);
    void append_buffered(std::uint64_t offset, std::size_t length, host::OutputFile& out);
    void flush(host::OutputFile& out);
    // Takes back what the current piece wrote and reports the damaged data.
    [[noreturn]] void damaged(host::OutputFile& out);

    const vfs::VfsArchive& archive_;
    bool direct_copy_;
    std::vector<std::uint8_t> buffer_;  // COPY_PIECE bytes
    std::size_t buffered_ = 0;          // gathered in buffer_, not yet written
    std::uint64_t piece_start_ = 0;     // output size when the current piece began
    bool piece_written_ = false;        // the current piece has written bytes
};

}  // namespace morvask
