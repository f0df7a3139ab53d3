#pragma once
// Zip64 archives as the peers write them (Python's zipfile, Info-ZIP from a pipe), and the
// checks of a copy of one against its source, for the tests of the writers that copy archives:
// onto volumes and behind a stub.

#include <string>

#include "zip_test_support.h"

namespace kitforge::testing {

// Zip64 archives as the peers write them, for the tests of copying archives onto volumes and
// behind a stub.
enum class Zip64Source {
    kPythonForced,        // zip64 fields in every local header, sizes saturated there
    kPythonStreamed,      // the same written to a pipe: 24-byte data descriptors
    kPythonLargeOffsets,  // zip64 sizes and offsets in the central records, a zip64 end record
    kInfoZipStreamed,     // `zip - -` from a pipe: a zip64 local header and descriptor
    kManyEntries,         // 70,000 entries: a zip64 end record
};
const char* Zip64SourceName(Zip64Source kind);
// Writes such an archive to `path`; false when the tool that writes it is missing.
bool WriteZip64Source(const std::string& path, Zip64Source kind);

// Every entry of `copy` holds what the entry of that name in `original` holds, both in the
// same order, and Python's own check of `copy` passes; gives the number of entries.
int ComparedEntryCount(const std::string& original, const std::string& copy);

// The SHA-256 of the contents of every entry of `archive`, one after another, as Python reads
// them: what `bsdtar -xOf -` prints for it.
std::string ContentDigest(const std::string& archive);

}  // namespace kitforge::testing
