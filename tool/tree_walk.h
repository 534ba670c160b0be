// TreeWalk: the extraction's main loop. It goes through the archive's directories depth
// first in stored order, prints one progress line per record, recreates directories
// below the current directory and hands every file to the writer for its type.
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
#include <utility>
#include <vector>

#include "console.h"
#include "entry_writers.h"
#include "resource_dir.h"
#include "vfs_archive.h"

namespace morvask {

class TreeWalk {
public:
    TreeWalk(const vfs::VfsArchive& archive, Console& console);

    // Extracts the whole archive into the current directory. Throws Failure with the
    // walk's messages ("invalid entry name", "path too long", "failed to create
    // directory!", "failed to open directory", "damaged directory tree", "unknown type"),
    // and whatever the writers throw.
    void extract_archive();

    // Files handed to a writer so far.
    std::uint64_t files_extracted() const { return files_extracted_; }

private:
    void extract_tree(vfs::ResourceDir& directory, const std::string& parent, std::size_t depth);
    void extract_record(const vfs::DirEntry& record, const std::optional<vfs::DirEntry>& target,
                        const std::string& path, std::size_t depth);
    void extract_directory(const std::optional<vfs::DirEntry>& target, const std::string& path, std::size_t depth);
    void count_listed_record();
    bool is_open_ancestor(const vfs::DirEntry& directory) const;

    const vfs::VfsArchive& archive_;
    Console& console_;
    EntryWriters writers_;
    std::uint64_t files_extracted_ = 0;
    std::uint64_t records_listed_ = 0;
    std::uint64_t record_limit_;
    // The data (first_block, size) of each directory on the current path.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> open_directories_;
};

}  // namespace morvask
