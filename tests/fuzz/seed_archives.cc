#include "seed_archives.h"

#include "vfs_fixture.h"

namespace fuzz_seeds {

namespace {

using fixture::ArchiveBuilder;
using fixture::Placement;

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

std::vector<SeedArchive> seed_archives() {
    return {{"readme_and_maps.vfs", readme_and_maps()},
            {"nested_shuffled.vfs", nested_shuffled()},
            {"duplicates_unpadded.vfs", duplicates_unpadded()},
            {"empty_root.vfs", empty_root()}};
}


}  // namespace fuzz_seeds
