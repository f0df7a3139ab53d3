#pragma once
// One central directory record rewritten for a new place of its entry's local header, as
// copying an archive onto volumes or behind a stub needs. The offset and the disk stay in
// their classic slots while they fit and go to the record's zip64 field once they do not; the
// field grows, or is added, only then. A record that needs no zip64 comes out as it went in
// but for those two figures.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/zip_extra_fields.h"

namespace kitforge {

// The figures of a whole central record (fixed part, name, extra field and comment), with
// the zip64 field's values where the classic slots are saturated; nothing when the record is
// cut short or its zip64 field is missing or too short for the saturated slots.
std::optional<formats::Zip64Figures> CentralRecordFigures(std::span<const std::uint8_t> record);

struct MovedRecord {
    std::vector<std::uint8_t> bytes;  // the whole record as it is to be written
    std::string failure;              // why it cannot be moved; then `bytes` is empty
};

// `record` (a whole central record) with its local header at `local_offset` on disk
// `start_disk`.
MovedRecord MoveCentralRecord(std::span<const std::uint8_t> record, std::uint64_t local_offset,
                              std::uint32_t start_disk);

}  // namespace kitforge
