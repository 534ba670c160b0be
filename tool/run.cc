#include "run.h"

#include <memory>
#include <string>

#include "failure.h"
#include "host.h"
#include "tree_walk.h"
#include "vfs_archive.h"

namespace morvask {

const char* const BANNER =
    " - BRACKENHOLLOW VFS EXTRACTOR v1.0 -                     by morvask developers\n"
    "-------------------------------------------------------------------------------\n";

namespace {

// Opens and extracts the archive; returns the number of files written.
std::uint64_t extract(const std::string& archive_path, Console& console, unsigned inflate_threads) {
    const std::unique_ptr<vfs::VfsArchive> archive = vfs::open_archive(host::open_input(archive_path));
    TreeWalk walk(*archive, console, inflate_threads);
    walk.extract_archive();
    return walk.files_extracted();
}

}  // namespace

int run(int argc, const char* const* argv, Console& console, unsigned inflate_threads) {
    console.print(BANNER);
    try {
        if (argc < 2) throw Failure("usage: morvask.exe <vfsfile>");
        const std::uint64_t files = extract(argv[1], console, inflate_threads);
        console.print(std::to_string(files) + " files successfully extracted!\n\n");
        return 0;
    } catch (const vfs::OpenError& e) {
        console.print(std::string(e.what()) + "\n");
    } catch (const InflateFailure& e) {
        console.print(std::string(e.what()) + "\n");
    } catch (const Failure& e) {
        console.print(e.preamble() + "\n" + std::string(e.what()) + "\n");
    } catch (const vfs::DataError& e) {
        console.print("\n" + std::string(e.what()) + "\n");
    }
    return 1;
}

}  // namespace morvask
