#pragma once
// Installers made by hand for the tests of the installer stub: any stub bytes followed by a
// payload in the installer layout, including payloads that the builder would never write
// (unsafe names, wrong counts), so that the stub's defences can be tried.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kitforge::testing {

struct PayloadTestFile {
    std::string name;
    std::string contents;
};

inline void AppendU32LE(std::string& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((value >> shift) & 0xFF);
}

// `files` in the order of the EXTRACT lines; they are stored last first, as the writer does.
inline std::string PayloadBytes(const std::vector<PayloadTestFile>& files, const std::vector<std::string>& lines,
                                std::string_view prompt, std::string_view title) {
    std::string bytes;
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        bytes += it->contents;
        AppendU32LE(bytes, static_cast<std::uint32_t>(it->contents.size()));
        bytes += it->name;
        AppendU32LE(bytes, static_cast<std::uint32_t>(it->name.size()));
    }
    AppendU32LE(bytes, static_cast<std::uint32_t>(files.size()));
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        bytes += *it;
        AppendU32LE(bytes, static_cast<std::uint32_t>(it->size()));
    }
    AppendU32LE(bytes, static_cast<std::uint32_t>(lines.size()));
    bytes += prompt;
    AppendU32LE(bytes, static_cast<std::uint32_t>(prompt.size()));
    bytes += title;
    AppendU32LE(bytes, static_cast<std::uint32_t>(title.size()));
    bytes += std::string("\x2E\x22\x6B\x3D", 4);
    return bytes;
}

}  // namespace kitforge::testing
