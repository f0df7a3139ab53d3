#pragma once
// The 256-byte header that a self-extracting executable carries between its stub and its
// archive, made from the zip component's SFX settings. Its layout is the format layer's, which
// the stub reads with.

#include <cstdint>
#include <string_view>

#include "formats/sfx_stub_header.h"
#include "zip/zip_options.h"

namespace kitforge {

using formats::SFXStubHeader;

// The flags byte for these options and overwrite mode.
std::uint8_t SFXHeaderFlags(SFXOpts options, OvrOpts overwrite_mode);

// The header for these settings. The caller has checked that the three texts together are at
// most formats::kSFXMaxTextLength bytes long; throws std::length_error when they are not.
SFXStubHeader BuildSFXStubHeader(SFXOpts options, OvrOpts overwrite_mode, std::string_view caption,
                                 std::string_view default_dir, std::string_view command_line);

}  // namespace kitforge
