// Running a program with its standard streams in files, naming files as the program does
// and reaching folders however long their paths: the host-specific pieces of the tests.
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

// `path` in a form the host opens however long it is: as it is on POSIX, the
// extended-length form of the absolute path on Windows.
std::filesystem::path reachable(const std::filesystem::path& path);

// One entry of a folder: its name as bytes (in the active code page on Windows) and
// whether it is a directory; a symbolic link is not one.
struct FolderEntry {
    std::string name;
    bool is_directory;
};

// The entries of `folder`, in no particular order, however long its path.
std::vector<FolderEntry> read_folder(const std::filesystem::path& folder);

// Removes `path` and everything below it, however long the paths; failures are ignored.
void remove_tree(const std::filesystem::path& path);

}  // namespace testing_support
