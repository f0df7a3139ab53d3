#include "zipsfx/archive_completeness.h"

#include "formats/zip_records.h"
#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

void CheckArchiveComplete(ByteSource& source, const SfxParts& parts, const ZipArchive& archive) {
    if (!parts.elf) return;
    const std::uint64_t archive_end = archive.end_record + formats::kEndRecordSize + archive.comment.size();
    if (archive_end >= source.Size()) return;
    throw SfxError(source.Name() + " is damaged: " + std::to_string(source.Size() - archive_end) +
                   " bytes follow the end of its zip archive, so the file was extended after it was made; "
                   "download it again");
}

}  // namespace kitforge::zipsfx
