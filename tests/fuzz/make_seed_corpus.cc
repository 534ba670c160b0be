// Writes the fuzz targets' seed corpus, the archives of seed_archives.h, into a folder.
// Usage: fuzz_seed_corpus FOLDER   (scripts/make-fuzz-corpus rebuilds tests/fuzz/corpus)

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "seed_archives.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seed_corpus FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    for (const auto& seed : fuzz_seeds::seed_archives()) {
        std::ofstream out(folder / seed.name, std::ios::binary | std::ios::trunc);
        out.write(seed.bytes.data(), static_cast<std::streamsize>(seed.bytes.size()));
        if (!out) return 1;
    }
    return 0;
}
