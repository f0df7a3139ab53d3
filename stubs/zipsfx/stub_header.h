#pragma once
// The 256-byte header that the converter writes between the stub and the archive, as the stub
// reads it: its layout is the format layer's, the meaning of its flags is the stub's.

#include <cstdint>
#include <span>

#include "formats/sfx_stub_header.h"

namespace kitforge::zipsfx {

enum class OverwriteMode { Confirm, Always, Never };

// The flags and the texts: caption, default_folder and command_line.
struct StubHeader : formats::SFXStubHeaderFields {
    bool AskCmdLine() const { return flags & formats::sfx_header::kAskCmdLine; }
    bool AskFiles() const { return flags & formats::sfx_header::kAskFiles; }
    bool HideOverwriteBox() const { return flags & formats::sfx_header::kHideOverWriteBox; }
    bool CheckSize() const { return !(flags & formats::sfx_header::kNoCheckSize); }
    bool AutoRun() const { return flags & formats::sfx_header::kAutoRun; }
    // Both overwrite bits together is not a mode the converter writes; keeping existing files
    // is the choice that cannot lose anything.
    OverwriteMode Overwrite() const;
};

// Reads a header from exactly formats::kSFXStubHeaderSize bytes that start with the magic. Throws
// SfxError when the three lengths add up to more than the header holds.
StubHeader ParseStubHeader(std::span<const std::uint8_t> bytes);

}  // namespace kitforge::zipsfx
