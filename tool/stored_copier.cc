#include "stored_copier.h"

#include "archive_error.h"
#include "failure.h"

namespace morvask {

StoredCopier::StoredCopier(const vfs::VfsArchive& archive)
    : archive_(archive), direct_copy_(archive.source().native_handle() >= 0), buffer_(COPY_PIECE) {}

void StoredCopier::copy(vfs::ResourceFile& stream, host::OutputFile& out) {
    piece_start_ = 0;
    while (copy_piece(stream, out)) piece_start_ += COPY_PIECE;
}

bool StoredCopier::copy_piece(vfs::ResourceFile& stream, host::OutputFile& out) {
    piece_written_ = false;
    std::size_t taken = 0;
    while (taken < COPY_PIECE) {
        vfs::ResourceFile::Extent extent{};
        try {
            extent = stream.next_extent(static_cast<std::uint32_t>(COPY_PIECE - taken));
        } catch (const vfs::DataError&) {
            damaged(out);
        }
        if (extent.length == 0) break;
        if (direct_copy_ && extent.length >= DIRECT_COPY_MIN) {
            append_direct(extent, out);
        } else {
            append_buffered(extent.offset, extent.length, out);
        }
        taken += extent.length;
    }
    flush(out);
    return taken == COPY_PIECE;
}

void StoredCopier::append_direct(const vfs::ResourceFile::Extent& extent, host::OutputFile& out) {
    flush(out);  // bytes gathered earlier come first
    piece_written_ = true;
    const auto result = out.copy_from(archive_.source().native_handle(), extent.offset, extent.length);
    switch (result.status) {
        case host::OutputFile::CopyStatus::Copied:
            return;
        case host::OutputFile::CopyStatus::SourceEnded:
            damaged(out);
        case host::OutputFile::CopyStatus::WriteFailed:
            throw Failure("failed to write to file");
        case host::OutputFile::CopyStatus::Unsupported:
            direct_copy_ = false;
            append_buffered(extent.offset + result.copied, extent.length - result.copied, out);
            return;
    }
}

void StoredCopier::append_buffered(std::uint64_t offset, std::size_t length, host::OutputFile& out) {
    // A piece never holds more than the buffer, so what is gathered always fits.
    if (archive_.source().read_at(offset, buffer_.data() + buffered_, length) != length) damaged(out);
    buffered_ += length;
}

void StoredCopier::flush(host::OutputFile& out) {
    if (buffered_ == 0) return;
    const std::size_t size = buffered_;
    buffered_ = 0;
    piece_written_ = true;
    if (!out.write(buffer_.data(), size)) throw Failure("failed to write to file");
}

void StoredCopier::damaged(host::OutputFile& out) {
    buffered_ = 0;
    if (piece_written_) out.truncate(piece_start_);
    throw vfs::DataError();
}

}  // namespace morvask
