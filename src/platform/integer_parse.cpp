#include "platform/integer_parse.h"

#include <limits>

namespace kitforge {

namespace {

int DigitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

std::optional<std::int64_t> Digits(std::string_view text, int base, std::int64_t limit) {
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        const int digit = DigitValue(c, base);
        if (digit < 0) return std::nullopt;
        value = value * base + digit;
        if (value > limit) return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<std::int32_t> ParsePlatformInteger(std::string_view text) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;

    std::string_view hex;
    if (text.front() == '$' || text.front() == 'x' || text.front() == 'X') {
        hex = text.substr(1);
    } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        hex = text.substr(2);
    }
    if (hex.data() != nullptr) {
        const auto value = Digits(hex, 16, kMax);
        if (!value) return std::nullopt;
        return static_cast<std::int32_t>(*value);
    }

    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const auto value = Digits(text, 10, negative ? kMax + 1 : kMax);
    if (!value) return std::nullopt;
    return static_cast<std::int32_t>(negative ? -*value : *value);
}

}  // namespace kitforge
