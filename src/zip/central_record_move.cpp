// Rewriting a central record for a new local-header position, with a zip64 field only where
// a figure needs one.

#include "zip/central_record_move.h"

#include <algorithm>

namespace kitforge {

namespace {

using namespace formats;

struct RecordParts {
    std::size_t name_length = 0;
    std::size_t extra_length = 0;
    std::size_t comment_length = 0;
};

std::optional<RecordParts> PartsOf(std::span<const std::uint8_t> record) {
    if (record.size() < kCentralHeaderSize) return std::nullopt;
    const RecordParts parts{GetU16LE(record.data() + central::kNameLength),
                            GetU16LE(record.data() + central::kExtraLength),
                            GetU16LE(record.data() + central::kCommentLength)};
    if (record.size() != kCentralHeaderSize + parts.name_length + parts.extra_length + parts.comment_length) {
        return std::nullopt;
    }
    return parts;
}

Zip64Slots SaturatedSlotsOf(const std::uint8_t* header) {
    return SaturatedSlots(GetU32LE(header + central::kUnpackedSize), GetU32LE(header + central::kPackedSize),
                          GetU32LE(header + central::kLocalHeaderOffset), GetU16LE(header + central::kStartDisk));
}

// Every extra field but the zip64 one, in their order; bytes after the last whole field stay.
void AppendOtherFields(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> extra) {
    std::size_t at = 0;
    while (extra.size() - at >= extra::kHeaderSize) {
        const std::size_t length = GetU16LE(extra.data() + at + 2);
        if (length > extra.size() - at - extra::kHeaderSize) break;
        const std::size_t end = at + extra::kHeaderSize + length;
        if (GetU16LE(extra.data() + at) != zip64::kExtraId)
            out.insert(out.end(), extra.begin() + at, extra.begin() + end);
        at = end;
    }
    out.insert(out.end(), extra.begin() + at, extra.end());
}

}  // namespace

std::optional<Zip64Figures> CentralRecordFigures(std::span<const std::uint8_t> record) {
    const auto parts = PartsOf(record);
    if (!parts) return std::nullopt;
    const std::uint8_t* header = record.data();
    Zip64Figures figures{GetU32LE(header + central::kUnpackedSize), GetU32LE(header + central::kPackedSize),
                         GetU32LE(header + central::kLocalHeaderOffset), GetU16LE(header + central::kStartDisk)};
    const auto extra = record.subspan(kCentralHeaderSize + parts->name_length, parts->extra_length);
    const Zip64Reading reading = ApplyZip64Extra(extra, SaturatedSlotsOf(header), figures);
    if (reading == Zip64Reading::kMissing || reading == Zip64Reading::kShort) return std::nullopt;
    return figures;
}

MovedRecord MoveCentralRecord(std::span<const std::uint8_t> record, std::uint64_t local_offset,
                              std::uint32_t start_disk) {
    MovedRecord moved;
    const auto parts = PartsOf(record);
    const auto figures = CentralRecordFigures(record);
    if (!parts || !figures) {
        moved.failure = "its zip64 field is missing or too short for the figures it should hold";
        return moved;
    }
    const Zip64Slots saturated = SaturatedSlotsOf(record.data());
    Zip64Figures now = *figures;
    now.local_offset = local_offset;
    now.start_disk = start_disk;
    const Zip64Slots needed = SlotsNeededFor(now);
    const Zip64Slots slots{saturated.unpacked || needed.unpacked, saturated.packed || needed.packed,
                           saturated.local_offset || needed.local_offset, saturated.start_disk || needed.start_disk};

    moved.bytes.assign(record.begin(), record.end());
    std::uint8_t* header = moved.bytes.data();
    PutU32LE(header + central::kLocalHeaderOffset, Classic32(local_offset, slots.local_offset));
    PutU16LE(header + central::kStartDisk, Classic16(start_disk, slots.start_disk));
    if (!slots.Any()) return moved;

    const std::size_t extra_at = kCentralHeaderSize + parts->name_length;
    const auto extra = record.subspan(extra_at, parts->extra_length);
    std::vector<std::uint8_t> field;
    AppendZip64Extra(field, now, slots);
    const bool same_slots = slots.unpacked == saturated.unpacked && slots.packed == saturated.packed &&
                            slots.local_offset == saturated.local_offset && slots.start_disk == saturated.start_disk;
    if (same_slots) {
        // The field already holds these slots (reading it checked its length): their values
        // change in place, and so does nothing else.
        const auto old_field = FindExtraField(extra, zip64::kExtraId);
        const std::size_t at = extra_at + static_cast<std::size_t>(old_field->data() - extra.data());
        std::copy(field.begin() + extra::kHeaderSize, field.end(), moved.bytes.begin() + at);
        return moved;
    }

    // The field needs a slot more: the record is rebuilt with the new field first.
    std::vector<std::uint8_t> new_extra = field;
    AppendOtherFields(new_extra, extra);
    if (new_extra.size() > 0xFFFF) {
        moved.bytes.clear();
        moved.failure = "its extra field has no room left for the zip64 figures it needs";
        return moved;
    }
    std::vector<std::uint8_t> out(moved.bytes.begin(), moved.bytes.begin() + static_cast<std::ptrdiff_t>(extra_at));
    PutU16LE(out.data() + central::kExtraLength, static_cast<std::uint16_t>(new_extra.size()));
    if (GetU16LE(out.data() + central::kNeededVersion) < zip64::kNeededVersion) {
        PutU16LE(out.data() + central::kNeededVersion, zip64::kNeededVersion);
    }
    out.insert(out.end(), new_extra.begin(), new_extra.end());
    out.insert(out.end(), record.begin() + static_cast<std::ptrdiff_t>(extra_at + parts->extra_length), record.end());
    moved.bytes = std::move(out);
    return moved;
}

}  // namespace kitforge
