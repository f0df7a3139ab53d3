#pragma once
// Whether the self-extractor is whole: a download cut short loses the archive's end record,
// which reading the archive already refuses; one extended (joined to other bytes, or the end of
// a longer download kept) still has its end record, followed by bytes that no archive holds.

#include "zipsfx/byte_source.h"
#include "zipsfx/sfx_image.h"
#include "zipsfx/zip_archive.h"

namespace kitforge::zipsfx {

// Throws SfxError (damaged) when bytes follow the end record and its comment. Windows programs
// are not checked: signing one appends its signature after the archive.
void CheckArchiveComplete(ByteSource& source, const SfxParts& parts, const ZipArchive& archive);

}  // namespace kitforge::zipsfx
