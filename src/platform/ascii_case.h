#pragma once
// Letter case of plain ASCII, whatever the locale: command words, folder tokens and names in
// archives are compared this way, so "extract" and "EXTRACT" are one word everywhere and no
// locale can make two different names equal.

#include <cstddef>
#include <string_view>

namespace kitforge {

constexpr char AsciiUpper(char c) noexcept { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

constexpr bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    }
    return true;
}

}  // namespace kitforge
