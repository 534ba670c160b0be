// Unit tests of the extractor's parts that the end-to-end tests cannot observe directly:
// the console's flushing, the inflater's results at its limits, the chunk buffer's growth.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "chunk_inflater.h"
#include "console.h"
#include "entry_writers.h"
#include "test_support.h"
#include "vfs_fixture.h"

namespace {

using testing_support::read_file;
using testing_support::TempDir;

TEST(Console, TerminalSeesEveryPrintAtOnce) {
    TempDir folder;
    const auto path = folder / "terminal";
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.string().c_str(), "wb"), &std::fclose);
    ASSERT_TRUE(file);
    morvask::Console console(file.get(), true);
    console.print_progress("entry");
    EXPECT_EQ(read_file(path), " entry" + std::string(73, ' ') + "\r");
    console.print("more");
    EXPECT_EQ(read_file(path).size(), 80u + 4u);
}

TEST(ChunkInflater, AcceptsExactlyTheCapacityAndNoMore) {
    morvask::ChunkInflater inflater;
    std::string out(50000, '\0');
    auto* dest = reinterpret_cast<std::uint8_t*>(out.data());
    auto inflate = [&](const std::string& payload) {
        return inflater.inflate(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size(), dest,
                                out.size());
    };
    const std::string full(50000, 'f');
    const auto exact = inflate(fixture::zlib_stream(full));
    EXPECT_EQ(exact.status, morvask::ChunkInflater::Status::Ok);
    EXPECT_EQ(exact.produced, 50000u);
    EXPECT_EQ(out, full);
    EXPECT_EQ(inflate(fixture::zlib_stream(full + "!")).status, morvask::ChunkInflater::Status::BufError);
    // The state is reset between chunks: a failure leaves nothing behind.
    const auto after = inflate(fixture::zlib_stream("small"));
    EXPECT_EQ(after.status, morvask::ChunkInflater::Status::Ok);
    EXPECT_EQ(out.substr(0, after.produced), "small");
    EXPECT_EQ(inflate("").status, morvask::ChunkInflater::Status::BufError);
}

TEST(EntryWriters, ChunkInputGrowsToTheLongestChunkAndNeverShrinks) {
    // Two compressed files whose chunks are 300 and 200 bytes long (stored deflate blocks
    // at level 0 make the lengths exact).
    fixture::ArchiveBuilder b(512);
    const std::string first = fixture::chunk_sequence(std::string(300 - 11, 'a'), 50000, 0);
    const std::string second = fixture::chunk_sequence(std::string(200 - 11, 'b'), 50000, 0);
    ASSERT_EQ(first.size(), 4u + 300u);
    ASSERT_EQ(second.size(), 4u + 200u);
    b.add_root({"first", fixture::kTypeCompressed, b.add_data(first), static_cast<std::uint32_t>(first.size())});
    b.add_root({"second", fixture::kTypeCompressed, b.add_data(second), static_cast<std::uint32_t>(second.size())});
    const auto archive = vfs::open_archive(std::make_unique<vfs::MemorySource>(b.bytes()));

    TempDir folder;
    morvask::EntryWriters writers(*archive);
    EXPECT_EQ(writers.chunk_input_capacity(), 0u);
    writers.extract_compressed(archive->find_entry("first"), (folder / "first").string());
    EXPECT_EQ(writers.chunk_input_capacity(), 300u);
    writers.extract_compressed(archive->find_entry("second"), (folder / "second").string());
    EXPECT_EQ(writers.chunk_input_capacity(), 300u);
    EXPECT_EQ(read_file(folder / "second"), std::string(189, 'b'));
}

}  // namespace
