#include "test_support.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "run_program.h"

namespace testing_support {

const std::string BANNER_TEXT =
    " - BRACKENHOLLOW VFS EXTRACTOR v1.0 -                     by morvask developers\n" +
    std::string(79, '-') + "\n";

TempDir::TempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = fs::temp_directory_path() / ("morvask-test-" + std::to_string(random()));
        if (fs::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() { remove_tree(path_); }

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void write_file(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

namespace {
void list_below(const fs::path& folder, const std::string& prefix, std::vector<std::string>& entries) {
    for (const FolderEntry& entry : read_folder(folder)) {
        if (!entry.is_directory) {
            entries.push_back(prefix + entry.name);
            continue;
        }
        entries.push_back(prefix + entry.name + "/");
        list_below(folder / native_name(entry.name), prefix + entry.name + "/", entries);
    }
}
}  // namespace

std::vector<std::string> list_tree(const fs::path& root) {
    std::vector<std::string> entries;
    list_below(root, "", entries);
    std::sort(entries.begin(), entries.end());
    return entries;
}

CapturedOutput::CapturedOutput() : stream_(std::fopen((folder_ / "output").string().c_str(), "w+b")) {
    if (stream_ == nullptr) throw std::runtime_error("cannot capture the output");
}

CapturedOutput::~CapturedOutput() { std::fclose(stream_); }

std::string CapturedOutput::text() {
    std::fflush(stream_);
    return read_file(folder_ / "output");
}

ProgramResult run_morvask(const std::vector<std::string>& args, const fs::path& cwd) {
    TempDir capture;
    const fs::path out = capture / "stdout";
    const fs::path err = capture / "stderr";
    ProgramResult result;
    result.status = run_program(MORVASK_PROGRAM, args, cwd, out, err);
    result.output = read_file(out);
    result.errors = read_file(err);
    return result;
}

}  // namespace testing_support
