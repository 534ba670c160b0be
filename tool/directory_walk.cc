#include "directory_walk.h"

#include <algorithm>

#include "failure.h"
#include "host.h"
#include "name_index.h"

namespace morvask {

namespace {

// Names that would leave the directory they belong to, or name it again. An empty name
// is refused for a directory only, which would list its parent again; a file of an empty
// name just fails its lookup.
bool is_refused_name(const vfs::DirEntry& record) {
    const std::string_view name = record.name_view();
    if (name.empty()) return record.type == vfs::ENTRY_DIRECTORY;
    return name == "." || name == ".." || name.find_first_of("/\\") != std::string_view::npos ||
           !host::host_accepts_name(name);
}

}  // namespace

DirectoryWalk::DirectoryWalk(const vfs::VfsArchive& archive, WalkActions& actions)
    : archive_(archive),
      actions_(actions),
      // Every record a real writer puts in an archive takes 88 bytes of its file, so no
      // sound archive lists more records than this, however its directories are shared.
      record_limit_(archive.source().size() / vfs::DIR_ENTRY_SIZE) {}

void DirectoryWalk::walk() {
    vfs::ResourceDir root(archive_);
    walk_directory(root, std::string(), 0);
}

void DirectoryWalk::count_listed_record() {
    if (++records_listed_ > record_limit_) throw Failure("damaged directory tree");
}

void DirectoryWalk::walk_directory(vfs::ResourceDir& directory, const std::string& parent, std::size_t depth) {
    vfs::NameIndex index;
    vfs::DirEntry record;
    while (directory.next(record)) {
        std::optional<vfs::DirEntry> target = index.add_and_resolve(record);
        // A lookup uses at most MAX_PATH_COMPONENTS components of a path, so a deeper
        // path finds the directory at that depth: the one being listed.
        if (depth + 1 > vfs::MAX_PATH_COMPONENTS) target = directory.entry();

        const std::string_view name = record.name_view();
        actions_.progress(name);
        count_listed_record();
        const std::string path = parent.empty() ? std::string(name) : parent + host::PATH_SEPARATOR + std::string(name);
        take_record(record, target, path, depth);
    }
}

void DirectoryWalk::take_record(const vfs::DirEntry& record, const std::optional<vfs::DirEntry>& target,
                                const std::string& path, std::size_t depth) {
    if (is_refused_name(record)) throw Failure("invalid entry name");
    if (path.size() > vfs::MAX_PATH_LENGTH) throw Failure("path too long");

    switch (record.type) {
        case vfs::ENTRY_FILE:
            ++files_extracted_;
            actions_.write_plain(target, path);
            break;
        case vfs::ENTRY_DIRECTORY:
            enter_directory(target, path, depth);
            break;
        case vfs::ENTRY_COMPRESSED:
            ++files_extracted_;
            actions_.write_compressed(target, path);
            break;
        default:
            throw Failure("unknown type");
    }
}

bool DirectoryWalk::is_open_ancestor(const vfs::DirEntry& directory) const {
    if (directory.size == 0) return false;
    return std::find(open_directories_.begin(), open_directories_.end(),
                     std::make_pair(directory.first_block, directory.size)) != open_directories_.end();
}

void DirectoryWalk::enter_directory(const std::optional<vfs::DirEntry>& target, const std::string& path,
                                    std::size_t depth) {
    actions_.make_directory(path);
    if (!target || target->type != vfs::ENTRY_DIRECTORY) throw Failure("failed to open directory");
    if (is_open_ancestor(*target)) throw Failure("damaged directory tree");

    vfs::ResourceDir sub_directory(archive_, *target);
    open_directories_.emplace_back(target->first_block, target->size);
    walk_directory(sub_directory, path, depth + 1);
    open_directories_.pop_back();
}

}  // namespace morvask
