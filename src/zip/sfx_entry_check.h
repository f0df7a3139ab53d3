#pragma once
// What the self-extracting stub can extract, checked before a conversion so that no
// executable is made whose archive it could never extract. The rules are the stub's own: an
// entry that is not a folder must be stored or deflated, plain or with traditional encryption
// (not AES or strong encryption), and no symbolic link. Zip64 entries are fine.

#include <string>
#include <vector>

#include "zip/zip_dir_entry.h"

namespace kitforge {

// Why the stub would refuse `entry`, or "" when it extracts it: "it is encrypted with AES
// (method 99), which the self-extractor cannot decrypt", "it is compressed with BZip2 (method
// 12), which the self-extractor cannot unpack", "it is a symbolic link, ...".
std::string SfxStubRefusal(const ZipDirEntry& entry);

// The first of `entries` that the stub would refuse, as `entry 3, "a/b.bz2": ` and the reason;
// "" when it extracts them all.
std::string FirstEntryTheSfxStubRefuses(const std::vector<ZipDirEntry>& entries);

}  // namespace kitforge
