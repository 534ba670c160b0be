// Running a program with its standard streams in files, and naming files as the program
// does: the host-specific pieces of the tests.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// Runs `program` with `args` in `cwd`, standard output into `out`, standard error into
// `err`, standard input empty. Returns its exit status, or -1 if it did not exit normally.
int run_program(const std::string& program, const std::vector<std::string>& args,
                const std::filesystem::path& cwd, const std::filesystem::path& out,
                const std::filesystem::path& err);

// The file name the host gives an entry name's bytes: the bytes themselves on POSIX, the
// bytes read in the active code page on Windows.
std::filesystem::path native_name(const std::string& bytes);

}  // namespace testing_support
