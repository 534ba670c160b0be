// The host layer on POSIX systems.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "host.h"

namespace morvask::host {

const char PATH_SEPARATOR = '/';

namespace {

// An archive file read with pread: reads carry no shared position, so they are safe from
// several threads at once.
class PosixFileSource final : public vfs::ByteSource {
public:
    PosixFileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    ~PosixFileSource() override { ::close(fd_); }
    PosixFileSource(const PosixFileSource&) = delete;
    PosixFileSource& operator=(const PosixFileSource&) = delete;

    std::uint64_t size() const override { return size_; }
    int native_handle() const override { return fd_; }

    std::size_t read_at(std::uint64_t offset, void* dest, std::size_t count) const override {
        auto* out = static_cast<char*>(dest);
        std::size_t total = 0;
        while (total < count) {
            const ssize_t n = ::pread(fd_, out + total, count - total, static_cast<off_t>(offset + total));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            total += static_cast<std::size_t>(n);
        }
        return total;
    }

private:
    int fd_;
    std::uint64_t size_;
};

}  // namespace

bool prepare_standard_output() { return ::isatty(STDOUT_FILENO) != 0; }

std::unique_ptr<vfs::ByteSource> open_input(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixFileSource>(fd, static_cast<std::uint64_t>(st.st_size));
}

MakeDirectory make_directory(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0) return MakeDirectory::Created;
    return errno == EEXIST ? MakeDirectory::AlreadyExists : MakeDirectory::Failed;
}

bool host_accepts_name(std::string_view) { return true; }

std::unique_ptr<OutputFile> OutputFile::create(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    return std::unique_ptr<OutputFile>(new OutputFile(fd));
}

OutputFile::~OutputFile() {
    if (open_) ::close(static_cast<int>(handle_));
}

bool OutputFile::write(const void* data, std::size_t size) {
    const auto* in = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(static_cast<int>(handle_), in, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        in += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

OutputFile::CopyResult OutputFile::copy_from(int source_handle, std::uint64_t offset, std::size_t length) {
#ifdef __linux__
    if (source_handle < 0) return {CopyStatus::Unsupported, 0};
    auto source_offset = static_cast<loff_t>(offset);
    std::size_t copied = 0;
    while (copied < length) {
        const ssize_t n = ::copy_file_range(source_handle, &source_offset, static_cast<int>(handle_), nullptr,
                                            length - copied, 0);
        if (n > 0) {
            copied += static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0) return {CopyStatus::SourceEnded, copied};
        if (errno == EINTR) continue;
        // The kernel, the file systems or the kinds of file do not support the copy.
        if (errno == ENOSYS || errno == EXDEV || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF) {
            return {CopyStatus::Unsupported, copied};
        }
        return {CopyStatus::WriteFailed, copied};
    }
    return {CopyStatus::Copied, copied};
#else
    (void)source_handle;
    (void)offset;
    (void)length;
    return {CopyStatus::Unsupported, 0};
#endif
}

bool OutputFile::truncate(std::uint64_t size) {
    const int fd = static_cast<int>(handle_);
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0 && ::lseek(fd, static_cast<off_t>(size), SEEK_SET) >= 0;
}

bool OutputFile::close() {
    open_ = false;
    return ::close(static_cast<int>(handle_)) == 0;
}

}  // namespace morvask::host
