#pragma once
// Where the installer's own program ends inside its file, so that a payload whose records
// claim bytes of the program itself is refused: such a record would install a piece of the
// installer under a file's name.

#include <cstdint>
#include <optional>

#include "payload/payload_reader.h"

namespace kitforge::setup {

// The end of the ELF image at the start of `source` (32- or 64-bit, little-endian): the end of
// the last of its headers, header tables, segments and sections, which for a program as linked
// (stripped or not) is its file length. Nothing when the bytes are not a little-endian ELF file. Throws
// PayloadError when they are ELF but a table reaches past the end of the file.
std::optional<std::uint64_t> ElfImageEnd(payload::ByteSource& source);

// Throws PayloadError unless the payload read from `source` (with its integrity block, when it
// has one) starts exactly where the ELF image in front of it ends. An installer that does not
// start with an ELF image (a Windows program) is not checked.
void CheckPayloadFollowsImage(payload::ByteSource& source, const payload::Payload& payload);

}  // namespace kitforge::setup
