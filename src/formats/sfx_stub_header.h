#pragma once
// The 256-byte header that a self-extracting executable carries between its stub and its
// archive: the magic "MPU", a flags byte, the lengths of the three texts (caption, default
// folder, command line) and the texts themselves, one after the other and zero-filled to the
// end. The converter writes it and the stub reads it, both through this one definition.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kitforge::formats {

inline constexpr std::size_t kSFXStubHeaderSize = 256;
inline constexpr std::array<std::uint8_t, 3> kSFXStubHeaderMagic = {'M', 'P', 'U'};

namespace sfx_header {
inline constexpr std::size_t kMagic = 0;
inline constexpr std::size_t kFlags = 3;
inline constexpr std::size_t kCaptionLength = 4;
inline constexpr std::size_t kDefaultDirLength = 5;
inline constexpr std::size_t kCommandLineLength = 6;
inline constexpr std::size_t kTexts = 7;

// Flag bits. They do not follow the order of the converter's option set, and the size check
// is stored inverted, because the stub has always read them this way.
inline constexpr std::uint8_t kAskCmdLine = 0x01;
inline constexpr std::uint8_t kAskFiles = 0x02;
inline constexpr std::uint8_t kHideOverWriteBox = 0x04;
inline constexpr std::uint8_t kOverWriteAlways = 0x08;
inline constexpr std::uint8_t kOverWriteNever = 0x10;
inline constexpr std::uint8_t kNoCheckSize = 0x20;
inline constexpr std::uint8_t kAutoRun = 0x40;
}  // namespace sfx_header

// The three texts together: what is left after the magic, the flags and the three lengths.
inline constexpr std::size_t kSFXMaxTextLength = kSFXStubHeaderSize - sfx_header::kTexts;

using SFXStubHeader = std::array<std::uint8_t, kSFXStubHeaderSize>;

// What a header says.
struct SFXStubHeaderFields {
    std::uint8_t flags = 0;
    std::string caption;
    std::string default_folder;
    std::string command_line;
};

// The header with these flags and texts; nothing when the texts together are longer than
// kSFXMaxTextLength.
inline std::optional<SFXStubHeader> EncodeSFXStubHeader(std::uint8_t flags, std::string_view caption,
                                                        std::string_view default_folder,
                                                        std::string_view command_line) {
    using namespace sfx_header;
    if (caption.size() + default_folder.size() + command_line.size() > kSFXMaxTextLength) return std::nullopt;
    SFXStubHeader header{};
    std::copy(kSFXStubHeaderMagic.begin(), kSFXStubHeaderMagic.end(), header.begin() + kMagic);
    header[kFlags] = flags;
    header[kCaptionLength] = static_cast<std::uint8_t>(caption.size());
    header[kDefaultDirLength] = static_cast<std::uint8_t>(default_folder.size());
    header[kCommandLineLength] = static_cast<std::uint8_t>(command_line.size());
    auto at = header.begin() + kTexts;
    at = std::copy(caption.begin(), caption.end(), at);
    at = std::copy(default_folder.begin(), default_folder.end(), at);
    std::copy(command_line.begin(), command_line.end(), at);
    return header;
}

// True when `bytes` starts with the magic.
inline bool HasSFXStubHeaderMagic(std::span<const std::uint8_t> bytes) noexcept {
    return bytes.size() >= kSFXStubHeaderMagic.size() &&
           std::equal(kSFXStubHeaderMagic.begin(), kSFXStubHeaderMagic.end(), bytes.begin());
}

// The flags and texts of a header; nothing unless `bytes` is a whole header that starts with
// the magic and whose three lengths fit it.
inline std::optional<SFXStubHeaderFields> DecodeSFXStubHeader(std::span<const std::uint8_t> bytes) {
    using namespace sfx_header;
    if (bytes.size() != kSFXStubHeaderSize || !HasSFXStubHeaderMagic(bytes)) return std::nullopt;
    const std::size_t caption_length = bytes[kCaptionLength];
    const std::size_t folder_length = bytes[kDefaultDirLength];
    const std::size_t command_length = bytes[kCommandLineLength];
    if (caption_length + folder_length + command_length > kSFXMaxTextLength) return std::nullopt;
    auto text = [&](std::size_t offset, std::size_t length) {
        return std::string(reinterpret_cast<const char*>(bytes.data()) + offset, length);
    };
    SFXStubHeaderFields fields;
    fields.flags = bytes[kFlags];
    fields.caption = text(kTexts, caption_length);
    fields.default_folder = text(kTexts + caption_length, folder_length);
    fields.command_line = text(kTexts + caption_length + folder_length, command_length);
    return fields;
}

}  // namespace kitforge::formats
