// Writes the fuzz targets' seed corpus: a few small valid archives, made with the
// project's fixture builder, that between them hold stored and compressed files (one
// and several chunks, blocks in and out of order), nested and empty directories, empty
// files and a name used twice. Small blocks keep every seed well under 4 KiB, so the
// fuzzer's mutations reach every field quickly.
//
// Usage: fuzz_seed_corpus FOLDER   (scripts/make-fuzz-corpus rebuilds tests/fuzz/corpus)

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "vfs_fixture.h"

namespace {

using fixture::ArchiveBuilder;
using fixture::Placement;

void save(const std::filesystem::path& folder, const std::string& name, const std::string& bytes) {
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string text(std::size_t length, char first) {
    std::string s;
    for (std::size_t i = 0; i < length; ++i) s += static_cast<char>(first + (i * 7 + i / 13) % 26);
    return s;
}

// A stored file in the root and a directory holding a compressed file: the shape of the
// program's first example.
std::string readme_and_maps() {
    ArchiveBuilder b(64);
    b.add_root(b.add_file("readme", "extract me\n"));
    b.add_root(b.add_directory("maps", {b.add_compressed("a", text(300, 'a'), 120)}));
    return b.bytes();
}

// Three levels of directories with blocks out of order, an empty directory, an empty
// stored file and an empty compressed file.
std::string nested_shuffled() {
    ArchiveBuilder b(32);
    const auto leaf = b.add_compressed("heights.txt", text(500, 'h'), 200, Placement::Shuffled(3));
    const auto forest = b.add_directory("forest", {leaf, b.add_file("empty.txt", "")}, Placement::Reversed);
    const auto world = b.add_file("world.txt", text(90, 'w'), Placement::Shuffled(5));
    b.add_root(b.add_directory("maps", {forest, world, b.add_directory("none", {})}, Placement::Shuffled(9)));
    b.add_root(b.add_compressed("nothing.bin", ""));
    return b.bytes();
}

// Stored data that ends mid-block with an unpadded last block, and a name used twice in
// one directory (both records resolve to the first).
std::string duplicates_unpadded() {
    ArchiveBuilder b(48);
    const auto first = b.add_file("a", "abc");
    const auto second = b.add_file("a", "hello");
    b.add_root(b.add_directory("dup", {first, second, b.add_compressed("z", text(120, 'z'))}));
    b.add_root(b.add_file("tail.txt", text(70, 't')));
    return b.bytes(fixture::Tail::Unpadded);
}

// An empty root: the smallest valid archive.
std::string empty_root() { return ArchiveBuilder(16).bytes(); }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seed_corpus FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    save(folder, "readme_and_maps.vfs", readme_and_maps());
    save(folder, "nested_shuffled.vfs", nested_shuffled());
    save(folder, "duplicates_unpadded.vfs", duplicates_unpadded());
    save(folder, "empty_root.vfs", empty_root());
    return 0;
}
