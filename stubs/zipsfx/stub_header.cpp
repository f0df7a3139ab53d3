#include "zipsfx/stub_header.h"

#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

OverwriteMode StubHeader::Overwrite() const {
    if (flags & formats::sfx_header::kOverWriteNever) return OverwriteMode::Never;
    if (flags & formats::sfx_header::kOverWriteAlways) return OverwriteMode::Always;
    return OverwriteMode::Confirm;
}

StubHeader ParseStubHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != formats::kSFXStubHeaderSize || !formats::HasSFXStubHeaderMagic(bytes)) {
        throw SfxError("the self-extractor's header is missing");
    }
    auto fields = formats::DecodeSFXStubHeader(bytes);
    if (!fields) {
        throw SfxError("the self-extractor's header is damaged: its three texts are longer than the header holds");
    }
    return StubHeader{std::move(*fields)};
}

}  // namespace kitforge::zipsfx
