// Tests of the archive library: opening and validation, block access, streams over an
// entry's data, directory listings and path lookup. Archives are built in memory.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "resource_dir.h"
#include "resource_file.h"
#include "vfs_archive.h"
#include "vfs_fixture.h"

namespace {

using fixture::ArchiveBuilder;
using fixture::Record;

std::unique_ptr<vfs::VfsArchive> open_bytes(const std::string& bytes) {
    return vfs::open_archive(std::make_unique<vfs::MemorySource>(bytes));
}

std::string open_failure(const std::string& bytes) {
    try {
        open_bytes(bytes);
    } catch (const vfs::OpenError& e) {
        return e.what();
    }
    return "opened";
}

// Reads an entry to its end in pieces of `piece` bytes.
std::string read_all(vfs::ResourceFile& stream, std::size_t piece) {
    std::string data;
    std::string buffer(piece, '\0');
    while (std::size_t n = stream.read(buffer.data(), piece)) data.append(buffer, 0, n);
    return data;
}

std::string pattern(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
    return s;
}

std::string with_le32(std::string bytes, std::size_t offset, std::uint32_t value) {
    return bytes.replace(offset, 4, fixture::le32(value));
}

// ---------------------------------------------------------------------------------------
// Records

TEST(Records, DecodeFieldsAtTheirOffsetsWhateverTheHost) {
    ArchiveBuilder builder(512);
    builder.header.block_count = 0x01020304;
    builder.add_root({"readme", vfs::ENTRY_COMPRESSED, 0x0A0B0C0D, 0x11223344});
    const std::string bytes = builder.bytes();
    const auto header = vfs::VfsHeader::decode(reinterpret_cast<const std::uint8_t*>(bytes.data()));
    EXPECT_TRUE(header.has_version_1_0());
    EXPECT_EQ(header.block_size, 512u);
    EXPECT_EQ(header.root_count, 1u);
    EXPECT_EQ(header.name_length, 64u);
    EXPECT_EQ(header.window_size, 50000u);
    EXPECT_EQ(header.block_count, 0x01020304u);

    const auto entry = vfs::DirEntry::decode(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 308);
    EXPECT_EQ(entry.name_view(), "readme");
    EXPECT_EQ(entry.type, vfs::ENTRY_COMPRESSED);
    EXPECT_EQ(entry.first_block, 0x0A0B0C0Du);
    EXPECT_EQ(entry.size, 0x11223344u);
}

TEST(Records, NameWithoutItsZeroByteIsAllSixtyFourBytes) {
    const std::string name(64, 'n');
    const std::string raw = fixture::record_bytes({name, vfs::ENTRY_FILE, 1, 1});
    const auto entry = vfs::DirEntry::decode(reinterpret_cast<const std::uint8_t*>(raw.data()));
    EXPECT_EQ(entry.name_view(), name);
}

// ---------------------------------------------------------------------------------------
// Opening

TEST(OpenArchive, ReportsTheFirstFailedCheckInOrder) {
    ArchiveBuilder valid(512);
    valid.add_root(valid.add_file("a", "abc"));
    const std::string good = valid.bytes();

    auto with_header = [&](auto change) {
        ArchiveBuilder b(512);
        b.add_root(b.add_file("a", "abc"));
        change(b.header);
        return b.bytes();
    };
    struct Case {
        const char* what;
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {"empty file", "", "failed to read header"},
        {"307 bytes", good.substr(0, 307), "failed to read header"},
        {"version 2.0", with_header([](auto& h) { h.version = {0, 0, 0, 0x40}; }), "datafile has incorrect version"},
        {"version NaN", with_header([](auto& h) { h.version = {0, 0, 0xC0, 0x7F}; }), "datafile has incorrect version"},
        {"version 1.0 big-endian", with_header([](auto& h) { h.version = {0x3F, 0x80, 0, 0}; }),
         "datafile has incorrect version"},
        {"version -1.0", with_header([](auto& h) { h.version = {0, 0, 0x80, 0xBF}; }), "datafile has incorrect version"},
        {"bad version and name length", with_header([](auto& h) { h.version = {0, 0, 0, 0}; h.name_length = 32; }),
         "datafile has incorrect version"},
        {"name length 32", with_header([](auto& h) { h.name_length = 32; }), "unsupported length of filenames"},
        {"name length and window", with_header([](auto& h) { h.name_length = 63; h.window_size = 1; }),
         "unsupported length of filenames"},
        {"window 65536", with_header([](auto& h) { h.window_size = 65536; }), "unsupported window size"},
        {"ends inside the FAT", good.substr(0, 308 + 4), "failed to read FAT table"},
        {"ends inside the root table", good.substr(0, valid.data_offset() - 1), "failed to read root directory"},
        {"fat_count the file cannot hold", with_le32(good, 8, 0xFFFFFFFF), "failed to read FAT table"},
        {"root_count the file cannot hold", with_le32(good, 12, 0xFFFFFFFF), "failed to read root directory"},
        {"both counts huge", with_le32(with_le32(good, 8, 0x40000000), 12, 0x40000000), "failed to read FAT table"},
    };
    for (const Case& c : cases) EXPECT_EQ(open_failure(c.bytes), c.message) << c.what;

    EXPECT_EQ(open_failure(good), "opened");
    try {
        vfs::open_archive(nullptr);
        ADD_FAILURE() << "opened without a file";
    } catch (const vfs::OpenError& e) {
        EXPECT_STREQ(e.what(), "couldnt open file");
    }
}

TEST(OpenArchive, EmptyTablesOpenAndTheRootListsNothing) {
    ArchiveBuilder builder(512);
    const auto archive = open_bytes(builder.bytes());
    EXPECT_EQ(archive->fat_count(), 0u);
    EXPECT_EQ(archive->root_count(), 0u);
    vfs::DirEntry record;
    EXPECT_FALSE(vfs::ResourceDir(*archive).next(record));
}

TEST(OpenArchive, MissingDataAreaIsNoticedOnlyWhenRead) {
    ArchiveBuilder builder(512);
    builder.add_root(builder.add_file("a", pattern(1000)));
    const std::string bytes = builder.bytes();
    const auto archive = open_bytes(bytes.substr(0, builder.data_offset()));
    auto file = archive->open_file("a");
    ASSERT_TRUE(file);
    char byte;
    EXPECT_THROW(file->read(&byte, 1), vfs::DataError);
}

// ---------------------------------------------------------------------------------------
// Blocks and chains

TEST(Blocks, ReadBlockAcceptsOnlyIndicesOfTheDataArea) {
    ArchiveBuilder builder(16);
    builder.add_data(pattern(48));  // blocks 1, 2, 3
    const auto archive = open_bytes(builder.bytes());
    std::string buffer(16, 'x');
    auto* out = reinterpret_cast<std::uint8_t*>(buffer.data());

    EXPECT_FALSE(archive->read_block(0, out));
    EXPECT_FALSE(archive->read_block(4, out));
    EXPECT_EQ(buffer, std::string(16, 'x'));
    EXPECT_TRUE(archive->read_block(3, out));
    EXPECT_EQ(buffer, pattern(48).substr(32, 16));
}

TEST(Blocks, ChainBlockFollowsTheTableAndRefusesToLeaveIt) {
    ArchiveBuilder builder(4);
    builder.reserve_blocks(9);
    builder.set_next(7, 2);
    builder.set_next(2, 9);
    builder.set_next(9, 0);
    builder.set_next(1, 10);  // beyond the 9 records of the table
    const auto archive = open_bytes(builder.bytes());
    EXPECT_EQ(archive->chain_block(7, 0), 7u);
    EXPECT_EQ(archive->chain_block(7, 1), 2u);
    EXPECT_EQ(archive->chain_block(7, 2), 9u);
    EXPECT_THROW(archive->chain_block(7, 3), vfs::DataError);  // next_block 0
    EXPECT_THROW(archive->chain_block(1, 1), vfs::DataError);  // next_block > fat_count
    EXPECT_THROW(archive->chain_block(0, 1), vfs::DataError);  // no record for block 0
}

// ---------------------------------------------------------------------------------------
// Streams

TEST(ResourceFile, ReadsAcrossBlocksWithAnyPieceSize) {
    struct Case {
        std::uint32_t block_size;
        std::size_t size;
    };
    const Case cases[] = {{1, 0}, {1, 1}, {1, 77}, {512, 511}, {512, 512}, {512, 1024}, {512, 1025}, {512, 5000}};
    for (const Case& c : cases) {
        for (const auto placement : {fixture::Placement::Sequential, fixture::Placement::Reversed,
                                     fixture::Placement::Shuffled(3)}) {
            ArchiveBuilder builder(c.block_size);
            const std::string data = pattern(c.size);
            builder.add_root(builder.add_file("f", data, placement));
            const auto archive = open_bytes(builder.bytes(fixture::Tail::Unpadded));
            for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{4}, std::size_t{511},
                                            std::size_t{4096}}) {
                auto file = archive->open_file("f");
                ASSERT_TRUE(file);
                EXPECT_EQ(read_all(*file, piece), data)
                    << "block size " << c.block_size << ", size " << c.size << ", piece " << piece;
                EXPECT_EQ(file->position(), c.size);
            }
        }
    }
}

TEST(ResourceFile, ClampsToTheSizeAndReadsNothingAtTheEnd) {
    ArchiveBuilder builder(512);
    const std::string data = pattern(700);
    builder.add_root(builder.add_file("f", data));
    const auto archive = open_bytes(builder.bytes());
    auto file = archive->open_file("f");
    std::string buffer(800, '\0');
    EXPECT_EQ(file->read(buffer.data(), 0), 0u);
    EXPECT_EQ(file->read(buffer.data(), 800), 700u);
    EXPECT_EQ(buffer.substr(0, 700), data);
    EXPECT_EQ(file->read(buffer.data(), 800), 0u);
    EXPECT_EQ(file->position(), 700u);
}

TEST(ResourceFile, ReadStraddlingABlockBoundary) {
    ArchiveBuilder builder(512);
    const std::string data = pattern(1024);
    builder.add_root(builder.add_file("f", data, fixture::Placement::Reversed));
    const auto archive = open_bytes(builder.bytes());
    auto file = archive->open_file("f");
    std::string skip(510, '\0');
    ASSERT_EQ(file->read(skip.data(), 510), 510u);
    char four[4];
    ASSERT_EQ(file->read(four, 4), 4u);
    EXPECT_EQ(std::string(four, 4), data.substr(510, 4));
}

TEST(ResourceFile, EmptyEntryNeverFollowsItsFirstBlock) {
    ArchiveBuilder builder(512);
    builder.add_root({"empty", vfs::ENTRY_FILE, 0xDEADBEEF, 0});
    builder.header.block_size = 0;  // even a damaged block size is never divided by
    const auto archive = open_bytes(builder.bytes());
    auto file = archive->open_file("empty");
    char byte;
    EXPECT_EQ(file->read(&byte, 1), 0u);
}

TEST(ResourceFile, DamagedDataFailsInsteadOfDeliveringWrongBytes) {
    // Each case makes a 3-block entry (block size 16, 40 bytes) unreadable in one way.
    struct Case {
        const char* what;
        void (*damage)(ArchiveBuilder&, std::uint32_t first);
        std::size_t cut_bytes;  // taken off the end of the file
    };
    const Case cases[] = {
        {"chain ends with next_block 0", [](ArchiveBuilder& b, std::uint32_t f) { b.set_next(f, 0); }, 0},
        {"next_block beyond the table", [](ArchiveBuilder& b, std::uint32_t f) { b.set_next(f, 1000); }, 0},
        {"block_count below the chain", [](ArchiveBuilder& b, std::uint32_t) { b.header.block_count = 2; }, 0},
        {"block size 0", [](ArchiveBuilder& b, std::uint32_t) { b.header.block_size = 0; }, 0},
        {"file ends inside the last block's needed bytes", [](ArchiveBuilder&, std::uint32_t) {}, 16},
        {"blocks claimed that the file lacks", [](ArchiveBuilder& b, std::uint32_t) { b.header.block_count = 100; },
         16},
    };
    for (const Case& c : cases) {
        ArchiveBuilder builder(16);
        const auto record = builder.add_file("f", pattern(40));
        builder.add_root(record);
        c.damage(builder, record.first_block);
        std::string bytes = builder.bytes();
        bytes.resize(bytes.size() - c.cut_bytes);
        const auto archive = open_bytes(bytes);
        auto file = archive->open_file("f");
        ASSERT_TRUE(file) << c.what;
        std::string buffer(64, '\0');
        EXPECT_THROW(file->read(buffer.data(), buffer.size()), vfs::DataError) << c.what;
    }
}

TEST(ResourceFile, ShortLastBlockIsValidAndOnlyNeededBytesAreChecked) {
    ArchiveBuilder builder(512);
    const std::string data = pattern(600);
    builder.add_root(builder.add_file("f", data));
    const auto archive = open_bytes(builder.bytes(fixture::Tail::Unpadded));
    auto file = archive->open_file("f");
    EXPECT_EQ(read_all(*file, 4096), data);
}

TEST(ResourceFile, ChainLoopCannotStandForMoreDataThanTheArchiveHolds) {
    // One block whose chain leads back to itself, claimed as an entry of 2 GiB.
    ArchiveBuilder builder(512);
    const std::uint32_t block = builder.add_data(pattern(512));
    builder.set_next(block, block);
    builder.add_root({"bomb", vfs::ENTRY_FILE, block, 0x7FFFFFFF});
    const auto archive = open_bytes(builder.bytes());
    auto file = archive->open_file("bomb");
    char byte;
    EXPECT_THROW(file->read(&byte, 1), vfs::DataError);
}

// ---------------------------------------------------------------------------------------
// Directories and lookup

class Lookup : public ::testing::Test {
protected:
    // root: readme (file), maps/ { a (compressed), deep/ { x }, "" , hidden }, Maps (file)
    void SetUp() override {
        ArchiveBuilder b(64);
        const auto x = b.add_file("x", "deep x");
        const auto deep = b.add_directory("deep", {x});
        const auto a = b.add_compressed("a", fixture::chunk_sequence("inflated a"));
        const auto hidden = b.add_file("hidden", "behind an empty name");
        const auto maps = b.add_directory("maps", {a, deep, Record{"", 0, 0, 0}, hidden});
        b.add_root(b.add_file("readme", "read me"));
        b.add_root(maps);
        b.add_root(b.add_file("Maps", "other case"));
        archive = open_bytes(b.bytes());
    }
    std::unique_ptr<vfs::VfsArchive> archive;
};

TEST_F(Lookup, BothSeparatorsRunsAndTrailingSeparatorsResolveAlike) {
    for (const char* path : {"maps/deep/x", "maps\\deep\\x", "maps//deep\\\\x", "\\maps/deep/x/", "/maps\\/deep//x\\"}) {
        const auto found = archive->find_entry(path);
        ASSERT_TRUE(found) << path;
        EXPECT_EQ(found->name_view(), "x") << path;
    }
}

TEST_F(Lookup, NamesAreExactAndCaseSensitive) {
    EXPECT_EQ(archive->find_entry("Maps")->type, vfs::ENTRY_FILE);
    EXPECT_EQ(archive->find_entry("maps")->type, vfs::ENTRY_DIRECTORY);
    for (const char* path : {"MAPS", "readm", "readme2", "maps/A", "nothing", "maps/hidden"}) {
        EXPECT_FALSE(archive->find_entry(path)) << path;
    }
}

TEST_F(Lookup, OpenersCheckTheType) {
    EXPECT_TRUE(archive->open_file("readme"));
    EXPECT_TRUE(archive->open_file("maps/a"));
    EXPECT_FALSE(archive->open_file("maps"));
    EXPECT_FALSE(archive->open_directory("readme"));
    EXPECT_TRUE(archive->open_directory("maps/deep"));
}

TEST_F(Lookup, OnlyTheEmptyPathIsTheRoot) {
    auto root = archive->open_directory("");
    ASSERT_TRUE(root);
    EXPECT_TRUE(root->is_root());
    for (const char* path : {"", "/", "\\", "//\\"}) {
        EXPECT_FALSE(archive->find_entry(path)) << path;
        EXPECT_FALSE(archive->open_file(path)) << path;
        if (*path) {
            EXPECT_FALSE(archive->open_directory(path)) << path;
        }
    }
}

TEST_F(Lookup, PathLongerThan1023CharactersResolvesToNothing) {
    const std::string padding(1023 - std::string("readme").size(), '/');
    EXPECT_TRUE(archive->find_entry(padding + "readme"));
    EXPECT_FALSE(archive->find_entry(padding + "/readme"));
}

TEST_F(Lookup, FileAsAnIntermediateComponentIsReadAsATable) {
    EXPECT_FALSE(archive->find_entry("readme/x"));
}

TEST_F(Lookup, SubDirectoryListingGoesOnPastAnEmptyName) {
    auto maps = archive->open_directory("maps");
    std::vector<std::string> names;
    vfs::DirEntry record;
    while (maps->next(record)) names.emplace_back(record.name_view());
    EXPECT_EQ(names, (std::vector<std::string>{"a", "deep", "", "hidden"}));
}

TEST(DirectoryListing, RootStopsAtAnEmptyNameOrItsCount) {
    ArchiveBuilder b(64);
    b.add_root(b.add_file("one", "1"));
    b.add_root(b.add_file("two", "2"));
    b.add_root({"", vfs::ENTRY_FILE, 0, 0});
    b.add_root(b.add_file("three", "3"));
    const std::string bytes = b.bytes();
    for (std::uint32_t root_count : {4u, 1u}) {
        const auto archive = open_bytes(with_le32(bytes, 12, root_count));
        std::vector<std::string> names;
        vfs::DirEntry record;
        vfs::ResourceDir root(*archive);
        while (root.next(record)) names.emplace_back(record.name_view());
        EXPECT_EQ(names.size(), root_count == 4 ? 2u : 1u);
        EXPECT_FALSE(archive->find_entry("three"));
    }
}

TEST(DirectoryListing, PartialFinalRecordIsNotListed) {
    ArchiveBuilder b(100);
    std::string table = fixture::record_bytes(b.add_file("whole", "w")) + std::string(50, 'p');
    const std::uint32_t first = b.add_data(table);
    b.add_root({"dir", vfs::ENTRY_DIRECTORY, first, static_cast<std::uint32_t>(table.size())});
    const auto archive = open_bytes(b.bytes());
    auto dir = archive->open_directory("dir");
    vfs::DirEntry record;
    ASSERT_TRUE(dir->next(record));
    EXPECT_EQ(record.name_view(), "whole");
    EXPECT_FALSE(dir->next(record));
}

TEST(DirectoryListing, DamagedTableDeliversTheRecordsBeforeTheDamage) {
    // Three records in blocks of 88 bytes; the chain breaks after the second block.
    ArchiveBuilder b(88);
    const auto dir = b.add_directory("dir", {b.add_file("r1", "1"), b.add_file("r2", "2"), b.add_file("r3", "3")});
    b.set_next(b.next(dir.first_block), 0);
    b.add_root(dir);
    const auto archive = open_bytes(b.bytes());
    auto listing = archive->open_directory("dir");
    vfs::DirEntry record;
    ASSERT_TRUE(listing->next(record));
    EXPECT_EQ(record.name_view(), "r1");
    ASSERT_TRUE(listing->next(record));
    EXPECT_EQ(record.name_view(), "r2");
    EXPECT_THROW(listing->next(record), vfs::DataError);
    // The lookup reads only as far as the name it looks for.
    EXPECT_TRUE(archive->find_entry("dir/r2"));
    EXPECT_THROW(archive->find_entry("dir/r3"), vfs::DataError);
}

TEST(PathLookup, FollowsOnlyTheFirstRecordOfANameAtEveryLevel) {
    ArchiveBuilder b(64);
    const auto first = b.add_directory("d", {b.add_file("only_in_first", "1")});
    const auto second = b.add_directory("d", {b.add_file("only_in_second", "2")});
    b.add_root(first);
    b.add_root(second);
    const auto archive = open_bytes(b.bytes());
    EXPECT_TRUE(archive->find_entry("d/only_in_first"));
    EXPECT_FALSE(archive->find_entry("d/only_in_second"));
}

TEST(PathLookup, FortyOneComponentsResolveToTheEntryOfTheFirstForty) {
    // d/d/.../d (40 directories) holding the file f.
    ArchiveBuilder b(128);
    Record inner = b.add_file("f", "at the bottom");
    for (int level = 0; level < 40; ++level) inner = b.add_directory(level == 39 ? "top" : "d", {inner});
    b.add_root(inner);
    const auto archive = open_bytes(b.bytes());
    std::string path = "top";
    for (int level = 1; level < 40; ++level) path += "/d";
    EXPECT_EQ(archive->find_entry(path)->type, vfs::ENTRY_DIRECTORY);
    EXPECT_EQ(archive->find_entry(path + "/f")->type, vfs::ENTRY_DIRECTORY);  // "f" is component 41
    EXPECT_EQ(archive->find_entry(path + "/f")->name_view(), "d");
}

TEST(PathLookup, NameWithoutZeroByteMatchesItsSixtyFourBytes) {
    ArchiveBuilder b(64);
    const std::string name(64, 'L');
    b.add_root(b.add_file(name, "long"));
    const auto archive = open_bytes(b.bytes());
    EXPECT_TRUE(archive->find_entry(name));
    EXPECT_FALSE(archive->find_entry(name.substr(0, 63)));
}

}  // namespace
