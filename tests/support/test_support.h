// Helpers shared by the tests: temporary folders, files, and running the built program.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

namespace fs = std::filesystem;

// A fresh empty folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

std::string read_file(const fs::path& path);
void write_file(const fs::path& path, const std::string& bytes);

// Every file and directory below `root`, as sorted relative paths; directories end in '/'.
std::vector<std::string> list_tree(const fs::path& root);

// A stdio stream into a named file of its own, for running the tool in-process. Not
// std::tmpfile(): on Windows that makes its file in the root of the current drive, where
// it may be refused.
class CapturedOutput {
public:
    CapturedOutput();
    ~CapturedOutput();
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    std::FILE* stream() const { return stream_; }
    // Everything written to the stream so far.
    std::string text();

private:
    TempDir folder_;
    std::FILE* stream_;
};

struct ProgramResult {
    int status = -1;     // exit status; -1 if the program did not exit normally
    std::string output;  // everything it wrote to standard output
    std::string errors;  // everything it wrote to standard error
};

// Runs the built morvask with `args` in the folder `cwd`, its output captured in files.
ProgramResult run_morvask(const std::vector<std::string>& args, const fs::path& cwd);

// The banner the program prints first, whatever happens.
extern const std::string BANNER_TEXT;

}  // namespace testing_support
