#pragma once
// Finding the zip64 end record of an archive from its classic end record: the locator right
// before the classic record, and the zip64 record right before the locator or, failing that,
// where the locator says (which is off by the stub of a self-extractor made later).

#include <cstdint>
#include <optional>

#include "formats/zip_extra_fields.h"
#include "os/file.h"

namespace kitforge {

struct Zip64End {
    formats::Zip64EndRecord record;
    formats::Zip64Locator locator;
    // Where the zip64 record stands in the file.
    std::int64_t record_at = 0;
};

// The zip64 end record and locator before the classic end record at `end_record_at` of
// `input`, or nothing when there are none. Leaves the position of `input` where it was.
std::optional<Zip64End> FindZip64End(File& input, std::int64_t end_record_at);

}  // namespace kitforge
