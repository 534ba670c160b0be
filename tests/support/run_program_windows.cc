// Running a program on Windows: CreateProcess with its standard streams in files.
//
// Arguments are narrow strings in the active code page, as the program receives them; a
// relative or drive-less program path resolves against this process's current folder
// and drive (under wine the build host's "/..." paths land on the drive that maps "/").

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#include "run_program.h"

namespace testing_support {

namespace {

std::wstring widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int length = static_cast<int>(text.size());
    const int wide_length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wide_length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), wide_length);
    return wide;
}

std::string narrow(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int length = static_cast<int>(text.size());
    const int narrow_length = ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(narrow_length), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, bytes.data(), narrow_length, nullptr, nullptr);
    return bytes;
}

// One argument quoted so that the C runtime's command-line parser gives it back
// unchanged: backslashes are literal except before a quote, where they are doubled.
std::wstring quote_argument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

// A handle the child inherits; closed when the object goes.
class InheritedHandle {
public:
    InheritedHandle(const std::wstring& path, DWORD access, DWORD disposition) {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        handle_ = ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~InheritedHandle() {
        if (valid()) ::CloseHandle(handle_);
    }
    InheritedHandle(const InheritedHandle&) = delete;
    InheritedHandle& operator=(const InheritedHandle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

// Exit codes with both top bits set are NTSTATUS errors: the process crashed.
bool ended_abnormally(DWORD exit_code) { return (exit_code & 0xC0000000u) == 0xC0000000u; }

}  // namespace

int run_program(const std::string& program, const std::vector<std::string>& args,
                const std::filesystem::path& cwd, const std::filesystem::path& out,
                const std::filesystem::path& err) {
    const std::wstring program_path = widen(program);
    std::wstring command_line = quote_argument(program_path);
    for (const std::string& argument : args) command_line += L" " + quote_argument(widen(argument));

    const InheritedHandle input(L"NUL", GENERIC_READ, OPEN_EXISTING);
    const InheritedHandle output(out.wstring(), GENERIC_WRITE, CREATE_ALWAYS);
    const InheritedHandle errors(err.wstring(), GENERIC_WRITE, CREATE_ALWAYS);
    if (!input.valid() || !output.valid() || !errors.valid()) return -1;

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.get();
    startup.hStdOutput = output.get();
    startup.hStdError = errors.get();
    PROCESS_INFORMATION process{};
    const std::wstring folder = cwd.wstring();
    if (!::CreateProcessW(program_path.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          folder.c_str(), &startup, &process)) {
        return -1;
    }
    ::CloseHandle(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exit_code = 0;
    const BOOL known = ::GetExitCodeProcess(process.hProcess, &exit_code);
    ::CloseHandle(process.hProcess);
    if (!known || ended_abnormally(exit_code)) return -1;
    return static_cast<int>(exit_code);
}

std::filesystem::path native_name(const std::string& bytes) { return std::filesystem::path(widen(bytes)); }

std::filesystem::path reachable(const std::filesystem::path& path) {
    const std::wstring absolute = std::filesystem::absolute(path).wstring();
    if (absolute.rfind(L"\\\\", 0) == 0) return path;  // already extended, a device or a share
    return std::filesystem::path(L"\\\\?\\" + absolute);
}

std::vector<FolderEntry> read_folder(const std::filesystem::path& folder) {
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW((reachable(folder).wstring() + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return entries;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const bool is_directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                                  (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
        entries.push_back({narrow(name), is_directory});
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return entries;
}

void remove_tree(const std::filesystem::path& path) {
    for (const FolderEntry& entry : read_folder(path)) {
        const std::filesystem::path inside = path / native_name(entry.name);
        if (entry.is_directory) {
            remove_tree(inside);
        } else {
            ::DeleteFileW(reachable(inside).wstring().c_str());
        }
    }
    ::RemoveDirectoryW(reachable(path).wstring().c_str());
}

}  // namespace testing_support
