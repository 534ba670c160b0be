#include "tree_walk.h"

#include "directory_walk.h"
#include "entry_writers.h"
#include "parallel_extraction.h"

namespace morvask {

namespace {

// The one-by-one extraction: every action of the walk is carried out at once.
class DirectActions final : public WalkActions {
public:
    DirectActions(const vfs::VfsArchive& archive, Console& console) : console_(console), writers_(archive) {}

    void progress(std::string_view name) override { console_.print_progress(name); }
    void make_directory(const std::string& path) override { make_output_directory(path); }
    void write_plain(const std::optional<vfs::DirEntry>& entry, const std::string& path) override {
        writers_.extract_plain(entry, path);
    }
    void write_compressed(const std::optional<vfs::DirEntry>& entry, const std::string& path) override {
        writers_.extract_compressed(entry, path);
    }

private:
    Console& console_;
    EntryWriters writers_;
};

}  // namespace

TreeWalk::TreeWalk(const vfs::VfsArchive& archive, Console& console, unsigned inflate_threads)
    : archive_(archive), console_(console), inflate_threads_(inflate_threads) {}

void TreeWalk::extract_archive() {
    if (inflate_threads_ > 0) {
        files_extracted_ = ParallelExtraction(archive_, console_, inflate_threads_).extract();
        return;
    }
    DirectActions actions(archive_, console_);
    DirectoryWalk walk(archive_, actions);
    walk.walk();
    files_extracted_ = walk.files_extracted();
}

}  // namespace morvask
