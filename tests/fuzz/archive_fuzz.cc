// Fuzz target: any bytes as an archive, through the whole reading side of the library.
//
// Opens the bytes, lists every directory reachable from the root, resolves every listed
// path through find_entry, open_file and open_directory, and reads every entry to its
// end. An archive may refuse with vfs::OpenError or vfs::DataError; anything else (a
// crash, a sanitizer report, another exception, a hang, unbounded memory) is a fault,
// and so is a broken promise of the library, which this target checks as it goes.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "archive_error.h"
#include "byte_source.h"
#include "resource_dir.h"
#include "resource_file.h"
#include "vfs_archive.h"

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

// Blocks larger than this are not read whole by the target; the library itself never
// reads a whole block.
constexpr std::uint32_t MAX_BLOCK_BUFFER = 1 << 20;

class ArchiveExplorer {
public:
    explicit ArchiveExplorer(const vfs::VfsArchive& archive, std::uint64_t file_size)
        : archive_(archive),
          // A listing walk bounded like the tool's: no more records than the file could hold.
          record_limit_(file_size / vfs::DIR_ENTRY_SIZE + 1),
          // No entry's data may exceed the data area, rounded up to a whole block.
          data_bound_(file_size - std::min<std::uint64_t>(file_size, archive.data_offset()) +
                      archive.block_size()) {}

    void explore() {
        vfs::ResourceDir root(archive_);
        explore_directory(root, std::string(), 0);
    }

private:
    void explore_directory(vfs::ResourceDir& directory, const std::string& parent, std::size_t depth) {
        vfs::DirEntry record;
        while (directory.next(record)) {
            if (++records_ > record_limit_) return;
            const std::string name(record.name_view());
            require(name.size() <= vfs::NAME_FIELD_SIZE, "a name fits its field");
            const std::string path = parent.empty() ? name : parent + "/" + name;
            resolve(path);
            read_to_end(record);
            visit_blocks(record);
            if (record.type == vfs::ENTRY_DIRECTORY && !name.empty() && depth < vfs::MAX_PATH_COMPONENTS &&
                !is_open(record)) {
                vfs::ResourceDir sub_directory(archive_, record);
                open_.emplace_back(record.first_block, record.size);
                explore_directory(sub_directory, path, depth + 1);
                open_.pop_back();
            }
        }
    }

    bool is_open(const vfs::DirEntry& directory) const {
        for (const auto& data : open_) {
            if (data == std::make_pair(directory.first_block, directory.size)) return true;
        }
        return false;
    }

    // The low-level block access: the entry's first block, and the chain below it as far
    // as the entry needs blocks (at most a few, to keep each input fast).
    void visit_blocks(const vfs::DirEntry& entry) {
        const std::uint32_t block_size = archive_.block_size();
        if (block_size == 0 || block_size > MAX_BLOCK_BUFFER) return;
        std::vector<std::uint8_t> block(block_size, 0xA5);
        if (!archive_.read_block(entry.first_block, block.data())) {
            require(block == std::vector<std::uint8_t>(block_size, 0xA5), "a refused block leaves the buffer");
        }
        const std::uint32_t needed = entry.size / block_size;
        for (std::uint32_t steps = 0; steps <= needed && steps < 8; ++steps) {
            try {
                const std::uint32_t block_index = archive_.chain_block(entry.first_block, steps);
                require(steps == 0 || (block_index >= 1 && block_index <= archive_.fat_count()),
                        "a chain step names a block of the table");
            } catch (const vfs::DataError&) {
                break;
            }
        }
    }

    // Lookups of one path agree with one another, and each finds what its kind allows.
    void resolve(const std::string& path) {
        std::optional<vfs::DirEntry> found;
        try {
            found = archive_.find_entry(path);
        } catch (const vfs::DataError&) {
            return;
        }
        if (found) read_to_end(*found);
        try {
            const auto file = archive_.open_file(path);
            require(!file || (found && (found->type == vfs::ENTRY_FILE || found->type == vfs::ENTRY_COMPRESSED)),
                    "open_file opens only files");
            if (file) read_stream(*file);
        } catch (const vfs::DataError&) {
        }
        try {
            const auto directory = archive_.open_directory(path);
            require(!directory || path.empty() || (found && found->type == vfs::ENTRY_DIRECTORY),
                    "open_directory opens only directories");
            if (directory) {
                vfs::DirEntry record;
                std::uint64_t listed = 0;
                while (directory->next(record) && listed <= record_limit_) ++listed;
            }
        } catch (const vfs::DataError&) {
        }
    }

    void read_to_end(const vfs::DirEntry& entry) {
        vfs::ResourceFile stream(archive_, entry);
        try {
            read_stream(stream);
        } catch (const vfs::DataError&) {
        }
    }

    // Reads in pieces of varying sizes, so that reads inside a block, across blocks and
    // across runs of blocks are all exercised.
    void read_stream(vfs::ResourceFile& stream) {
        static const std::size_t piece_sizes[] = {4, 88, 1000, 70000};
        std::vector<std::uint8_t> buffer(70000);
        std::uint64_t total = 0;
        for (std::size_t i = 0;; ++i) {
            const std::size_t piece = piece_sizes[i % 4];
            const std::uint32_t before = stream.position();
            const std::size_t got = stream.read(buffer.data(), piece);
            require(got <= piece, "a read delivers at most what was asked");
            require(stream.position() == before + got, "a read advances by what it delivered");
            require(stream.position() <= stream.size(), "the position stays within the entry");
            total += got;
            require(total <= data_bound_, "an entry's data fits in the data area");
            if (got < piece) break;
        }
        require(stream.position() == stream.size(), "a short read comes only at the end");
    }

    const vfs::VfsArchive& archive_;
    const std::uint64_t record_limit_;
    const std::uint64_t data_bound_;
    std::uint64_t records_ = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> open_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<vfs::VfsArchive> archive;
    try {
        archive = vfs::open_archive(std::make_unique<vfs::MemorySource>(data, size));
    } catch (const vfs::OpenError&) {
        return 0;
    }
    try {
        ArchiveExplorer(*archive, size).explore();
    } catch (const vfs::DataError&) {
    }
    return 0;
}
