#include "zip/sfx_stub_header.h"

#include <algorithm>
#include <stdexcept>

namespace kitforge {

std::uint8_t SFXHeaderFlags(SFXOpts options, OvrOpts overwrite_mode) {
    using namespace sfx_header;
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
    using namespace sfx_header;
    if (caption.size() + default_dir.size() + command_line.size() > kSFXMaxTextLength) {
        throw std::length_error("the self-extractor's texts do not fit its header");
    }
    SFXStubHeader header{};
    header[kMagic] = 'M';
    header[kMagic + 1] = 'P';
    header[kMagic + 2] = 'U';
    header[kFlags] = SFXHeaderFlags(options, overwrite_mode);
    header[kCaptionLength] = static_cast<std::uint8_t>(caption.size());
    header[kDefaultDirLength] = static_cast<std::uint8_t>(default_dir.size());
    header[kCommandLineLength] = static_cast<std::uint8_t>(command_line.size());
    auto at = header.begin() + kTexts;
    at = std::copy(caption.begin(), caption.end(), at);
    at = std::copy(default_dir.begin(), default_dir.end(), at);
    std::copy(command_line.begin(), command_line.end(), at);
    return header;
}

}  // namespace kitforge
