#pragma once
// The -l listing and the -t test of the archive.

#include "zipsfx/byte_source.h"
#include "zipsfx/console.h"
#include "zipsfx/entry_passwords.h"
#include "zipsfx/stub_header.h"
#include "zipsfx/zip_archive.h"

namespace kitforge::zipsfx {

// What running the file would do, as its header says: the caption, the default folder (and
// `target`, where the files would go), the command line and when it runs, and the overwrite
// mode. Shown before the entries, so a user can look before running.
void ListHeader(const StubHeader& header, const std::string& target, Console& console);

// Lists every entry: size, date, time and name, then the totals.
void ListArchive(const ZipArchive& archive, Console& console);

// Unpacks every entry without writing it and checks its size and CRC. Reports each entry
// unless `quiet`, and every failure always. Gives true when every entry passed.
bool TestArchive(ByteSource& source, const ZipArchive& archive, Console& console, bool quiet,
                 EntryPasswords& passwords);

}  // namespace kitforge::zipsfx
