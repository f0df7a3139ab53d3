#include "zip/sfx_stub_header.h"

#include <stdexcept>

namespace kitforge {

std::uint8_t SFXHeaderFlags(SFXOpts options, OvrOpts overwrite_mode) {
    using namespace formats::sfx_header;
    std::uint8_t flags = 0;
    if (options.Contains(SFXAskCmdLine)) flags |= kAskCmdLine;
    if (options.Contains(SFXAskFiles)) flags |= kAskFiles;
    if (options.Contains(SFXHideOverWriteBox)) flags |= kHideOverWriteBox;
    if (overwrite_mode == OvrAlways) flags |= kOverWriteAlways;
    if (overwrite_mode == OvrNever) flags |= kOverWriteNever;
    if (!options.Contains(SFXCheckSize)) flags |= kNoCheckSize;
    if (options.Contains(SFXAutoRun)) flags |= kAutoRun;
    return flags;
}

SFXStubHeader BuildSFXStubHeader(SFXOpts options, OvrOpts overwrite_mode, std::string_view caption,
                                 std::string_view default_dir, std::string_view command_line) {
    const auto header =
        formats::EncodeSFXStubHeader(SFXHeaderFlags(options, overwrite_mode), caption, default_dir, command_line);
    if (!header) throw std::length_error("the self-extractor's texts do not fit its header");
    return *header;
}

}  // namespace kitforge
