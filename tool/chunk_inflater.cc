#include "chunk_inflater.h"

#include <limits>
#include <new>

namespace morvask {

ChunkInflater::ChunkInflater() {
    if (inflateInit(&stream_) != Z_OK) throw std::bad_alloc();
    ready_ = true;
}

ChunkInflater::~ChunkInflater() {
    if (ready_) inflateEnd(&stream_);
}

ChunkInflater::Result ChunkInflater::inflate(const std::uint8_t* data, std::size_t length, std::uint8_t* out,
                                             std::size_t capacity) {
    // A chunk never exceeds the entry's size, which is below 4 GiB; zlib counts in uInt.
    if (length > std::numeric_limits<uInt>::max() || capacity > std::numeric_limits<uInt>::max()) {
        return {Status::BufError, 0};
    }
    if (inflateReset(&stream_) != Z_OK) return {Status::UnknownError, 0};
    stream_.next_in = const_cast<Bytef*>(data);
    stream_.avail_in = static_cast<uInt>(length);
    stream_.next_out = out;
    stream_.avail_out = static_cast<uInt>(capacity);

    switch (::inflate(&stream_, Z_FINISH)) {
        case Z_STREAM_END:
            return {Status::Ok, capacity - stream_.avail_out};
        case Z_OK:  // with Z_FINISH zlib reports an unfinished stream as Z_BUF_ERROR; be safe
        case Z_BUF_ERROR:
            return {Status::BufError, 0};
        case Z_MEM_ERROR:
            return {Status::MemError, 0};
        case Z_DATA_ERROR:
            return {Status::DataError, 0};
        default:  // Z_NEED_DICT among others
            return {Status::UnknownError, 0};
    }
}

const char* ChunkInflater::message(Status status) {
    switch (status) {
        case Status::Ok:
            return "";
        case Status::BufError:
            return "zlib: buf error!";
        case Status::MemError:
            return "zlib: mem error!";
        case Status::DataError:
            return "zlib: data error!";
        case Status::UnknownError:
            break;
    }
    return "zlib: unknown error!";
}

}  // namespace morvask
