// DirectoryWalk: the extraction's main loop. It goes through the archive's directories
// depth first in stored order and tells a WalkActions what to do for each record: show
// its progress line, create a directory, write a file. It decides everything that
// depends on the archive alone, so it can run ahead of the actions' side effects.
//
// Each record is found again the way a lookup of its path from the root would find it:
// the first record of its name in its directory (see NameIndex), so when a directory
// holds two records of one name, the later one is processed with the earlier one's
// entry.
//
// A damaged archive cannot make the walk write outside the current directory, recurse
// without end or multiply its work: names that are not plain names are refused, a
// directory whose data is one of its own ancestors' is refused, and the walk stops when
// the listings yield more records than the archive file could hold.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "resource_dir.h"
#include "vfs_archive.h"

namespace morvask {

// The side effects of the walk, asked for in the walk's order. Each either completes or
// throws; a throw ends the walk.
class WalkActions {
public:
    virtual ~WalkActions() = default;
    virtual void progress(std::string_view name) = 0;
    // Creates the directory `path`; one that already exists counts as created. Throws
    // Failure "failed to create directory!" otherwise.
    virtual void make_directory(const std::string& path) = 0;
    // The writers of EntryWriters, for the file at `path` whose lookup found `entry`.
    virtual void write_plain(const std::optional<vfs::DirEntry>& entry, const std::string& path) = 0;
    virtual void write_compressed(const std::optional<vfs::DirEntry>& entry, const std::string& path) = 0;
};

class DirectoryWalk {
public:
    DirectoryWalk(const vfs::VfsArchive& archive, WalkActions& actions);

    // Walks the whole archive. Throws Failure with the walk's messages ("invalid entry
    // name", "path too long", "failed to open directory", "damaged directory tree",
    // "unknown type"), vfs::DataError for a damaged listing, and whatever the actions
    // throw.
    void walk();

    // Files handed to a writer so far.
    std::uint64_t files_extracted() const { return files_extracted_; }

private:
    void walk_directory(vfs::ResourceDir& directory, const std::string& parent, std::size_t depth);
    void take_record(const vfs::DirEntry& record, const std::optional<vfs::DirEntry>& target,
                     const std::string& path, std::size_t depth);
    void enter_directory(const std::optional<vfs::DirEntry>& target, const std::string& path, std::size_t depth);
    void count_listed_record();
    bool is_open_ancestor(const vfs::DirEntry& directory) const;

    const vfs::VfsArchive& archive_;
    WalkActions& actions_;
    std::uint64_t files_extracted_ = 0;
    std::uint64_t records_listed_ = 0;
    std::uint64_t record_limit_;
    // The data (first_block, size) of each directory on the current path.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> open_directories_;
};

}  // namespace morvask
