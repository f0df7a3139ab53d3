// Fuzz target for the self-extracting stub's readers: the ELF image end, the 256-byte header
// and the zip archive behind it (zip64 records, Unicode names), down to unpacking every entry
// (deciphering encrypted ones) and checking every name. The input stands for what follows the
// stub's image: a header, then the archive; and for the whole file of a Windows stub, signed or
// not.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string_view>

#include "zipsfx/archive_completeness.h"
#include "zipsfx/byte_source.h"
#include "zipsfx/elf_image.h"
#include "zipsfx/entry_reader.h"
#include "zipsfx/extraction_plan.h"
#include "zipsfx/sfx_error.h"
#include "zipsfx/sfx_image.h"
#include "zipsfx/signed_program.h"
#include "zipsfx/zip_archive.h"

namespace {

// Bombs that unpack to gigabytes are caught by the size check, but unpacking them to the
// limit only costs time here.
constexpr std::uint64_t kMostToUnpack = 1u << 22;

void ReadEverything(kitforge::zipsfx::ByteSource& source, std::uint64_t archive_start) {
    using namespace kitforge::zipsfx;
    const ZipArchive archive = ReadZipArchive(source, archive_start);
    try {
        CheckEntries(archive);
    } catch (const SfxError&) {
    }
    for (const ArchiveEntry& entry : archive.entries) {
        if (entry.unpacked_size > kMostToUnpack) continue;
        try {
            // Encrypted entries go through the cipher too; one input in 256 passes the check byte.
            const std::optional<std::string_view> password =
                entry.IsEncrypted() ? std::optional<std::string_view>("password") : std::nullopt;
            ReadEntryData(
                source, entry, [](const std::uint8_t*, std::size_t) {}, password);
        } catch (const SfxError&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kitforge::zipsfx;
    MemorySource source(std::span<const std::uint8_t>(data, size));
    (void)ElfImageEnd(source);
    try {
        SfxParts parts = ReadSfxParts(source, 0);
        parts.elf = true;  // held to the completeness check, as a Linux self-extractor is
        CheckArchiveComplete(source, parts, ReadZipArchive(source, parts.archive_start));
    } catch (const SfxError&) {
    }
    try {
        const SfxParts parts = ReadSfxParts(source, 0);
        ReadEverything(source, parts.archive_start);
    } catch (const SfxError&) {
    }
    // The same bytes as a whole Windows self-extractor, signed or not: the security directory and
    // the image as the stub reads them from its own file.
    try {
        UnsignedPart part(source);
        if (part.Size() > source.Size()) std::abort();
        const SfxParts parts = LocateSfxParts(part);
        part.RefuseOverlap(parts.image_end);
        ReadEverything(part, parts.archive_start);
    } catch (const SfxError&) {
    }
    // The same bytes as a bare archive, so inputs without a header still reach the zip reader.
    try {
        ReadEverything(source, 0);
    } catch (const SfxError&) {
    }
    return 0;
}
