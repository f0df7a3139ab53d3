#pragma once
// Where the stub's own program image ends inside its file, for the Windows build of the stub:
// the counterpart of elf_image.h for a PE file.
//
// The image ends at the last byte that its headers describe: the headers themselves, the raw
// data of every section and, when the file still carries one, the COFF symbol table with its
// string table. For a stub as built (stripped, no certificate) that end is its file length.
#include <cstdint>
#include <optional>

#include "zipsfx/byte_source.h"

namespace kitforge::zipsfx {

// The end of the PE image at the start of `source`, or nothing when the bytes are not a PE
// file or its tables reach past the end of the file.
std::optional<std::uint64_t> PeImageEnd(ByteSource& source);

}  // namespace kitforge::zipsfx
