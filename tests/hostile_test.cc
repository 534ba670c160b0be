// Hostile and damaged archives: chain bombs, directory loops, fan-out and deep trees.
// Each archive is built with the fixture builder in a few lines; the comments give the
// offsets and sizes that make it hostile.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "archive_error.h"
#include "byte_source.h"
#include "resource_dir.h"
#include "resource_file.h"
#include "system_endings.h"
#include "test_support.h"
#include "vfs_archive.h"
#include "vfs_fixture.h"

namespace {

using fixture::ArchiveBuilder;
using fixture::Record;
using fixture::Tail;
using fixture::kTypeCompressed;
using fixture::kTypeDirectory;
using fixture::kTypeStored;
namespace ts = testing_support;

std::string progress(const std::string& name) {
    return " " + name + std::string(78 - name.size(), ' ') + "\r";
}

struct Extraction {
    ts::ProgramResult result;
    std::vector<std::string> tree;  // what the run left in its folder
};

// Runs morvask on `archive` in a fresh folder "out" that has the archive file beside it,
// and checks that the run created nothing outside that folder.
Extraction extract(const std::string& archive) {
    ts::TempDir place;
    ts::write_file(place / "archive.vfs", archive);
    std::filesystem::create_directory(place / "out");
    Extraction run{ts::run_morvask({"../archive.vfs"}, place / "out"), ts::list_tree(place / "out")};
    EXPECT_EQ(ts::list_tree(place.path()).size(), run.tree.size() + 2) << "something was created beside out/";
    EXPECT_EQ(run.result.errors, "");
    return run;
}

std::unique_ptr<vfs::VfsArchive> open_bytes(const std::string& bytes) {
    return vfs::open_archive(std::make_unique<vfs::MemorySource>(bytes));
}

// ---------------------------------------------------------------------------
// Chain bombs: an entry needs ceil(size / block_size) blocks, and the archive holds only
// min(block_count, blocks that fit in the file after data_offset), a short last block
// counting as one. Block 1 links to itself, so any size could be read from it alone.

struct ChainBombCase {
    const char* what;
    std::uint32_t claimed_block_count;  // 0: the real count
    Tail tail;
    std::uint32_t size;
    bool readable;
};

class ChainBomb : public ::testing::TestWithParam<ChainBombCase> {};

TEST_P(ChainBomb, EntryNeedingMoreBlocksThanTheArchiveHoldsFails) {
    const ChainBombCase& c = GetParam();
    ArchiveBuilder b(64);
    b.set_block(1, std::string(64, 'x'));  // block 1 -> block 1 -> ...
    b.set_next(1, 1);
    b.set_block(2, std::string(64, 'y'));
    b.set_block(3, std::string(c.tail == Tail::Padded ? 64 : 10, 'z'));  // 3 blocks in the file
    if (c.claimed_block_count != 0) b.header.block_count = c.claimed_block_count;
    b.add_root({"loop.bin", kTypeStored, 1, c.size});

    const auto archive = open_bytes(b.bytes(c.tail));
    vfs::ResourceFile stream(*archive, archive->root()[0]);
    std::string data(c.size + 1, '\0');
    if (c.readable) {
        EXPECT_EQ(stream.read(data.data(), data.size()), c.size);
        EXPECT_EQ(data.substr(0, c.size), std::string(c.size, 'x'));
    } else {
        EXPECT_THROW(stream.read(data.data(), 1), vfs::DataError);
        EXPECT_EQ(stream.position(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    HoldsBlocks, ChainBomb,
    ::testing::Values(ChainBombCase{"three blocks, three needed", 0, Tail::Padded, 3 * 64, true},
                      ChainBombCase{"three blocks, four needed", 0, Tail::Padded, 3 * 64 + 1, false},
                      ChainBombCase{"short last block counts as one", 0, Tail::Unpadded, 3 * 64, true},
                      ChainBombCase{"short last block, four needed", 0, Tail::Unpadded, 3 * 64 + 1, false},
                      ChainBombCase{"block_count above the file", 1000, Tail::Padded, 3 * 64 + 1, false},
                      ChainBombCase{"block_count below the file", 2, Tail::Padded, 2 * 64, true},
                      ChainBombCase{"block_count below the file, exceeded", 2, Tail::Padded, 2 * 64 + 1, false}),
    [](const ::testing::TestParamInfo<ChainBombCase>& info) { return "case" + std::to_string(info.index); });

// A 2 GiB entry over a one-block loop stops before anything is written, stored or
// compressed (block 1 holds one chunk of 1000 zeros, so a compressed bomb would repeat
// it 2 GiB / 19 bytes times).
TEST(ChainBombExtraction, TwoGibibyteEntryOverOneBlockFailsWithNothingWritten) {
    for (const std::uint32_t type : {kTypeStored, kTypeCompressed}) {
        SCOPED_TRACE(type);
        ArchiveBuilder b(512);
        b.set_block(1, fixture::chunk_sequence(std::string(1000, '\0')));
        b.set_next(1, 1);
        b.add_root({"bomb.bin", type, 1, 0x7FFFFFFF});

        const Extraction run = extract(b.bytes());
        EXPECT_EQ(run.result.status, 1);
        EXPECT_EQ(run.result.output, ts::BANNER_TEXT + progress("bomb.bin") + "\nfailed to read archive data\n");
        EXPECT_EQ(run.tree, std::vector<std::string>{"bomb.bin"});
    }
}

// ---------------------------------------------------------------------------
// Directory loops: a sub-directory whose data (first_block, size) is one of its open
// ancestors' is created and refused before it is listed.

// One 88-byte block per directory: block 1 is the table of a, block 2 the table of b.
TEST(DirectoryLoop, DirectoryHoldingItselfIsRefusedAfterItIsCreated) {
    ArchiveBuilder b(88);
    b.set_block(1, fixture::record_bytes({"a", kTypeDirectory, 1, 88}));  // a holds a
    b.add_root({"a", kTypeDirectory, 1, 88});

    const Extraction run = extract(b.bytes());
    EXPECT_EQ(run.result.status, 1);
    EXPECT_EQ(run.result.output, ts::BANNER_TEXT + progress("a") + progress("a") + "\ndamaged directory tree\n");
    EXPECT_EQ(run.tree, (std::vector<std::string>{"a/", "a/a/"}));
}

TEST(DirectoryLoop, DirectoryHoldingItsGrandparentIsRefused) {
    ArchiveBuilder b(88);
    b.set_block(1, fixture::record_bytes({"b", kTypeDirectory, 2, 88}));  // a holds b
    b.set_block(2, fixture::record_bytes({"c", kTypeDirectory, 1, 88}));  // b holds c = a
    b.add_root({"a", kTypeDirectory, 1, 88});

    const Extraction run = extract(b.bytes());
    EXPECT_EQ(run.result.status, 1);
    EXPECT_EQ(run.result.output,
              ts::BANNER_TEXT + progress("a") + progress("b") + progress("c") + "\ndamaged directory tree\n");
    EXPECT_EQ(run.tree, (std::vector<std::string>{"a/", "a/b/", "a/b/c/"}));
}

// The key is the whole data: a directory that starts at an ancestor's first block but
// is shorter is walked. a is blocks 1-2 (two records); its first record, b, is block 1
// alone, whose one record is b again: that one is b's own data.
TEST(DirectoryLoop, SameFirstBlockWithAnotherSizeIsWalked) {
    ArchiveBuilder b(88);
    b.set_block(1, fixture::record_bytes({"b", kTypeDirectory, 1, 88}));
    b.set_block(2, fixture::record_bytes({"f", kTypeStored, 0, 0}));
    b.set_next(1, 2);
    b.add_root({"a", kTypeDirectory, 1, 176});

    const Extraction run = extract(b.bytes());
    EXPECT_EQ(run.result.status, 1);
    EXPECT_EQ(run.result.output,
              ts::BANNER_TEXT + progress("a") + progress("b") + progress("b") + "\ndamaged directory tree\n");
    EXPECT_EQ(run.tree, (std::vector<std::string>{"a/", "a/b/", "a/b/b/"}));
}

// ---------------------------------------------------------------------------
// Fan-out: directories that share data without a loop. The walk stops at record N + 1,
// N = the archive file's length / 88, after that record's progress line.

// k root directories d1 ... dk all list block 1, which holds one empty file f: the walk
// yields 2k records. The file is 308 (header) + 8 (one FAT record) + 88k (root) + 88
// (block 1) bytes long, so N = k + 4: k = 4 extracts completely, k = 5 stops at the
// 10th record, the f of d5, before it is created.
TEST(FanOut, WalkStopsAtTheRecordAfterTheFileLengthOver88) {
    for (const std::uint32_t k : {4u, 5u}) {
        SCOPED_TRACE(k);
        ArchiveBuilder b(88);
        b.set_block(1, fixture::record_bytes({"f", kTypeStored, 0, 0}));
        std::string progress_lines;
        std::vector<std::string> tree;
        for (std::uint32_t i = 1; i <= k; ++i) {
            const std::string name = "d" + std::to_string(i);
            b.add_root({name, kTypeDirectory, 1, 88});
            progress_lines += progress(name) + progress("f");
            tree.push_back(name + "/");
            tree.push_back(name + "/f");
        }
        const std::string bytes = b.bytes();
        ASSERT_EQ(bytes.size() / 88, k + 4);

        const Extraction run = extract(bytes);
        if (k == 4) {
            EXPECT_EQ(run.result.status, 0);
            EXPECT_EQ(run.result.output, ts::BANNER_TEXT + progress_lines + "4 files successfully extracted!\n\n");
        } else {
            tree.pop_back();  // the 10th record is refused before anything is created for it
            EXPECT_EQ(run.result.status, 1);
            EXPECT_EQ(run.result.output, ts::BANNER_TEXT + progress_lines + "\ndamaged directory tree\n");
        }
        EXPECT_EQ(run.tree, tree);
    }
}

// Thirty levels, each a directory of two records x and y that both list the next level:
// 2^31 records in a file of a few KiB. The walk ends after N + 1 progress lines.
TEST(FanOut, ExponentialSharingEndsAfterNPlusOneRecords) {
    constexpr std::uint32_t LEVELS = 30;
    ArchiveBuilder b(176);
    for (std::uint32_t level = 1; level <= LEVELS; ++level) {  // block i lists block i + 1
        const std::uint32_t next = level + 1;
        const std::uint32_t type = level < LEVELS ? kTypeDirectory : kTypeStored;
        b.set_block(level, fixture::record_bytes({"x", type, next, level < LEVELS ? 176u : 0u}) +
                               fixture::record_bytes({"y", type, next, level < LEVELS ? 176u : 0u}));
    }
    b.add_root({"x", kTypeDirectory, 1, 176});
    const std::string bytes = b.bytes();

    const Extraction run = extract(bytes);
    EXPECT_EQ(run.result.status, 1);
    const std::string& out = run.result.output;
    EXPECT_TRUE(ts::BANNER_TEXT.size() < out.size() && out.compare(0, ts::BANNER_TEXT.size(), ts::BANNER_TEXT) == 0);
    EXPECT_EQ(static_cast<std::size_t>(std::count(out.begin(), out.end(), '\r')), bytes.size() / 88 + 1);
    EXPECT_EQ(out.substr(out.size() - 24), "\ndamaged directory tree\n");
}

// ---------------------------------------------------------------------------
// Deep trees: a lookup uses at most 40 path components, so 40 levels is the deepest tree
// that extracts; a 41st directory resolves to its own parent, an open ancestor.

// d1/d2/.../d40, with leaf.txt beside d40 (a path of 40 components); with `extra`, d40
// holds an empty directory d41.
std::string deep_tree(bool extra) {
    ArchiveBuilder b(512);
    std::vector<Record> inside;
    if (extra) inside.push_back(b.add_directory("d41", {}));
    Record level = b.add_directory("d40", inside);
    level = b.add_directory("d39", {b.add_file("leaf.txt", "deep"), level});
    for (int i = 38; i >= 1; --i) level = b.add_directory("d" + std::to_string(i), {level});
    b.add_root(level);
    return b.bytes();
}

std::string deep_path(int levels) {
    std::string path;
    for (int i = 1; i <= levels; ++i) path += "d" + std::to_string(i) + "/";
    return path;
}

TEST(DeepTree, FortyLevelsExtractCompletely) {
    ts::TempDir place;
    ts::write_file(place / "archive.vfs", deep_tree(false));
    const ts::ProgramResult result = ts::run_morvask({"archive.vfs"}, place.path());
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(ts::ends_with(result.output, "\r1 files successfully extracted!\n\n"));
    EXPECT_EQ(ts::read_file(place / (deep_path(39) + "leaf.txt")), "deep");
    EXPECT_TRUE(std::filesystem::is_directory(place / deep_path(40)));
}

TEST(DeepTree, FortyFirstLevelResolvesToItsParentAndIsRefused) {
    const Extraction run = extract(deep_tree(true));
    EXPECT_EQ(run.result.status, 1);
    EXPECT_TRUE(ts::ends_with(run.result.output, progress("d40") + progress("d41") + "\ndamaged directory tree\n"));
    // d41 was created before it was refused.
    EXPECT_NE(std::find(run.tree.begin(), run.tree.end(), deep_path(41)), run.tree.end());
}

// ---------------------------------------------------------------------------
// Inputs that fuzzing found faulty, kept as regression tests (they fail under the
// sanitizer build, scripts/test-hardened).

// An empty sub-directory has no read-ahead buffer; listing it passed a null pointer to
// memmove (undefined even for 0 bytes).
TEST(FuzzFinding, EmptySubDirectoryListsNothing) {
    ArchiveBuilder b(64);
    b.add_root(b.add_directory("none", {}));
    const auto archive = open_bytes(b.bytes());
    vfs::ResourceDir directory(*archive, archive->root()[0]);
    vfs::DirEntry record;
    EXPECT_FALSE(directory.next(record));
    EXPECT_FALSE(directory.next(record));
}

}  // namespace
