#include "zipsfx/entry_names.h"

#include "os/native_path.h"

namespace kitforge::zipsfx {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::optional<CheckedName> Refuse(std::string* reason, const char* why) {
    if (reason) *reason = why;
    return std::nullopt;
}

}  // namespace

std::optional<CheckedName> CheckEntryName(std::string_view stored, std::string* reason) {
    if (stored.empty()) return Refuse(reason, "the name is empty");
    if (IsSeparator(stored.front())) return Refuse(reason, "the name is an absolute path");
    if (stored.size() >= 2 && IsAsciiLetter(stored[0]) && stored[1] == ':') {
        return Refuse(reason, "the name starts with a drive letter");
    }
    for (char c : stored) {
        if (IsControl(c)) return Refuse(reason, "the name holds a control character");
    }

    CheckedName checked;
    checked.is_directory = IsSeparator(stored.back());
    if (checked.is_directory) stored.remove_suffix(1);
    std::size_t start = 0;
    while (start <= stored.size()) {
        std::size_t end = start;
        while (end < stored.size() && !IsSeparator(stored[end])) ++end;
        const std::string_view part = stored.substr(start, end - start);
        if (part.empty()) return Refuse(reason, "the name has an empty part");
        if (part == "..") return Refuse(reason, "the name climbs out of the target folder with \"..\"");
        if (part == ".") return Refuse(reason, "the name has a \".\" part");
        if (!checked.path.empty()) checked.path += '/';
        checked.path += part;
        start = end + 1;
    }
    return checked;
}

std::string Printable(std::string_view text) {
    std::string shown(text);
    for (char& c : shown) {
        if (IsControl(c)) c = '?';
    }
    return shown;
}

std::string PrintablePath(std::string_view path) { return Printable(DisplayPath(path)); }

}  // namespace kitforge::zipsfx
