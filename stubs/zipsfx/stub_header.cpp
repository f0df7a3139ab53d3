#include "zipsfx/stub_header.h"

#include <algorithm>

#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

OverwriteMode StubHeader::Overwrite() const {
    if (flags & kFlagOverwriteNever) return OverwriteMode::Never;
    if (flags & kFlagOverwriteAlways) return OverwriteMode::Always;
    return OverwriteMode::Confirm;
}

bool HasStubHeaderMagic(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= sizeof kStubHeaderMagic &&
           std::equal(std::begin(kStubHeaderMagic), std::end(kStubHeaderMagic), bytes.begin());
}

StubHeader ParseStubHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kStubHeaderSize || !HasStubHeaderMagic(bytes)) {
        throw SfxError("the self-extractor's header is missing");
    }
    const std::size_t caption_length = bytes[kHeaderCaptionLength];
    const std::size_t folder_length = bytes[kHeaderFolderLength];
    const std::size_t command_length = bytes[kHeaderCommandLength];
    if (caption_length + folder_length + command_length > kHeaderMaxTextLength) {
        throw SfxError("the self-extractor's header is damaged: its three texts are longer than the header holds");
    }
    auto text = [&](std::size_t offset, std::size_t length) {
        return std::string(reinterpret_cast<const char*>(bytes.data()) + offset, length);
    };
    StubHeader header;
    header.flags = bytes[kHeaderFlags];
    header.caption = text(kHeaderTexts, caption_length);
    header.default_folder = text(kHeaderTexts + caption_length, folder_length);
    header.command_line = text(kHeaderTexts + caption_length + folder_length, command_length);
    return header;
}

}  // namespace kitforge::zipsfx
