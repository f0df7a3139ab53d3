#pragma once
// Reads an INI-style profile file the way the Windows profile functions do, since build
// scripts are written for them: section and key names match without regard to ASCII letter
// case, blanks around names and values are trimmed, one pair of matching outer quotes is
// removed from a value, the first occurrence of a duplicated key (and of a duplicated
// section) is the one that counts, and the fixed buffers of those functions cut long values
// and key lists.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kitforge {

class IniProfile {
public:
    // A value is read through a buffer of this many bytes: one is its terminator, so longer
    // values are cut to 2,047 characters.
    static constexpr std::size_t kValueBufferSize = 2048;
    // The key names of a section are listed in a buffer of this many bytes, each name followed
    // by a terminator and the list by one more. Names that do not fit whole are left out.
    static constexpr std::size_t kKeyListBufferSize = 16384;

    // Parses the text of a profile. Lines end at CR LF, a lone LF or a lone CR; the text ends
    // at its first NUL byte, as it does for the editor's own reader.
    static IniProfile Parse(std::string_view text);
    // Reads the whole file in one pass and parses it. Throws ReadError naming the file.
    static IniProfile Read(const std::string& path);

    // The distinct key names of the first section called `section`, in file order, as written
    // in their first occurrence (trimmed), within the key-list buffer. Keys with an empty name
    // and lines without "=" are not keys.
    std::vector<std::string> KeyNames(std::string_view section) const;

    // The value of the first occurrence of `key` in the first section called `section`:
    // trimmed, one pair of matching outer quotes (" or ') removed, cut to 2,047 characters.
    // Nothing when the section or the key is missing.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;

    // Value() or `fallback`.
    std::string String(std::string_view section, std::string_view key, std::string_view fallback = {}) const;

    // The value read as an integer: optional blanks, then an optional sign and decimal digits,
    // or "0x", "0X" or "$" and hexadecimal digits, nothing after them, within 32 signed bits.
    // Nothing when the key is missing or its value reads otherwise.
    std::optional<std::int32_t> Integer(std::string_view section, std::string_view key) const;

private:
    struct Entry {
        std::string name;
        std::string value;  // as in the file between "=" and the line end, trimmed, quotes kept
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };

    const Section* FindSection(std::string_view section) const;

    std::vector<Section> sections_;
};

}  // namespace kitforge
