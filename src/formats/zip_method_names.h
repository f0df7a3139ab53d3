#pragma once
// The names of the zip compression methods, for messages that say why an entry cannot be
// unpacked ("BZip2 (method 12)"), so that the self-extracting stub says it in the same words as
// the tool.

#include <cstdint>
#include <string>
#include <string_view>

namespace kitforge::formats {

// The name of compression method `method` as the zip format registers it, or nothing.
constexpr std::string_view ZipMethodRegisteredName(std::uint16_t method) {
    switch (method) {
        case 0: return "Stored";
        case 1: return "Shrink";
        case 2:
        case 3:
        case 4:
        case 5: return "Reduce";
        case 6: return "Implode";
        case 8: return "Deflate";
        case 9: return "Deflate64";
        case 10: return "PKWARE DCL Implode";
        case 12: return "BZip2";
        case 14: return "LZMA";
        case 16: return "IBM z/OS CMPSC";
        case 18: return "IBM TERSE";
        case 19: return "IBM LZ77";
        case 20:
        case 93: return "Zstandard";
        case 94: return "MP3";
        case 95: return "XZ";
        case 96: return "JPEG";
        case 97: return "WavPack";
        case 98: return "PPMd";
        case 99: return "AES";
        default: break;
    }
    return {};
}

// "BZip2 (method 12)", or "method 77" for a method with no registered name.
inline std::string ZipMethodName(std::uint16_t method) {
    const std::string_view name = ZipMethodRegisteredName(method);
    const std::string number = "method " + std::to_string(method);
    return name.empty() ? number : std::string(name) + " (" + number + ")";
}

}  // namespace kitforge::formats
