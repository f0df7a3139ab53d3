#pragma once
// The 256-byte header that a self-extracting executable carries between its stub and its
// archive: the magic "MPU", a flags byte, the lengths of the three texts (caption, default
// folder, command line) and the texts themselves, zero-filled. The stub reads it to know how
// to behave.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "zip/zip_options.h"

namespace kitforge {

inline constexpr std::size_t kSFXStubHeaderSize = 256;
// The three texts together: what is left after the magic, the flags and the three lengths.
inline constexpr std::size_t kSFXMaxTextLength = kSFXStubHeaderSize - 7;

namespace sfx_header {
inline constexpr std::size_t kMagic = 0;  // "MPU"
inline constexpr std::size_t kFlags = 3;
inline constexpr std::size_t kCaptionLength = 4;
inline constexpr std::size_t kDefaultDirLength = 5;
inline constexpr std::size_t kCommandLineLength = 6;
inline constexpr std::size_t kTexts = 7;

// Flag bits. They do not follow the order of SFXOptsEnum, and SFXCheckSize is stored inverted,
// because the stub reads them this way.
inline constexpr std::uint8_t kAskCmdLine = 0x01;
inline constexpr std::uint8_t kAskFiles = 0x02;
inline constexpr std::uint8_t kHideOverWriteBox = 0x04;
inline constexpr std::uint8_t kOverWriteAlways = 0x08;
inline constexpr std::uint8_t kOverWriteNever = 0x10;
inline constexpr std::uint8_t kNoCheckSize = 0x20;
inline constexpr std::uint8_t kAutoRun = 0x40;
}  // namespace sfx_header

using SFXStubHeader = std::array<std::uint8_t, kSFXStubHeaderSize>;

// The flags byte for these options and overwrite mode.
std::uint8_t SFXHeaderFlags(SFXOpts options, OvrOpts overwrite_mode);

// The header for these settings. The caller has checked that the three texts together are at
// most kSFXMaxTextLength bytes long.
SFXStubHeader BuildSFXStubHeader(SFXOpts options, OvrOpts overwrite_mode, std::string_view caption,
                                 std::string_view default_dir, std::string_view command_line);

}  // namespace kitforge
