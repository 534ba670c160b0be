// Mutation test: each valid fixture archive, damaged in many deterministic ways, must
// still end the extraction with exit status 0 or 1, output that ends with the count line
// or one of the system's messages, and nothing created outside the extraction folder.
//
// The integer and bit mutations run the extraction in this process (thousands of runs in
// about a second); the truncations run the built program, so that its real exit status
// and its silence on standard error are checked too.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "console.h"
#include "run.h"
#include "seed_archives.h"
#include "system_endings.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
namespace ts = testing_support;

struct Mutation {
    std::string what;
    std::string bytes;
};

std::uint32_t le32_at(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

void put_le32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

// Every aligned 32-bit field of the file (header, block table, root table and data)
// replaced by each value a damaged or hostile archive likes to hold there.
std::vector<Mutation> integer_mutations(const std::string& archive) {
    const std::uint32_t block_count = le32_at(archive, 304);
    const auto length = static_cast<std::uint32_t>(archive.size());
    const std::uint32_t values[] = {0, 1, 0xFFFFFFFF, block_count, length};
    std::vector<Mutation> mutations;
    for (std::size_t at = 0; at + 4 <= archive.size(); at += 4) {
        for (const std::uint32_t value : values) {
            if (le32_at(archive, at) == value) continue;
            Mutation m{"32-bit field at " + std::to_string(at) + " = " + std::to_string(value), archive};
            put_le32(m.bytes, at, value);
            mutations.push_back(std::move(m));
        }
    }
    return mutations;
}

// Single and clustered bit flips at reproducible random places.
std::vector<Mutation> bit_flips(const std::string& archive, std::uint64_t seed, int count) {
    std::mt19937_64 random(seed);
    std::vector<Mutation> mutations;
    for (int i = 0; i < count; ++i) {
        Mutation m{"bits flipped at", archive};
        const int flips = 1 + static_cast<int>(random() % 3);
        for (int f = 0; f < flips; ++f) {
            const std::size_t at = random() % archive.size();
            m.bytes[at] = static_cast<char>(m.bytes[at] ^ (1 << (random() % 8)));
            m.what += " " + std::to_string(at);
        }
        mutations.push_back(std::move(m));
    }
    return mutations;
}

// The archive cut short: inside the header, at the table boundaries, and every few bytes
// through the data.
std::vector<Mutation> truncations(const std::string& archive) {
    std::vector<std::size_t> lengths = {0, 1, 307, 308, 312, archive.size() - 1};
    for (std::size_t at = 316; at < archive.size(); at += 53) lengths.push_back(at);
    std::vector<Mutation> mutations;
    for (const std::size_t length : lengths) {
        if (length < archive.size()) {
            mutations.push_back({"cut to " + std::to_string(length) + " bytes", archive.substr(0, length)});
        }
    }
    return mutations;
}

// A folder holding the archive file and the extraction folder "work" beside it.
class Place {
public:
    Place() { fs::create_directory(work()); }
    fs::path archive() const { return dir_ / "archive.vfs"; }
    fs::path work() const { return dir_ / "work"; }

    void reset(const std::string& archive_bytes) {
        for (const auto& item : fs::directory_iterator(work())) fs::remove_all(item.path());
        ts::write_file(archive(), archive_bytes);
    }

    // What is wrong with the folder after a run, or "".
    std::string damage() const {
        for (const auto& item : fs::directory_iterator(dir_.path())) {
            const std::string name = item.path().filename().string();
            if (name != "archive.vfs" && name != "work") return "created beside the extraction folder: " + name;
        }
        for (const auto& item : fs::recursive_directory_iterator(work())) {
            const fs::file_status status = item.symlink_status();
            if (!fs::is_directory(status) && !fs::is_regular_file(status)) {
                return "neither a directory nor a file: " + item.path().string();
            }
        }
        return "";
    }

private:
    ts::TempDir dir_;
};

// What is wrong with the way a run ended, or "".
std::string wrong_ending(int status, const std::string& output) {
    if (status != 0 && status != 1) return "exit status " + std::to_string(status);
    if (output.compare(0, ts::BANNER_TEXT.size(), ts::BANNER_TEXT) != 0) return "no banner";
    if (!ts::ends_with_a_system_ending(output, status)) {
        return "status " + std::to_string(status) + " with output ending \"" +
               output.substr(output.size() - std::min<std::size_t>(output.size(), 60)) + "\"";
    }
    return "";
}

// Runs the extraction in this process, in the folder's "work".
std::string extract_in_process(const Place& place) {
    const fs::path home = fs::current_path();
    fs::current_path(place.work());
    ts::CapturedOutput output;
    int status;
    {
        morvask::Console console(output.stream(), false);
        const char* const argv[] = {"morvask", "../archive.vfs"};
        status = morvask::run(2, argv, console);
    }
    fs::current_path(home);
    return wrong_ending(status, output.text());
}

// Runs the built program in the folder's "work".
std::string extract_with_program(const Place& place) {
    const ts::ProgramResult result = ts::run_morvask({"../archive.vfs"}, place.work());
    if (!result.errors.empty()) return "wrote to standard error: " + result.errors;
    return wrong_ending(result.status, result.output);
}

// Runs every mutation and reports the first that goes wrong, with what was damaged.
void expect_clean_endings(const std::string& fixture, const std::vector<Mutation>& mutations,
                          const std::function<std::string(const Place&)>& extract) {
    ASSERT_FALSE(mutations.empty());
    Place place;
    for (const Mutation& m : mutations) {
        place.reset(m.bytes);
        std::string wrong = extract(place);
        if (wrong.empty()) wrong = place.damage();
        if (!wrong.empty()) {
            ADD_FAILURE() << fixture << ", " << m.what << ": " << wrong;
            return;
        }
    }
}

class Mutated : public ::testing::TestWithParam<fuzz_seeds::SeedArchive> {};

TEST_P(Mutated, IntegerFieldsReplacedEndCleanly) {
    expect_clean_endings(GetParam().name, integer_mutations(GetParam().bytes), extract_in_process);
}

TEST_P(Mutated, BitFlipsEndCleanly) {
    expect_clean_endings(GetParam().name, bit_flips(GetParam().bytes, 20240611, 400), extract_in_process);
}

TEST_P(Mutated, TruncationsEndCleanlyInTheProgram) {
    expect_clean_endings(GetParam().name, truncations(GetParam().bytes), extract_with_program);
}

// The unmutated fixture extracts completely: the mutations start from a valid archive.
TEST_P(Mutated, FixtureItselfExtracts) {
    Place place;
    place.reset(GetParam().bytes);
    const ts::ProgramResult result = ts::run_morvask({"../archive.vfs"}, place.work());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(wrong_ending(result.status, result.output), "");
}

INSTANTIATE_TEST_SUITE_P(SeedArchives, Mutated, ::testing::ValuesIn(fuzz_seeds::seed_archives()),
                         [](const ::testing::TestParamInfo<fuzz_seeds::SeedArchive>& info) {
                             return info.param.name.substr(0, info.param.name.find('.'));
                         });

}  // namespace
