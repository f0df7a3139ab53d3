#pragma once
// Where the stub's own program image ends inside its file.
//
// The stub learns nothing about its own length from outside: the converter copies it byte for
// byte and appends the header. So the stub reads its own ELF headers and takes the end of the
// last thing they describe: the ELF header, the program header table, every segment's file
// bytes, every section's file bytes and the section header table. A linker places the section
// header table last, so for a stub as built that end is exactly the stub's file length, and it
// stays right after `strip` or any other tool that rewrites the file consistently. Searching the
// file for the header's magic instead would be fragile: the magic is in the stub's own data.

#include <cstdint>
#include <optional>

#include "zipsfx/byte_source.h"

namespace kitforge::zipsfx {

// The end of the ELF image at the start of `source`, or nothing when the bytes are not an ELF
// file (32- or 64-bit, little-endian) or its tables reach past the end of the file.
std::optional<std::uint64_t> ElfImageEnd(ByteSource& source);

}  // namespace kitforge::zipsfx
