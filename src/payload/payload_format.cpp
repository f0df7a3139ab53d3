#include "payload/payload_format.h"

#include "platform/ascii_case.h"

namespace kitforge::payload {

bool IsExtractLine(std::string_view line) noexcept {
    if (line.size() < kExtractWord.size()) return false;
    for (std::size_t i = 0; i < kExtractWord.size(); ++i) {
        if (AsciiUpper(line[i]) != kExtractWord[i]) return false;
    }
    return true;
}

std::array<unsigned char, kNumberSize> PutU32LE(std::uint32_t value) noexcept {
    return {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
}

std::uint32_t GetU32LE(const unsigned char* bytes) noexcept {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

bool IsSafeFileName(std::string_view name) noexcept {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name) {
        // Control characters (NUL included) could rewrite a terminal that shows the name.
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || c == ':' || byte < 0x20 || byte == 0x7F) return false;
    }
    return true;
}

}  // namespace kitforge::payload
