#pragma once
// The archive that an Add extends: what precedes its first entry (a self-extracting stub, or
// nothing), its entries with the byte ranges they occupy, and its comment. Offsets are file
// positions: an archive whose stored offsets do not count the stub in front of it is read
// correctly too, and the archive written from it counts every offset from the start of the
// whole file.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "file_io.h"

namespace zipdll {

struct ExistingEntry {
    std::string name;
    std::vector<std::uint8_t> central;  // the whole central-directory record as stored
    std::uint64_t local_offset = 0;     // file position of the local header
    std::uint64_t extent = 0;           // local header, data and data descriptor
    std::uint32_t dos_time = 0;
};

struct ExistingArchive {
    bool exists = false;
    std::uint64_t prefix_size = 0;  // bytes before the first entry, kept as they are
    std::vector<ExistingEntry> entries;
    std::vector<std::uint8_t> comment;
};

// The archive cannot be read or updated; the text names it and says why.
class ArchiveProblem : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the directory of `path`. A missing file gives `exists` false; an empty file counts
// as an empty archive. Throws ArchiveProblem or IoFailure.
ExistingArchive ReadExistingArchive(const std::string& path);

}  // namespace zipdll
