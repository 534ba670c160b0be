// The names a Windows file system would silently store as something else, kept apart
// from host_windows.cc so that the rule is plain code every build can test.
//
// Windows strips a trailing '.' or ' ' from a name, writes a name with ':' into a hidden
// alternate data stream of another file, refuses the wildcard and quoting characters and
// control bytes, and opens a device instead of a file for the reserved device names,
// with or without an extension and in any letter case. An extraction that wrote such a
// name would report success for a file that is not there, so the Windows host refuses
// them instead.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace morvask::host {

// Whether `base` (a name without its extension, trailing blanks removed) names a device.
inline bool is_reserved_device_name(std::string_view base) {
    static constexpr std::array<std::string_view, 4> plain{"CON", "PRN", "AUX", "NUL"};
    static constexpr std::array<std::string_view, 2> numbered{"COM", "LPT"};
    // ASCII letters only: the device names are ASCII, and no locale may widen the match.
    auto same_letters = [](std::string_view name, std::string_view device) {
        if (name.size() != device.size()) return false;
        for (std::size_t i = 0; i < name.size(); ++i) {
            const char c = name[i];
            if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) != device[i]) return false;
        }
        return true;
    };
    for (const std::string_view device : plain) {
        if (same_letters(base, device)) return true;
    }
    if (base.size() != 4 || base[3] < '1' || base[3] > '9') return false;
    for (const std::string_view device : numbered) {
        if (same_letters(base.substr(0, 3), device)) return true;
    }
    return false;
}

// Whether a Windows file system stores a file or directory of this name as it stands.
// The empty name is left to the walk, which judges it by the record's type.
inline bool windows_accepts_name(std::string_view name) {
    if (name.empty()) return true;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) return false;
        if (std::string_view("<>:\"|?*").find(c) != std::string_view::npos) return false;
    }
    if (name.back() == '.' || name.back() == ' ') return false;

    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);  // "CON .txt" is CON too
    return !is_reserved_device_name(base);
}

}  // namespace morvask::host
