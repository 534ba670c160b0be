// Path lookup: resolving "a\b/c" to its record, one directory table per component.

#include <algorithm>

#include "resource_dir.h"
#include "resource_file.h"
#include "vfs_archive.h"

namespace vfs {

namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

// The first record of `table` named `name`, searched up to the table's first empty name.
template <typename NextRecord>
std::optional<DirEntry> first_named(std::string_view name, NextRecord next) {
    DirEntry record;
    while (next(record)) {
        if (record.has_empty_name()) return std::nullopt;
        if (record.name_view() == name) return record;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::vector<std::string_view>> VfsArchive::split_path(std::string_view path) {
    if (path.size() > MAX_PATH_LENGTH) return std::nullopt;
    std::vector<std::string_view> components;
    std::size_t i = 0;
    while (i < path.size() && components.size() < MAX_PATH_COMPONENTS) {
        while (i < path.size() && is_separator(path[i])) ++i;
        const std::size_t start = i;
        while (i < path.size() && !is_separator(path[i])) ++i;
        if (i > start) components.push_back(path.substr(start, i - start));
    }
    return components;
}

std::optional<DirEntry> VfsArchive::find_entry(std::string_view path) const {
    const auto components = split_path(path);
    if (!components || components->empty()) return std::nullopt;
    ResourceDir root(*this);
    const auto match = first_named(components->front(), [&](DirEntry& r) { return root.next(r); });
    if (!match || components->size() == 1) return match;
    return find_in_directory({components->begin() + 1, components->end()}, *match);
}

// Each level follows the first record of its name only: when the search below it fails,
// the lookup fails, and later records of the same name are not tried.
std::optional<DirEntry> VfsArchive::find_in_directory(const std::vector<std::string_view>& components,
                                                      const DirEntry& directory) const {
    std::optional<DirEntry> current = directory;
    for (const std::string_view component : components) {
        ResourceDir table(*this, *current);
        current = first_named(component, [&](DirEntry& r) { return table.next(r); });
        if (!current) return std::nullopt;
    }
    return current;
}

std::unique_ptr<ResourceFile> VfsArchive::open_file(std::string_view path) const {
    const auto entry = find_entry(path);
    if (!entry || (entry->type != ENTRY_FILE && entry->type != ENTRY_COMPRESSED)) return nullptr;
    return std::make_unique<ResourceFile>(*this, *entry);
}

std::unique_ptr<ResourceDir> VfsArchive::open_directory(std::string_view path) const {
    if (path.empty()) return std::make_unique<ResourceDir>(*this);
    const auto entry = find_entry(path);
    if (!entry || entry->type != ENTRY_DIRECTORY) return nullptr;
    return std::make_unique<ResourceDir>(*this, *entry);
}

}  // namespace vfs
