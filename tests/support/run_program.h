// Running a program with its standard streams in files: the one host-specific piece of
// the tests.
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

}  // namespace testing_support
