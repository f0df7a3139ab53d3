#pragma once
// Before the new archive is written: is there room for it? What the old archive brings along
// (its prefix and the entries that are copied as they are) is written whatever happens, so a
// file system with less free space than that would fill up only after minutes of copying. The
// files to add may shrink to almost nothing, so they are not counted.

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive_builder.h"
#include "existing_archive.h"

namespace zipdll {

// The bytes the new archive takes at the least.
std::uint64_t BytesCertainlyWritten(const ExistingArchive& existing, const std::vector<PlanItem>& plan);

// Throws NoRoom when one of `folders` (where the new archive is written, and where it is copied
// before it replaces the old one) has less free space than `needed`. A folder whose free space
// `free_bytes` cannot tell is let through.
using FreeBytesQuery = std::function<std::optional<std::uint64_t>(const std::string&)>;
void CheckRoom(std::uint64_t needed, const std::vector<std::string>& folders, const FreeBytesQuery& free_bytes);

class NoRoom : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace zipdll
