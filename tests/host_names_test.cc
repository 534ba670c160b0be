// How entry names become names on the host's disk: the names a Windows file system would
// store as something else (refused there, kept everywhere else), names read in the
// host's character set, and paths longer than Windows' classic 260-character limit.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_windows_names.h"
#include "run_program.h"
#include "test_support.h"
#include "vfs_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

#ifdef _WIN32
constexpr bool HOST_IS_WINDOWS = true;
#else
constexpr bool HOST_IS_WINDOWS = false;
#endif

// The progress line the program prints for an entry.
std::string progress(const std::string& name) { return " " + name + std::string(78 - name.size(), ' ') + "\r"; }

std::size_t entries_in(const fs::path& folder) { return read_folder(folder).size(); }

struct WindowsNameCase {
    const char* name;
    bool accepted;
};

TEST(WindowsNameRule, RefusesWhatWindowsWouldStoreAsSomethingElse) {
    const std::vector<WindowsNameCase> cases = {
        {"plain.txt", true},      {"", true},               {".hidden", true},        {"a.b.c", true},
        {"with space", true},     {"caf\xE9", true},        {"a:b", false},           {"a<b", false},
        {"a>b", false},           {"a\"b", false},          {"a|b", false},           {"a?b", false},
        {"a*b", false},           {"tab\tname", false},     {"\x1f", false},          {"trail.", false},
        {"trail ", false},        {"...", false},           {"CON", false},           {"con", false},
        {"Prn.txt", false},       {"aux.tar.gz", false},    {"NUL", false},           {"COM1", false},
        {"com9.log", false},      {"LPT1", false},          {"lPt9.x", false},        {"CON .txt", false},
        {"CONSOLE", true},        {"CON_", true},           {"xCON", true},           {"COM", true},
        {"COM0", true},           {"COM10", true},          {"LPT", true},            {"LPTA", true},
        {"nulls.txt", true},      {"AUX1", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(morvask::host::windows_accepts_name(c.name), c.accepted) << '"' << c.name << '"';
    }
}

struct HostNameCase {
    std::string name;
    bool directory;
    bool refused_on_windows;
};

// Extracting one entry of each name: Windows refuses the names it would store as
// something else with "invalid entry name" right after their progress line and writes
// nothing; every other host writes them as they are.
TEST(HostNames, WindowsRefusesWhatItWouldRenameOthersWriteIt) {
    const std::vector<HostNameCase> cases = {
        {"a:b", false, true},       {"ask?", false, true},        {"trail.", false, true},
        {"trail ", false, true},    {"CON", false, true},         {"nul.txt", false, true},
        {"Com1.log", false, true},  {"tab\tname", false, true},   {"dir:x", true, true},
        {"CONSOLE.txt", false, false}, {"COM10", false, false},   {"caf\xE9", false, false},
        {"with space", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fixture::ArchiveBuilder builder;
        const fixture::Record file = builder.add_file(c.directory ? "inside" : c.name, "content of " + c.name);
        builder.add_root(c.directory ? builder.add_directory(c.name, {file}) : file);
        TempDir work;
        write_file(work / "names.vfs", builder.bytes());
        const fs::path out = work / "out";
        fs::create_directory(out);

        const ProgramResult result = run_morvask({(work / "names.vfs").string()}, out);

        const bool refused = HOST_IS_WINDOWS && c.refused_on_windows;
        if (refused) {
            EXPECT_EQ(result.status, 1);
            EXPECT_EQ(result.output, BANNER_TEXT + progress(c.name) + "\ninvalid entry name\n");
            EXPECT_EQ(entries_in(out), 0u);
            continue;
        }
        const std::string listed = progress(c.name) + (c.directory ? progress("inside") : "");
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output, BANNER_TEXT + listed + "1 files successfully extracted!\n\n");
        EXPECT_EQ(entries_in(out), 1u);
        const fs::path written = c.directory ? out / native_name(c.name) / "inside" : out / native_name(c.name);
        EXPECT_EQ(read_file(written), "content of " + c.name);
    }
}

// A file at the end of a path of the full 1023 characters: fifteen directories of 63
// characters and a 63-character file name, joined by fifteen separators.
TEST(HostNames, PathOfFullLengthIsWritten) {
    fixture::ArchiveBuilder builder;
    const std::string file_name(63, 'f');
    fixture::Record entry = builder.add_file(file_name, "at the bottom");
    std::string listed = progress(file_name);
    fs::path relative = file_name;
    for (char level = 'a'; level < 'a' + 15; ++level) {
        const std::string directory_name(63, level);
        entry = builder.add_directory(directory_name, {entry});
        listed = progress(directory_name) + listed;
        relative = fs::path(directory_name) / relative;
    }
    ASSERT_EQ(relative.string().size(), 1023u);
    builder.add_root(entry);
    TempDir work;
    write_file(work / "deep.vfs", builder.bytes());
    const fs::path out = work / "out";
    fs::create_directory(out);

    const ProgramResult result = run_morvask({(work / "deep.vfs").string()}, out);

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, BANNER_TEXT + listed + "1 files successfully extracted!\n\n");
    EXPECT_EQ(read_file(reachable(out / relative)), "at the bottom");
}

}  // namespace
