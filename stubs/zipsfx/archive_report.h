#pragma once
// The -l listing and the -t test of the archive.

#include "zipsfx/byte_source.h"
#include "zipsfx/console.h"
#include "zipsfx/zip_archive.h"

namespace kitforge::zipsfx {

// Lists every entry: size, date, time and name, then the totals.
void ListArchive(const ZipArchive& archive, Console& console);

// Unpacks every entry without writing it and checks its size and CRC. Reports each entry
// unless `quiet`, and every failure always. Gives true when every entry passed.
bool TestArchive(ByteSource& source, const ZipArchive& archive, Console& console, bool quiet);

}  // namespace kitforge::zipsfx
