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

}  // namespace testing_support
