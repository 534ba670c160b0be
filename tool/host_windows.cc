// The host layer on Windows.
//
// Paths arrive as bytes in the active code page, as the command line and the archive's
// names always were, and are turned into the extended-length form of their absolute path
// ("\\?\C:\..."), so that output paths up to the walk's full 1023 characters work beyond
// the classic 260-character limit.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string>

#include "host.h"
#include "host_windows_names.h"

namespace morvask::host {

const char PATH_SEPARATOR = '\\';

namespace {

// The largest piece handed to one ReadFile or WriteFile call, whose counts are 32-bit.
constexpr std::size_t MAX_IO_PIECE = std::size_t{1} << 30;

// `path`'s bytes read in the active code page, as the system's narrow file functions do.
std::wstring widen(const std::string& path) {
    if (path.empty()) return std::wstring();
    if (path.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return std::wstring();
    const int length = static_cast<int>(path.size());
    const int wide_length = ::MultiByteToWideChar(CP_ACP, 0, path.data(), length, nullptr, 0);
    if (wide_length <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(wide_length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, path.data(), length, wide.data(), wide_length);
    return wide;
}

// The absolute, extended-length form of `path`; empty if it cannot be formed. Paths that
// already name a device or are in extended form ("\\.\", "\\?\") are kept as they are.
std::wstring native_path(const std::string& path) {
    const std::wstring wide = widen(path);
    if (wide.empty()) return std::wstring();
    const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return std::wstring();
    std::wstring full(needed, L'\0');
    const DWORD written = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (written == 0 || written >= needed) return std::wstring();
    full.resize(written);

    if (full.rfind(L"\\\\?\\", 0) == 0 || full.rfind(L"\\\\.\\", 0) == 0) return full;
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// An archive file read with positioned ReadFile calls: the offset travels with each call
// instead of living in the handle, so reads from several threads do not disturb each
// other.
class WindowsFileSource final : public vfs::ByteSource {
public:
    WindowsFileSource(HANDLE file, std::uint64_t size) : file_(file), size_(size) {}
    ~WindowsFileSource() override { ::CloseHandle(file_); }
    WindowsFileSource(const WindowsFileSource&) = delete;
    WindowsFileSource& operator=(const WindowsFileSource&) = delete;

    std::uint64_t size() const override { return size_; }

    std::size_t read_at(std::uint64_t offset, void* dest, std::size_t count) const override {
        auto* out = static_cast<char*>(dest);
        std::size_t total = 0;
        while (total < count) {
            const std::uint64_t at = offset + total;
            OVERLAPPED position{};
            position.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
            position.OffsetHigh = static_cast<DWORD>(at >> 32);
            const auto piece = static_cast<DWORD>(std::min(count - total, MAX_IO_PIECE));
            DWORD got = 0;
            if (!::ReadFile(file_, out + total, piece, &got, &position) || got == 0) break;
            total += got;
        }
        return total;
    }

private:
    HANDLE file_;
    std::uint64_t size_;
};

HANDLE as_handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

bool prepare_standard_output() {
    // Text mode would turn every "\n" into "\r\n"; the output must be the same bytes on
    // every host.
    std::fflush(stdout);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    // Only a console is a terminal: the NUL device is a character device too.
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

std::unique_ptr<vfs::ByteSource> open_input(const std::string& path) {
    const std::wstring native = native_path(path);
    if (native.empty()) return nullptr;
    // Without FILE_FLAG_BACKUP_SEMANTICS a directory cannot be opened, as on other hosts.
    const HANDLE file = ::CreateFileW(native.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    LARGE_INTEGER size{};
    // A device such as NUL has no size: it reads as empty.
    if (::GetFileType(file) == FILE_TYPE_DISK && !::GetFileSizeEx(file, &size)) {
        ::CloseHandle(file);
        return nullptr;
    }
    return std::make_unique<WindowsFileSource>(file, static_cast<std::uint64_t>(size.QuadPart));
}

MakeDirectory make_directory(const std::string& path) {
    const std::wstring native = native_path(path);
    if (native.empty()) return MakeDirectory::Failed;
    if (::CreateDirectoryW(native.c_str(), nullptr)) return MakeDirectory::Created;
    // Windows reports an existing file of that name as ERROR_ALREADY_EXISTS, like EEXIST.
    return ::GetLastError() == ERROR_ALREADY_EXISTS ? MakeDirectory::AlreadyExists : MakeDirectory::Failed;
}

bool host_accepts_name(std::string_view name) { return windows_accepts_name(name); }

std::unique_ptr<OutputFile> OutputFile::create(const std::string& path) {
    const std::wstring native = native_path(path);
    if (native.empty()) return nullptr;
    const HANDLE file = ::CreateFileW(native.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::unique_ptr<OutputFile>(new OutputFile(reinterpret_cast<std::intptr_t>(file)));
}

OutputFile::~OutputFile() {
    if (open_) ::CloseHandle(as_handle(handle_));
}

bool OutputFile::write(const void* data, std::size_t size) {
    const auto* in = static_cast<const char*>(data);
    while (size > 0) {
        const auto piece = static_cast<DWORD>(std::min(size, MAX_IO_PIECE));
        DWORD written = 0;
        if (!::WriteFile(as_handle(handle_), in, piece, &written, nullptr) || written == 0) return false;
        in += written;
        size -= written;
    }
    return true;
}

// The host offers no copy between two files by position that would pay here: stored
// data goes through the program's buffer.
OutputFile::CopyResult OutputFile::copy_from(int, std::uint64_t, std::size_t) { return {CopyStatus::Unsupported, 0}; }

bool OutputFile::truncate(std::uint64_t size) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(size);
    return ::SetFilePointerEx(as_handle(handle_), position, nullptr, FILE_BEGIN) != 0 &&
           ::SetEndOfFile(as_handle(handle_)) != 0;
}

bool OutputFile::close() {
    open_ = false;
    return ::CloseHandle(as_handle(handle_)) != 0;
}

}  // namespace morvask::host
