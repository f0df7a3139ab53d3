#include "zipsfx/sfx_image.h"

#include "zipsfx/elf_image.h"
#include "zipsfx/pe_image.h"
#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

SfxParts LocateSfxParts(ByteSource& source) {
    // An ELF stub on Linux, a PE stub on Windows; either is read on any system.
    auto image_end = ElfImageEnd(source);
    const bool elf = image_end.has_value();
    if (!image_end) image_end = PeImageEnd(source);
    if (!image_end) throw SfxError(source.Name() + " is damaged: its program headers cannot be read");
    if (*image_end == source.Size()) {
        throw SfxError(source.Name() +
                       " has no archive attached: it is the bare self-extracting stub, which "
                       "kitforge-cli make-sfx puts in front of a zip archive");
    }
    SfxParts parts = ReadSfxParts(source, *image_end);
    parts.elf = elf;
    return parts;
}

SfxParts ReadSfxParts(ByteSource& source, std::uint64_t image_end) {
    formats::SFXStubHeader bytes{};
    if (!source.ReadAt(image_end, bytes.data(), bytes.size()) || !formats::HasSFXStubHeaderMagic(bytes)) {
        throw SfxError(source.Name() + " is damaged: the self-extractor's header does not follow the program");
    }
    SfxParts parts;
    parts.image_end = image_end;
    try {
        parts.header = ParseStubHeader(bytes);
    } catch (const SfxError& error) {
        throw SfxError(source.Name() + ": " + error.what());
    }
    parts.archive_start = image_end + formats::kSFXStubHeaderSize;
    return parts;
}

}  // namespace kitforge::zipsfx
