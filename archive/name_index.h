// NameIndex: path lookup inside one directory at constant cost, for a reader that lists
// the directory in order and resolves each record's name as it goes.
//
// A lookup in a directory table follows the first record of a name and stops at the
// first record with an empty name. When record i of a listing is resolved, that first
// record is among records 0 ... i, so an index of the records listed so far, up to the
// first empty name, gives exactly the lookup's answer without reading the table again.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>

#include "vfs_records.h"

namespace vfs {

class NameIndex {
public:
    // Adds `record`, the next record of the listing, and returns what a lookup of its
    // name in this directory finds: the first record of that name, which may be an
    // earlier one, or nothing once an empty name has ended the table.
    std::optional<DirEntry> add_and_resolve(const DirEntry& record) {
        if (ended_) return std::nullopt;
        if (record.has_empty_name()) {
            ended_ = true;
            return std::nullopt;
        }
        return first_.try_emplace(std::string(record.name_view()), record).first->second;
    }

private:
    std::unordered_map<std::string, DirEntry> first_;
    bool ended_ = false;
};

}  // namespace vfs
