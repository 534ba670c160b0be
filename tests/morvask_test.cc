// End-to-end tests: the built morvask run on archives made by the fixture builder, its
// standard output compared byte for byte, its exit status and the tree it leaves checked.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"
#include "vfs_fixture.h"

namespace {

using fixture::ArchiveBuilder;
using fixture::Record;
using testing_support::BANNER_TEXT;
using testing_support::list_tree;
using testing_support::ProgramResult;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;
namespace fs = std::filesystem;

constexpr std::uint32_t FILE_TYPE = fixture::kTypeStored;
constexpr std::uint32_t DIRECTORY_TYPE = fixture::kTypeDirectory;
constexpr std::uint32_t COMPRESSED_TYPE = fixture::kTypeCompressed;

std::string progress(const std::string& name) { return " " + name + std::string(78 - name.size(), ' ') + "\r"; }
std::string progress_lines(const std::vector<std::string>& names) {
    std::string lines;
    for (const auto& name : names) lines += progress(name);
    return lines;
}
std::string counted(int files) { return std::to_string(files) + " files successfully extracted!\n\n"; }
std::string failed(const std::string& message) { return "\n" + message + "\n"; }

std::string pattern(std::size_t size, unsigned seed = 1) {
    std::string s(size, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

// Each test gets a folder holding the archive and an empty folder "out" to extract into.
class Extraction : public ::testing::Test {
protected:
    ProgramResult extract(const ArchiveBuilder& builder) {
        builder.write((folder / "test.vfs").string());
        return run_in_out({"../test.vfs"});
    }
    ProgramResult extract_bytes(const std::string& bytes) {
        write_file(folder / "test.vfs", bytes);
        return run_in_out({"../test.vfs"});
    }
    ProgramResult run_in_out(const std::vector<std::string>& args) {
        fs::create_directories(out());
        ProgramResult result = testing_support::run_morvask(args, out());
        EXPECT_EQ(result.errors, "") << "nothing goes to standard error";
        return result;
    }
    fs::path out() const { return folder / "out"; }
    std::vector<std::string> tree() const { return list_tree(out()); }

    TempDir folder;
};

// ---------------------------------------------------------------------------------------
// Program entry

TEST_F(Extraction, NoArgumentPrintsTheBannerAndUsage) {
    const auto result = run_in_out({});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, BANNER_TEXT + failed("usage: morvask.exe <vfsfile>"));
}

TEST_F(Extraction, MissingArchive) {
    const auto result = run_in_out({"../no-such.vfs"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, BANNER_TEXT + "couldnt open file\n");
}

TEST_F(Extraction, DamagedHeadersAreReportedWithoutALeadingNewline) {
    struct Case {
        void (*damage)(fixture::Header&);
        const char* message;
    };
    const Case cases[] = {
        {[](fixture::Header& h) { h.version = {0, 0, 0x80, 0x40}; }, "datafile has incorrect version"},
        {[](fixture::Header& h) { h.name_length = 32; }, "unsupported length of filenames"},
        {[](fixture::Header& h) { h.window_size = 65536; }, "unsupported window size"},
        {[](fixture::Header& h) { h.fat_count = 1000; }, "failed to read FAT table"},
        {[](fixture::Header& h) { h.root_count = 1000; }, "failed to read root directory"},
    };
    for (const Case& c : cases) {
        ArchiveBuilder builder(512);
        builder.add_root(builder.add_file("a", "abc"));
        c.damage(builder.header);
        const auto result = extract(builder);
        EXPECT_EQ(result.status, 1) << c.message;
        EXPECT_EQ(result.output, BANNER_TEXT + c.message + "\n");
    }
    const auto result = extract_bytes(std::string(307, '\0'));
    EXPECT_EQ(result.output, BANNER_TEXT + "failed to read header\n");
}

TEST_F(Extraction, EmptyRootCountsNothingAndFurtherArgumentsAreIgnored) {
    ArchiveBuilder builder(512);
    builder.write((folder / "test.vfs").string());
    const auto result = run_in_out({"../test.vfs", "ignored", "../no-such.vfs"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, BANNER_TEXT + counted(0));
    EXPECT_TRUE(tree().empty());
}

// ---------------------------------------------------------------------------------------
// The walk

TEST_F(Extraction, ExtractsTheTreeWithOneProgressLinePerRecord) {
    ArchiveBuilder b(512);
    const std::string content = pattern(70000);
    b.add_root(b.add_file("readme", "read me\n"));
    b.add_root(b.add_directory("maps", {b.add_compressed("a", content, 30000, fixture::Placement::Reversed)}));
    const auto result = extract(b);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, BANNER_TEXT + progress_lines({"readme", "maps", "a"}) + counted(2));
    EXPECT_EQ(tree(), (std::vector<std::string>{"maps/", "maps/a", "readme"}));
    EXPECT_EQ(read_file(out() / "readme"), "read me\n");
    EXPECT_EQ(read_file(out() / "maps" / "a"), content);

    // A second run in the same place reuses the directory and overwrites the files.
    write_file(out() / "readme", "a longer stale file that must be truncated");
    const auto again = run_in_out({"../test.vfs"});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.output, result.output);
    EXPECT_EQ(read_file(out() / "readme"), "read me\n");
}

TEST_F(Extraction, ProgressLineIsSeventyNineColumnsWide) {
    ArchiveBuilder b(512);
    const std::string ten = "0123456789";
    const std::string longest(63, 'x');
    b.add_root(b.add_file(ten, ""));
    b.add_root(b.add_file(longest, ""));
    const auto result = extract(b);
    EXPECT_EQ(result.output,
              BANNER_TEXT + " " + ten + std::string(68, ' ') + "\r" + " " + longest + std::string(15, ' ') + "\r" +
                  counted(2));
}

TEST_F(Extraction, UnknownTypeFailsAfterItsProgressLine) {
    ArchiveBuilder b(512);
    b.add_root(b.add_file("first", "1"));
    b.add_root({"odd", 3, 0, 0});
    b.add_root(b.add_file("never", "2"));
    const auto result = extract(b);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, BANNER_TEXT + progress_lines({"first", "odd"}) + failed("unknown type"));
    EXPECT_EQ(tree(), (std::vector<std::string>{"first"}));
}

TEST_F(Extraction, EmptyDirectoryIsCreatedAndNotCounted) {
    ArchiveBuilder b(512);
    b.add_root(b.add_directory("empty", {}));
    const auto result = extract(b);
    EXPECT_EQ(result.output, BANNER_TEXT + progress("empty") + counted(0));
    EXPECT_EQ(tree(), (std::vector<std::string>{"empty/"}));
}

TEST_F(Extraction, DuplicateNamesUseTheFirstRecordOfTheName) {
    ArchiveBuilder b(512);
    const auto dir_a = b.add_directory("d", {b.add_file("inner", "from the first d")});
    const auto dir_b = b.add_directory("d", {b.add_file("other", "never listed")});
    b.add_root(b.add_directory("files", {b.add_file("a", "abc"), b.add_file("a", "abcde")}));
    b.add_root(dir_a);
    b.add_root(dir_b);
    const auto result = extract(b);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output,
              BANNER_TEXT + progress_lines({"files", "a", "a", "d", "inner", "d", "inner"}) + counted(4));
    EXPECT_EQ(read_file(out() / "files" / "a"), "abc");
    EXPECT_EQ(tree(), (std::vector<std::string>{"d/", "d/inner", "files/", "files/a"}));
}

TEST_F(Extraction, DuplicateNameOfADifferentTypeFailsLikeItsLookup) {
    struct Case {
        std::uint32_t first_type;
        std::uint32_t later_type;
        const char* message;
    };
    const Case cases[] = {
        {DIRECTORY_TYPE, FILE_TYPE, "failed to open resource file"},
        {DIRECTORY_TYPE, COMPRESSED_TYPE, "failed to open resource file"},
        {FILE_TYPE, DIRECTORY_TYPE, "failed to open directory"},
    };
    for (const Case& c : cases) {
        TempDir place;
        ArchiveBuilder b(512);
        b.add_root(c.first_type == DIRECTORY_TYPE ? b.add_directory("x", {}) : b.add_file("x", "data"));
        b.add_root({"x", c.later_type, 0, 0});
        b.write((place / "test.vfs").string());
        fs::create_directories(place / "out");
        const auto result = testing_support::run_morvask({"../test.vfs"}, place / "out");
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output, BANNER_TEXT + progress_lines({"x", "x"}) + failed(c.message)) << c.message;
    }
}

TEST_F(Extraction, RecordOfZeroBytesInASubDirectoryIsAnUnknownType) {
    ArchiveBuilder b(512);
    const std::string table = fixture::record_bytes(b.add_file("ok", "fine")) + std::string(88, '\0');
    const std::uint32_t first = b.add_data(table);
    b.add_root({"dir", DIRECTORY_TYPE, first, static_cast<std::uint32_t>(table.size())});
    const auto result = extract(b);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output,
              BANNER_TEXT + progress_lines({"dir", "ok"}) + " " + std::string(78, ' ') + "\r" + failed("unknown type"));
}

TEST_F(Extraction, EmptyNamedFilesInASubDirectoryAreNotFound) {
    for (const std::uint32_t type : {FILE_TYPE, COMPRESSED_TYPE}) {
        ArchiveBuilder b(512);
        b.add_root(b.add_directory("dir", {Record{"", type, 0, 0}}));
        const auto result = extract(b);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output, BANNER_TEXT + progress_lines({"dir", ""}) + failed("failed to open resource file"));
    }
}

TEST_F(Extraction, SomethingOfADirectorysNameAlreadyOnDisk) {
    struct Case {
        std::uint32_t inside_type;
        const char* message;
    };
    const Case cases[] = {
        {FILE_TYPE, "failed to open file"},
        {COMPRESSED_TYPE, "failed to to open file"},
        {DIRECTORY_TYPE, "failed to create directory!"},
    };
    for (const Case& c : cases) {
        TempDir place;
        ArchiveBuilder b(512);
        const Record inside = c.inside_type == FILE_TYPE         ? b.add_file("inside", "1")
                              : c.inside_type == COMPRESSED_TYPE ? b.add_compressed("inside", "2")
                                                                 : b.add_directory("inside", {});
        b.add_root(b.add_directory("taken", {inside}));
        b.write((place / "test.vfs").string());
        fs::create_directories(place / "out");
        write_file(place / "out" / "taken", "a file where the directory goes");
        const auto result = testing_support::run_morvask({"../test.vfs"}, place / "out");
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output, BANNER_TEXT + progress_lines({"taken", "inside"}) + failed(c.message));
        EXPECT_EQ(read_file(place / "out" / "taken"), "a file where the directory goes");
    }
}

TEST_F(Extraction, NamesThatWouldLeaveTheirDirectoryAreRefused) {
    const Record refused[] = {
        {".", DIRECTORY_TYPE, 0, 0}, {"..", DIRECTORY_TYPE, 0, 0}, {"..", FILE_TYPE, 0, 0},
        {"a/b", FILE_TYPE, 0, 0},    {"..\\x", COMPRESSED_TYPE, 0, 0}, {"/etc", DIRECTORY_TYPE, 0, 0},
        {"", DIRECTORY_TYPE, 0, 0},
    };
    for (const Record& record : refused) {
        TempDir place;
        ArchiveBuilder b(512);
        b.add_root(b.add_directory("sub", {record, b.add_file("after", "x")}));
        b.write((place / "test.vfs").string());
        fs::create_directories(place / "out");
        const auto result = testing_support::run_morvask({"../test.vfs"}, place / "out");
        EXPECT_EQ(result.status, 1) << record.name;
        EXPECT_EQ(result.output, BANNER_TEXT + progress_lines({"sub", record.name}) + failed("invalid entry name"));
        EXPECT_EQ(list_tree(place.path()), (std::vector<std::string>{"out/", "out/sub/", "test.vfs"})) << record.name;
    }
}

TEST_F(Extraction, PathBeyond1023CharactersIsRefusedBeforeAnythingIsCreated) {
    // 16 levels of 63-character names make 1023 characters; one more level is too long.
    ArchiveBuilder b(512);
    const std::string name(63, 'n');
    Record inner = b.add_file("f", "x");
    Record bottom = b.add_directory(name, {inner});
    for (int level = 1; level < 16; ++level) bottom = b.add_directory(name, {bottom});
    b.add_root(bottom);
    const auto result = extract(b);
    EXPECT_EQ(result.status, 1);
    std::vector<std::string> names(16, name);
    names.push_back("f");
    EXPECT_EQ(result.output, BANNER_TEXT + progress_lines(names) + failed("path too long"));
    EXPECT_EQ(tree().size(), 16u) << "the 16 directories, and no file";
}

// ---------------------------------------------------------------------------------------
// Writers

TEST_F(Extraction, StoredFilesOfEverySizeAreExact) {
    for (const std::uint32_t block_size : {1u, 512u, 4096u}) {
        TempDir place;
        ArchiveBuilder b(block_size);
        const std::vector<std::size_t> sizes = {0, 1, 4095, 4096, 4097, block_size * 3u, 200000};
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            b.add_root(b.add_file("f" + std::to_string(i), pattern(sizes[i], static_cast<unsigned>(i)),
                                  fixture::Placement::Shuffled(i)));
        }
        b.write((place / "test.vfs").string(), fixture::Tail::Unpadded);
        fs::create_directories(place / "out");
        const auto result = testing_support::run_morvask({"../test.vfs"}, place / "out");
        EXPECT_EQ(result.status, 0) << result.output;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            EXPECT_EQ(read_file(place / "out" / ("f" + std::to_string(i))), pattern(sizes[i], static_cast<unsigned>(i)))
                << "block size " << block_size << ", size " << sizes[i];
        }
    }
}

TEST_F(Extraction, BlockBeyondFourGibibytesIsReadFromTheRightPlace) {
    ArchiveBuilder b(1 << 20);
    b.set_block(5000, "far away data");  // starts about 4.9 GiB into the file
    b.add_root({"far", FILE_TYPE, 5000, 13});
    const auto result = extract(b);
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(read_file(out() / "far"), "far away data");
}

TEST_F(Extraction, DamagedChainIsReportedNotDelivered) {
    ArchiveBuilder b(16);
    const auto record = b.add_file("broken", pattern(40));
    b.set_next(record.first_block, 0);
    b.add_root(b.add_file("before", "ok"));
    b.add_root(record);
    const auto result = extract(b);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, BANNER_TEXT + progress_lines({"before", "broken"}) + failed("failed to read archive data"));
}

TEST_F(Extraction, CompressedChunksInflateBackToBack) {
    ArchiveBuilder b(512);
    const std::string content = pattern(50000 * 3 + 17);
    const std::string exact = std::string(50000, 'e');
    b.add_root(b.add_compressed("multi", content, 50000, fixture::Placement::Shuffled(9)));
    b.add_root(b.add_compressed("exactly_50000", exact));
    b.add_root(b.add_compressed("empty", ""));
    // A complete stream followed by bytes that are not looked at.
    const std::string trailing = fixture::zlib_stream("payload") + "trailing junk";
    const std::string with_trailing = fixture::le32(static_cast<std::uint32_t>(trailing.size())) + trailing;
    const std::uint32_t first = b.add_data(with_trailing);
    b.add_root({"trailing", COMPRESSED_TYPE, first, static_cast<std::uint32_t>(with_trailing.size())});
    // A zero length ends the content, even with more data after it.
    const std::string ended = fixture::chunk_sequence("kept") + fixture::le32(0) + fixture::chunk_sequence("ignored");
    b.add_root({"ended", COMPRESSED_TYPE, b.add_data(ended), static_cast<std::uint32_t>(ended.size())});

    const auto result = extract(b);
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(read_file(out() / "multi"), content);
    EXPECT_EQ(read_file(out() / "exactly_50000"), exact);
    EXPECT_EQ(read_file(out() / "empty"), "");
    EXPECT_EQ(read_file(out() / "trailing"), "payload");
    EXPECT_EQ(read_file(out() / "ended"), "kept");
}

// The zlib failures: the message printed over the progress line, status 1, and the file
// left as far as it got.
TEST_F(Extraction, RefusedChunksEndTheRunWithZlibsMessage) {
    const std::string good = fixture::chunk_sequence("first chunk");
    std::string bad_check = fixture::zlib_stream("checked data");
    bad_check.back() = static_cast<char>(bad_check.back() ^ 1);
    const std::string truncated = fixture::zlib_stream(pattern(1000)).substr(0, 200);
    // A zlib header asking for a preset dictionary (FDICT set, check bits valid), then a
    // dictionary id.
    const std::string needs_dictionary = std::string("\x78\xBB", 2) + fixture::le32(0x01020304) + "xyz";
    struct Case {
        const char* what;
        std::string payload;
        const char* message;
    };
    const Case cases[] = {
        {"50001 bytes", fixture::zlib_stream(std::string(50001, 'x')), "zlib: buf error!"},
        {"truncated", truncated, "zlib: buf error!"},
        {"Adler-32 mismatch", bad_check, "zlib: data error!"},
        {"preset dictionary", needs_dictionary, "zlib: unknown error!"},
        {"not zlib at all", "plain text, not a stream", "zlib: data error!"},
    };
    for (const Case& c : cases) {
        TempDir place;
        ArchiveBuilder b(512);
        const std::string data =
            good + fixture::le32(static_cast<std::uint32_t>(c.payload.size())) + c.payload + good;
        b.add_root({"z", COMPRESSED_TYPE, b.add_data(data), static_cast<std::uint32_t>(data.size())});
        b.add_root(b.add_file("never", "x"));
        b.write((place / "test.vfs").string());
        fs::create_directories(place / "out");
        const auto result = testing_support::run_morvask({"../test.vfs"}, place / "out");
        EXPECT_EQ(result.status, 1) << c.what;
        EXPECT_EQ(result.output, BANNER_TEXT + progress("z") + c.message + "\n") << c.what;
        EXPECT_EQ(read_file(place / "out" / "z"), "first chunk") << c.what;
    }
}

TEST_F(Extraction, BrokenChunkFraming) {
    const std::string chunk = fixture::chunk_sequence("abc");
    struct Case {
        const char* what;
        std::string data;
        std::string failure;
    };
    const Case cases[] = {
        // The data ends 2 bytes into the second length field.
        {"cut length field", chunk + std::string("\x05\x00", 2),
         "\n" + std::to_string(chunk.size()) + " " + std::to_string(chunk.size() + 2) +
             failed("failed to read compress marker")},
        {"length beyond the data", chunk + fixture::le32(1000) + "only a few bytes", failed("error in compress stream")},
        {"length 0xFFFFFFFF", fixture::le32(0xFFFFFFFF) + "x", failed("error in compress stream")},
    };
    for (const Case& c : cases) {
        TempDir place;
        ArchiveBuilder b(512);
        b.add_root({"z", COMPRESSED_TYPE, b.add_data(c.data), static_cast<std::uint32_t>(c.data.size())});
        b.write((place / "test.vfs").string());
        fs::create_directories(place / "out");
        const auto result = testing_support::run_morvask({"../test.vfs"}, place / "out");
        EXPECT_EQ(result.status, 1) << c.what;
        EXPECT_EQ(result.output, BANNER_TEXT + progress("z") + c.failure) << c.what;
    }
}

TEST_F(Extraction, LengthFieldAtTheVeryEndEndsTheFileQuietly) {
    ArchiveBuilder b(512);
    const std::string data = fixture::chunk_sequence("abc") + fixture::le32(1000);
    b.add_root({"z", COMPRESSED_TYPE, b.add_data(data), static_cast<std::uint32_t>(data.size())});
    const auto result = extract(b);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(read_file(out() / "z"), "abc");
}

#ifndef _WIN32
TEST_F(Extraction, FailedWriteIsReportedNotCounted) {
    for (const bool compressed : {false, true}) {
        TempDir place;
        ArchiveBuilder b(512);
        b.add_root(compressed ? b.add_compressed("full", "some data") : b.add_file("full", "some data"));
        b.write((place / "test.vfs").string());
        fs::create_directories(place / "out");
        fs::create_symlink("/dev/full", place / "out" / "full");
        const auto result = testing_support::run_morvask({"../test.vfs"}, place / "out");
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output,
                  BANNER_TEXT + progress("full") + failed(compressed ? "failed to write" : "failed to write to file"));
    }
}
#endif

// ---------------------------------------------------------------------------------------
// A real tree

TEST_F(Extraction, PacksAndExtractsTheProjectSourcesExactly) {
    const fs::path sources = fs::path(MORVASK_SOURCE_DIR);
    struct Case {
        std::uint32_t block_size;
        fixture::PackOptions::Mode mode;
        fixture::Placement placement;
        std::size_t chunk_size;
    };
    const Case cases[] = {
        {512, fixture::PackOptions::Mode::Mixed, fixture::Placement::Shuffled(1), 50000},
        {4096, fixture::PackOptions::Mode::Compressed, fixture::Placement::Reversed, 1000},
        {65536, fixture::PackOptions::Mode::Stored, fixture::Placement::Sequential, 50000},
        {100, fixture::PackOptions::Mode::Mixed, fixture::Placement::Shuffled(2), 7777},
    };
    for (const Case& c : cases) {
        TempDir place;
        fixture::PackOptions options;
        options.block_size = c.block_size;
        options.mode = c.mode;
        options.placement = c.placement;
        options.chunk_size = c.chunk_size;
        options.vary_chunk_size = true;
        fs::create_directories(place / "source");
        for (const char* part : {"archive", "tool", "tests", "examples"}) {
            fs::copy(sources / part, place / "source" / part, fs::copy_options::recursive);
        }
        fixture::pack_tree(place / "source", place / "tree.vfs", options);
        fs::create_directories(place / "out");
        const auto result = testing_support::run_morvask({"../tree.vfs"}, place / "out");
        ASSERT_EQ(result.status, 0) << result.output;
        const auto files = list_tree(place / "source");
        EXPECT_EQ(list_tree(place / "out"), files);
        for (const auto& file : files) {
            if (file.back() == '/') continue;
            EXPECT_EQ(read_file(place / "out" / file), read_file(place / "source" / file))
                << file << " at block size " << c.block_size;
        }
    }
}

}  // namespace
