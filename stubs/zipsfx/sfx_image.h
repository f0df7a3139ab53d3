#pragma once
// The three parts of a self-extracting file: the stub's own image, the 256-byte header right
// after it, and the zip archive after the header.

#include <cstdint>

#include "zipsfx/byte_source.h"
#include "zipsfx/stub_header.h"
#include "zipsfx/zip_archive.h"

namespace kitforge::zipsfx {

struct SfxParts {
    std::uint64_t image_end = 0;  // where the header starts
    StubHeader header;
    std::uint64_t archive_start = 0;  // just after the header
    bool elf = false;                 // a Linux program (else a Windows one)
};

// Finds the header after the ELF or PE image at the start of `source`. Throws SfxError telling a
// bare stub (nothing appended) from a file whose appended part is not a header.
SfxParts LocateSfxParts(ByteSource& source);

// Reads the header at `image_end`, for callers that know where the image ends.
SfxParts ReadSfxParts(ByteSource& source, std::uint64_t image_end);

}  // namespace kitforge::zipsfx
