// Fuzz target: the whole extraction, as the program runs it, on any bytes.
//
// Each input is written as an archive file next to a private working folder, and
// morvask::run extracts it with that folder as the current directory. Afterwards the
// target checks what the program promises whatever the archive holds:
//   - its output is the banner, at most one progress line per record the file could
//     hold, and one of the system's endings (the count line or a failure message);
//   - nothing exists beside the working folder but the archive, and inside it only
//     plain directories and regular files;
//   - the files written stay within what the archive's data can inflate to.
// Failures of the archive or the tool are reported by run itself; any exception that
// escapes it, a crash, a sanitizer report, a hang or unbounded memory is a fault.

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "console.h"
#include "run.h"
#include "system_endings.h"

namespace {

namespace fs = std::filesystem;

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

// Largest inflated size of one chunk, and the fewest bytes one chunk takes in the
// archive: a 4-byte length and the shortest zlib stream that fills a whole window.
constexpr std::uint64_t CHUNK_OUTPUT = 50000;
constexpr std::uint64_t SMALLEST_FULL_CHUNK = 4 + 40;

// The private place of this fuzzing process: <base>/archive.vfs and <base>/work. It is
// removed when the process ends normally; the folder the process started in is kept
// open, to return to after each input (libFuzzer's own paths may be relative).
struct Sandbox {
    fs::path base;
    fs::path work;
    fs::path archive;
    int home = -1;

    Sandbox() {
        std::string pattern = (fs::temp_directory_path() / "morvask-extract-fuzz-XXXXXX").string();
        require(::mkdtemp(pattern.data()) != nullptr, "a private temporary folder");
        base = pattern;
        work = base / "work";
        archive = base / "archive.vfs";
        fs::create_directory(work);
        home = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        require(home >= 0, "the starting folder can be kept");
    }
    ~Sandbox() {
        std::error_code ignored;
        fs::remove_all(base, ignored);
    }
};

Sandbox& sandbox() {
    static Sandbox instance;
    return instance;
}

void write_archive(const fs::path& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    require(out != nullptr, "the archive file can be written");
    require(std::fwrite(data, 1, size, out) == size, "the archive file is written");
    require(std::fclose(out) == 0, "the archive file is closed");
}

// Empties the working folder; what the previous input left must not help the next.
void clear(const fs::path& folder) {
    for (const auto& item : fs::directory_iterator(folder)) fs::remove_all(item.path());
}

// The total size of the files below `folder`, after checking that it holds nothing but
// plain directories and regular files.
std::uint64_t written_bytes(const fs::path& folder) {
    std::uint64_t total = 0;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        const fs::file_status status = item.symlink_status();
        require(fs::is_directory(status) || fs::is_regular_file(status), "only directories and files are created");
        if (fs::is_regular_file(status)) total += item.file_size();
    }
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Sandbox& place = sandbox();
    clear(place.work);
    write_archive(place.archive, data, size);
    require(::chdir(place.work.c_str()) == 0, "the working folder can be entered");

    char* output_bytes = nullptr;
    std::size_t output_size = 0;
    std::FILE* output = ::open_memstream(&output_bytes, &output_size);
    require(output != nullptr, "an output buffer");
    int status;
    {
        morvask::Console console(output, false);
        const char* const argv[] = {"morvask", "../archive.vfs"};
        status = morvask::run(2, argv, console);
    }
    std::fclose(output);
    require(::fchdir(place.home) == 0, "the starting folder can be entered again");
    const std::string text(output_bytes, output_size);
    std::free(output_bytes);

    require(status == 0 || status == 1, "the exit status is 0 or 1");
    require(text.compare(0, std::string(morvask::BANNER).size(), morvask::BANNER) == 0, "the banner comes first");
    require(testing_support::ends_with_a_system_ending(text, status), "the output ends with one of the system's endings");
    // Banner, one 80-byte progress line per record up to the first one past the limit,
    // the "\n<consumed> <size>" line and the ending.
    const std::uint64_t records = size / 88 + 1;
    require(text.size() <= 160 + 80 * records + 32 + 64, "the output is bounded by the archive's size");

    std::set<std::string> beside;
    for (const auto& item : fs::directory_iterator(place.base)) beside.insert(item.path().filename().string());
    require(beside == std::set<std::string>{"archive.vfs", "work"}, "nothing is created outside the working folder");
    // Each record names at most one file, and a file holds at most what the whole data
    // area inflates to.
    const std::uint64_t largest_file = size + (size / SMALLEST_FULL_CHUNK + 1) * CHUNK_OUTPUT;
    require(written_bytes(place.work) <= records * largest_file, "the files written are bounded by the archive");
    return 0;
}
