#pragma once
// The 256-byte header that the converter writes between the stub and the archive: the magic
// "MPU", a flags byte, three text lengths and the texts (caption, default folder, command
// line), zero-filled to 256 bytes.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kitforge::zipsfx {

inline constexpr std::size_t kStubHeaderSize = 256;
inline constexpr std::uint8_t kStubHeaderMagic[3] = {0x4D, 0x50, 0x55};
// Offsets inside the header.
inline constexpr std::size_t kHeaderFlags = 3;
inline constexpr std::size_t kHeaderCaptionLength = 4;
inline constexpr std::size_t kHeaderFolderLength = 5;
inline constexpr std::size_t kHeaderCommandLength = 6;
inline constexpr std::size_t kHeaderTexts = 7;
inline constexpr std::size_t kHeaderMaxTextLength = kStubHeaderSize - kHeaderTexts;  // 249

// The flag bits.
inline constexpr std::uint8_t kFlagAskCmdLine = 0x01;
inline constexpr std::uint8_t kFlagAskFiles = 0x02;
inline constexpr std::uint8_t kFlagHideOverwriteBox = 0x04;
inline constexpr std::uint8_t kFlagOverwriteAlways = 0x08;
inline constexpr std::uint8_t kFlagOverwriteNever = 0x10;
inline constexpr std::uint8_t kFlagNoSizeCheck = 0x20;
inline constexpr std::uint8_t kFlagAutoRun = 0x40;

enum class OverwriteMode { Confirm, Always, Never };

struct StubHeader {
    std::uint8_t flags = 0;
    std::string caption;
    std::string default_folder;
    std::string command_line;

    bool AskCmdLine() const { return flags & kFlagAskCmdLine; }
    bool AskFiles() const { return flags & kFlagAskFiles; }
    bool HideOverwriteBox() const { return flags & kFlagHideOverwriteBox; }
    bool CheckSize() const { return !(flags & kFlagNoSizeCheck); }
    bool AutoRun() const { return flags & kFlagAutoRun; }
    // Both overwrite bits together is not a mode the converter writes; keeping existing files
    // is the choice that cannot lose anything.
    OverwriteMode Overwrite() const;
};

// True when `bytes` starts with the magic.
bool HasStubHeaderMagic(std::span<const std::uint8_t> bytes);

// Reads a header from exactly kStubHeaderSize bytes that start with the magic. Throws
// SfxError when the three lengths add up to more than the header holds.
StubHeader ParseStubHeader(std::span<const std::uint8_t> bytes);

}  // namespace kitforge::zipsfx
