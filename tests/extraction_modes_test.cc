// The extraction gives the same output, files and exit status whether it runs one
// record at a time or with chunks inflated on worker threads, and whether stored data is
// copied by the host or through a buffer: on sound archives and, above all, at every
// failure.

#include <cstdio>
#include <map>
#include <ostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive_error.h"
#include "byte_source.h"
#include "console.h"
#include "failure.h"
#include "host.h"
#include "run.h"
#include "seed_archives.h"
#include "test_support.h"
#include "tree_walk.h"
#include "vfs_archive.h"
#include "vfs_fixture.h"

namespace {

namespace fs = std::filesystem;
using fixture::ArchiveBuilder;
using fixture::Record;
using testing_support::TempDir;

// Runs `body` with `dir` as the current directory.
template <typename Body>
void inside(const fs::path& dir, Body body) {
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    try {
        body();
    } catch (...) {
        fs::current_path(previous);
        throw;
    }
    fs::current_path(previous);
}

// Everything an extraction leaves: its output, its status and the tree it wrote.
struct Outcome {
    int status = -1;
    std::string output;
    std::map<std::string, std::string> tree;  // relative path -> content ("/" for a directory)

    bool operator==(const Outcome& other) const {
        return status == other.status && output == other.output && tree == other.tree;
    }
};

// A short description for failure messages: the status, the output and each file's size.
void PrintTo(const Outcome& outcome, std::ostream* os) {
    *os << "status " << outcome.status << ", output " << ::testing::PrintToString(outcome.output) << ", tree {";
    for (const auto& [path, bytes] : outcome.tree) *os << " " << path << ":" << bytes.size();
    *os << " }";
}

std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> tree;
    for (const std::string& entry : testing_support::list_tree(root)) {
        tree[entry] = entry.back() == '/' ? "/" : testing_support::read_file(root / entry);
    }
    return tree;
}

// Extracts the archive file `archive` in-process with `inflate_threads`.
Outcome extract(const fs::path& archive, unsigned inflate_threads) {
    TempDir out;
    Outcome outcome;
    testing_support::CapturedOutput captured;
    inside(out.path(), [&] {
        morvask::Console console(captured.stream(), false);
        const std::string path = archive.string();
        const char* argv[] = {"morvask", path.c_str()};
        outcome.status = morvask::run(2, argv, console, inflate_threads);
    });
    outcome.output = captured.text();
    outcome.tree = snapshot(out.path());
    return outcome;
}

std::string content(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        // Runs of repeated letters compress, the rest does not: chunks of mixed kinds.
        bytes[i] = static_cast<char>((i / 37) % 3 == 0 ? 'a' + (i / 500) % 26 : x >> 24);
    }
    return bytes;
}

// A small tree with every kind of entry, compressed files of several chunks.
ArchiveBuilder sample_tree() {
    ArchiveBuilder b(512);
    const Record a = b.add_compressed("a.bin", content(3000, 1), 1000);
    const Record b2 = b.add_compressed("b.bin", content(5200, 2), 1000);
    const Record c = b.add_file("c.txt", content(1500, 3));
    const Record d = b.add_compressed("d.bin", content(2500, 4), 700, fixture::Placement::Reversed);
    const Record e = b.add_file("e.txt", content(900, 5), fixture::Placement::Reversed);
    const Record empty = b.add_compressed("empty.bin", "");
    const Record inner = b.add_directory("inner", {d, e, empty});
    b.add_root(a);
    b.add_root(b2);
    b.add_root(inner);
    b.add_root(c);
    return b;
}

class ExtractionModes : public ::testing::Test {
protected:
    fs::path write_archive(const std::string& bytes) {
        const fs::path path = dir_ / ("archive" + std::to_string(count_++) + ".vfs");
        testing_support::write_file(path, bytes);
        return path;
    }

    // The one-by-one outcome, after checking that every parallel setting gives it too.
    Outcome same_in_every_mode(const fs::path& archive) {
        const Outcome one_by_one = extract(archive, 0);
        for (const unsigned threads : {1u, 2u, 4u}) {
            EXPECT_EQ(extract(archive, threads), one_by_one) << archive << " with " << threads << " threads";
        }
        return one_by_one;
    }

    TempDir dir_;
    int count_ = 0;
};

TEST_F(ExtractionModes, SoundArchiveGivesTheSameTreeInEveryMode) {
    const Outcome outcome = same_in_every_mode(write_archive(sample_tree().bytes()));
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.tree.at("b.bin"), content(5200, 2));
    EXPECT_EQ(outcome.tree.at("inner/d.bin"), content(2500, 4));
    EXPECT_EQ(outcome.tree.at("inner/empty.bin"), "");
    EXPECT_NE(outcome.output.find("6 files successfully extracted!\n\n"), std::string::npos);
}

// The third chunk of the second file is refused by zlib: the first file is complete,
// the second holds its first two chunks, nothing after it exists, and the zlib message
// follows the second file's progress line.
TEST_F(ExtractionModes, ZlibFailureInTheThirdChunkOfTheSecondFile) {
    ArchiveBuilder b(512);
    b.add_root(b.add_compressed("first", content(4000, 7), 1000));
    std::string chunks = fixture::chunk_sequence(content(5000, 8), 1000);
    // Chunk 3 starts after two chunks; its Adler-32 trailer is its last 4 bytes.
    std::size_t at = 0;
    for (int i = 0; i < 2; ++i) at += 4 + fixture::zlib_stream(content(5000, 8).substr(i * 1000, 1000)).size();
    const std::size_t third = 4 + fixture::zlib_stream(content(5000, 8).substr(2000, 1000)).size();
    chunks[at + third - 1] ^= 0x55;
    b.add_root({"second", fixture::kTypeCompressed, b.add_data(chunks), static_cast<std::uint32_t>(chunks.size())});
    b.add_root(b.add_file("third", "never written"));

    const Outcome outcome = same_in_every_mode(write_archive(b.bytes()));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.tree.size(), 2u);
    EXPECT_EQ(outcome.tree.at("first"), content(4000, 7));
    EXPECT_EQ(outcome.tree.at("second"), content(5000, 8).substr(0, 2000));
    const std::string tail = " second" + std::string(72, ' ') + "\rzlib: data error!\n";
    ASSERT_GE(outcome.output.size(), tail.size());
    EXPECT_EQ(outcome.output.substr(outcome.output.size() - tail.size()), tail);
}

// Every kind of damage, anywhere in the archive: a byte changed at many places, and the
// file cut short at many lengths.
TEST_F(ExtractionModes, DamagedArchivesGiveTheSameOutcomeInEveryMode) {
    const std::string sound = sample_tree().bytes();
    std::vector<std::string> damaged;
    for (std::size_t at = 0; at < sound.size(); at += 97) {
        std::string bytes = sound;
        bytes[at] = static_cast<char>(bytes[at] ^ (at % 5 == 0 ? 0xFF : 0x21));
        damaged.push_back(bytes);
    }
    for (std::size_t length = sound.size() - 1; length > 300; length -= 331) damaged.push_back(sound.substr(0, length));

    int failures = 0;
    for (const std::string& bytes : damaged) failures += same_in_every_mode(write_archive(bytes)).status != 0;
    // The damage must reach the failure paths, not only the data.
    EXPECT_GT(failures, static_cast<int>(damaged.size()) / 4);
}

// The fuzz targets' seed archives, each with a byte changed at many places.
TEST_F(ExtractionModes, DamagedSeedArchivesGiveTheSameOutcomeInEveryMode) {
    for (const fuzz_seeds::SeedArchive& seed : fuzz_seeds::seed_archives()) {
        for (std::size_t at = 0; at < seed.bytes.size(); at += 41) {
            std::string bytes = seed.bytes;
            bytes[at] = static_cast<char>(bytes[at] ^ (1 << (at % 8)));
            same_in_every_mode(write_archive(bytes));
        }
    }
}

// A chunk sequence broken in each way the reader meets before any inflating: the
// failure surfaces after the chunks before it are written.
TEST_F(ExtractionModes, BrokenChunkSequencesFailAtTheSamePoint) {
    const std::string good = fixture::chunk_sequence(content(3000, 9), 1000);
    const std::string cases[] = {
        good + "\x05\x00",                                     // ends inside a length field
        good + fixture::le32(50) + std::string(10, 'x'),       // length beyond the data
        good + fixture::le32(0) + "ignored after the end",     // quiet end
        good + fixture::le32(12) + "not a zlib stream",        // refused by zlib
    };
    for (const std::string& chunks : cases) {
        ArchiveBuilder b(64);
        b.add_root(b.add_compressed("before", content(700, 10), 300));
        b.add_root({"broken", fixture::kTypeCompressed, b.add_data(chunks), static_cast<std::uint32_t>(chunks.size())});
        b.add_root(b.add_file("after", "x"));
        const Outcome outcome = same_in_every_mode(write_archive(b.bytes()));
        EXPECT_EQ(outcome.tree.at("broken").substr(0, 3000), content(3000, 9));
    }
}

// A stored entry of 3 pieces whose chain leaves the block table in its second piece: the
// output keeps exactly the first piece, whether the host copied it or it went through
// the buffer.
class StoredCopy : public ::testing::Test {
protected:
    static constexpr std::uint32_t BLOCK = 4096;
    static constexpr std::size_t PIECE = 1 << 20;

    struct Result {
        std::string error;  // what the extraction threw, "" for nothing
        std::string file;   // the output file "big"
    };

    static void expect(const Result& result, const std::string& error, const std::string& file) {
        EXPECT_EQ(result.error, error);
        EXPECT_TRUE(result.file == file) << "got " << result.file.size() << " bytes, expected " << file.size();
    }

    Result extract_with(std::unique_ptr<vfs::ByteSource> source, unsigned threads) {
        TempDir out;
        std::string error;
        testing_support::CapturedOutput sink;
        inside(out.path(), [&] {
            const auto archive = vfs::open_archive(std::move(source));
            morvask::Console console(sink.stream(), false);
            morvask::TreeWalk walk(*archive, console, threads);
            try {
                walk.extract_archive();
            } catch (const std::exception& e) {
                error = e.what();
            }
        });
        return {error, fs::exists(out / "big") ? testing_support::read_file(out / "big") : "<missing>"};
    }

    std::unique_ptr<vfs::ByteSource> from_file(const std::string& bytes) {
        const fs::path path = dir_ / "stored.vfs";
        testing_support::write_file(path, bytes);
        // On Linux this source offers its descriptor, so the host's copy is used.
        return morvask::host::open_input(path.string());
    }

    TempDir dir_;
};

TEST_F(StoredCopy, SoundDataIsTheSameCopiedByTheHostOrThroughTheBuffer) {
    ArchiveBuilder b(BLOCK);
    const std::string data = content(3 * PIECE + 12345, 11);
    b.add_root(b.add_file("big", data));
    const std::string bytes = b.bytes();
    for (const unsigned threads : {0u, 2u}) {
        expect(extract_with(from_file(bytes), threads), "", data);
        expect(extract_with(std::make_unique<vfs::MemorySource>(bytes), threads), "", data);
    }
}

TEST_F(StoredCopy, ChainBrokenInTheSecondPieceKeepsTheFirstPiece) {
    ArchiveBuilder b(BLOCK);
    const std::string data = content(3 * PIECE, 12);
    const Record big = b.add_file("big", data);
    b.add_root(big);
    // The link out of the block that holds byte 1.5 MiB leads outside the block table.
    b.set_next(big.first_block + static_cast<std::uint32_t>(PIECE * 3 / 2 / BLOCK), 0xFFFFFFF0u);
    const std::string bytes = b.bytes();
    for (const unsigned threads : {0u, 2u}) {
        expect(extract_with(from_file(bytes), threads), vfs::DataError::MESSAGE, data.substr(0, PIECE));
        expect(extract_with(std::make_unique<vfs::MemorySource>(bytes), threads), vfs::DataError::MESSAGE,
               data.substr(0, PIECE));
    }
}

// A source that claims more bytes than its file holds: the host's copy ends early, which
// is damaged data, and the output is cut back to the piece boundary as if the piece had
// been read first.
class LongerThanItsFile final : public vfs::ByteSource {
public:
    LongerThanItsFile(std::unique_ptr<vfs::ByteSource> file, std::uint64_t extra)
        : file_(std::move(file)), extra_(extra) {}
    std::uint64_t size() const override { return file_->size() + extra_; }
    std::size_t read_at(std::uint64_t offset, void* dest, std::size_t count) const override {
        return file_->read_at(offset, dest, count);
    }
    int native_handle() const override { return file_->native_handle(); }

private:
    std::unique_ptr<vfs::ByteSource> file_;
    std::uint64_t extra_;
};

TEST_F(StoredCopy, ShortCopyAtTheEndOfTheArchiveFileIsDamagedData) {
    ArchiveBuilder b(BLOCK);
    // The third piece is long enough to be copied by the host.
    const std::string data = content(2 * PIECE + 200000, 13);
    b.add_root(b.add_file("big", data));
    const std::string bytes = b.bytes(fixture::Tail::Unpadded);
    // The file loses the last 3000 bytes of the data; the source still claims them.
    const std::size_t missing = 3000;
    const std::string cut = bytes.substr(0, bytes.size() - missing);
    for (const unsigned threads : {0u, 2u}) {
        expect(extract_with(std::make_unique<LongerThanItsFile>(from_file(cut), missing), threads),
               vfs::DataError::MESSAGE, data.substr(0, 2 * PIECE));
        expect(extract_with(std::make_unique<LongerThanItsFile>(std::make_unique<vfs::MemorySource>(cut), missing),
                            threads),
               vfs::DataError::MESSAGE, data.substr(0, 2 * PIECE));
    }
}

}  // namespace
