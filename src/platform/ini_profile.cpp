#include "platform/ini_profile.h"

#include <cerrno>

#include "os/errors.h"
#include "os/file.h"
#include "platform/integer_parse.h"

namespace kitforge {

namespace {

bool IsBlank(char c) noexcept { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r'; }

std::string_view Trim(std::string_view text) noexcept {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

char AsciiLower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

// Removes one pair of outer quotes when the value starts with " or ' and ends with the same
// character; a lone quote character is left alone.
std::string_view WithoutOuterQuotes(std::string_view value) noexcept {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// Calls `line` for each line of `text`, without its line break.
template <typename Fn>
void ForEachLine(std::string_view text, Fn&& line) {
    while (!text.empty()) {
        const auto end = text.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            line(text);
            return;
        }
        line(text.substr(0, end));
        const std::size_t skip = text.substr(end, 2) == "\r\n" ? 2 : 1;
        text.remove_prefix(end + skip);
    }
}

}  // namespace

IniProfile IniProfile::Parse(std::string_view text) {
    const auto nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);

    IniProfile profile;
    Section* current = nullptr;
    ForEachLine(text, [&](std::string_view raw) {
        const std::string_view line = Trim(raw);
        if (line.empty() || line.front() == ';') return;
        if (line.front() == '[') {
            const auto close = line.find(']');
            if (close == std::string_view::npos) return;  // not a header, and not a key either
            profile.sections_.push_back({std::string(Trim(line.substr(1, close - 1))), {}});
            current = &profile.sections_.back();
            return;
        }
        const auto equals = line.find('=');
        if (current == nullptr || equals == std::string_view::npos) return;
        const std::string_view name = Trim(line.substr(0, equals));
        // An empty name would end the terminated key list early; it names no key.
        if (name.empty()) return;
        current->entries.push_back({std::string(name), std::string(Trim(line.substr(equals + 1)))});
    });
    return profile;
}

IniProfile IniProfile::Read(const std::string& path) {
    File file = File::OpenRead(path);
    std::string text;
    const std::int64_t size = file.Size();
    if (size > 0) text.reserve(static_cast<std::size_t>(size));
    char buffer[16384];
    for (;;) {
        const std::size_t got = file.Read(buffer, sizeof buffer);
        text.append(buffer, got);
        if (got < sizeof buffer) {
            if (file.LastError() != 0) throw ReadError("read", path, file.LastError());
            break;
        }
    }
    return Parse(text);
}

const IniProfile::Section* IniProfile::FindSection(std::string_view section) const {
    const std::string_view wanted = Trim(section);
    for (const auto& candidate : sections_) {
        if (SameName(candidate.name, wanted)) return &candidate;
    }
    return nullptr;
}

std::vector<std::string> IniProfile::KeyNames(std::string_view section) const {
    std::vector<std::string> names;
    const Section* found = FindSection(section);
    if (found == nullptr) return names;
    // Room for the names and their terminators, keeping the list's final terminator.
    std::size_t room = kKeyListBufferSize - 1;
    for (const auto& entry : found->entries) {
        bool seen = false;
        for (const auto& name : names) seen = seen || SameName(name, entry.name);
        if (seen) continue;
        // A name that does not fit whole is left out rather than cut: a cut name could name
        // a different key.
        if (entry.name.size() + 1 > room) break;
        room -= entry.name.size() + 1;
        names.push_back(entry.name);
    }
    return names;
}

std::optional<std::string> IniProfile::Value(std::string_view section, std::string_view key) const {
    const Section* found = FindSection(section);
    if (found == nullptr) return std::nullopt;
    const std::string_view wanted = Trim(key);
    for (const auto& entry : found->entries) {
        if (!SameName(entry.name, wanted)) continue;
        std::string_view value = WithoutOuterQuotes(entry.value);
        if (value.size() > kValueBufferSize - 1) value = value.substr(0, kValueBufferSize - 1);
        return std::string(value);
    }
    return std::nullopt;
}

std::string IniProfile::String(std::string_view section, std::string_view key, std::string_view fallback) const {
    auto value = Value(section, key);
    return value ? std::move(*value) : std::string(fallback);
}

std::optional<std::int32_t> IniProfile::Integer(std::string_view section, std::string_view key) const {
    const auto value = Value(section, key);
    if (!value) return std::nullopt;
    // The platform integer syntax also takes a bare "x" before hexadecimal digits; profile
    // integers do not.
    const auto first = value->find_first_not_of(' ');
    if (first != std::string::npos && (AsciiLower((*value)[first]) == 'x')) return std::nullopt;
    return ParsePlatformInteger(*value);
}

}  // namespace kitforge
