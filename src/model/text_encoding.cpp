#include "model/text_encoding.h"

#include <array>

#include "platform/printable_text.h"

namespace kitforge {

namespace {

// Code page 1252's characters for the bytes 0x80 to 0x9F; the rest of the upper half is
// Latin-1, byte value and code point alike.
constexpr std::array<char32_t, 32> kHighCharacters = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::optional<char> Windows1252Byte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (std::size_t i = 0; i < kHighCharacters.size(); ++i) {
        if (kHighCharacters[i] == c) return static_cast<char>(0x80 + i);
    }
    return std::nullopt;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string_view TextEncodingName(TextEncoding encoding) {
    return encoding == TextEncoding::Utf8 ? "UTF-8" : "Windows-1252";
}

bool IsUtf8Text(std::string_view text) {
    while (!text.empty()) {
        char32_t code_point = 0;
        const std::size_t length = Utf8Sequence(text, code_point);
        if (length == 0) return false;
        text.remove_prefix(length);
    }
    return true;
}

std::string Windows1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        AppendUtf8(out, c >= 0x80 && c < 0xA0 ? kHighCharacters[c - 0x80] : char32_t{c});
    }
    return out;
}

std::optional<std::string> Utf8ToWindows1252(std::string_view text, std::string* unwritable) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        char32_t code_point = 0;
        const std::size_t length = Utf8Sequence(text, code_point);
        const std::optional<char> byte = length == 0 ? std::nullopt : Windows1252Byte(code_point);
        if (!byte) {
            if (unwritable) *unwritable = text.substr(0, length == 0 ? 1 : length);
            return std::nullopt;
        }
        out += *byte;
        text.remove_prefix(length);
    }
    return out;
}

}  // namespace kitforge
