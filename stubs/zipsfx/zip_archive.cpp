#include "zipsfx/zip_archive.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>

#include "formats/end_record_search.h"
#include "formats/zip_extra_fields.h"
#include "formats/zip_method_names.h"
#include "formats/zip_records.h"
#include "zipsfx/entry_names.h"
#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

namespace {

using namespace formats;

// Not in the format layer's list: only the readers here need to tell these apart.
constexpr std::uint16_t kMethodAesEncrypted = 99;
constexpr std::uint16_t kFlagStrongEncryption = 1u << 6;

// The end record the archive is read by, where it stands in the file, and the directory's
// figures: from the zip64 end record when the archive has one, else from the classic record.
struct LocatedEndRecord {
    std::uint64_t position = 0;
    EndRecord record;
    std::uint64_t entries = 0;
    std::uint64_t central_size = 0;
    std::uint64_t central_start = 0;  // as recorded, before any move
    // Where the central directory ends in the file: at the zip64 end record, else at the
    // classic one.
    std::uint64_t directory_end = 0;
};

constexpr const char* kMultiVolume = "it is one part of a multi-volume set, which this program cannot extract";

// The zip64 locator that stands just before the end record at `position`, if one does.
std::optional<Zip64Locator> ReadZip64Locator(ByteSource& source, std::uint64_t archive_start, std::uint64_t position) {
    if (position < archive_start || position - archive_start < zip64::kLocatorSize) return std::nullopt;
    Zip64Locator locator;
    if (!source.ReadAt(position - zip64::kLocatorSize, locator.bytes.data(), locator.bytes.size()) ||
        locator.Signature() != zip64::kLocatorSignature) {
        return std::nullopt;
    }
    return locator;
}

// The zip64 end record the locator before `locator_at` points to. It normally stands right
// before the locator; else the locator's offset says where, either already moved past the
// stub and header (as make-sfx and zip -A leave it) or still counted from the archive's start.
std::optional<std::pair<std::uint64_t, Zip64EndRecord>> FindZip64EndRecord(ByteSource& source,
                                                                           std::uint64_t archive_start,
                                                                           std::uint64_t locator_at,
                                                                           const Zip64Locator& locator) {
    const std::uint64_t recorded = locator.EndRecordOffset();
    std::vector<std::uint64_t> candidates;
    if (locator_at - archive_start >= zip64::kEndRecordSize) candidates.push_back(locator_at - zip64::kEndRecordSize);
    candidates.push_back(recorded);
    if (recorded <= locator_at) candidates.push_back(recorded + archive_start);
    for (const std::uint64_t at : candidates) {
        if (at < archive_start || at > locator_at || locator_at - at < zip64::kEndRecordSize) continue;
        Zip64EndRecord record;
        if (!source.ReadAt(at, record.bytes.data(), record.bytes.size()) ||
            record.Signature() != zip64::kEndRecordSignature) {
            continue;
        }
        // The record, with any extensible data it announces, must end by the locator.
        constexpr std::uint64_t kCounted = zip64::kEndRecordSize - 12;
        if (record.RecordSize() < kCounted ||
            record.RecordSize() - kCounted > locator_at - at - zip64::kEndRecordSize) {
            continue;
        }
        return std::make_pair(at, record);
    }
    return std::nullopt;
}

// Takes the directory's figures from the zip64 end record that a locator before the end
// record points to; gives "" when that works, else the reason it does not.
std::string ReadZip64Figures(ByteSource& source, std::uint64_t archive_start, LocatedEndRecord& end,
                             const Zip64Locator& locator) {
    if (locator.EndRecordDisk() != 0 || locator.TotalDisks() > 1) return kMultiVolume;
    const std::uint64_t locator_at = end.position - zip64::kLocatorSize;
    const auto found = FindZip64EndRecord(source, archive_start, locator_at, locator);
    if (!found) return "its Zip64 end record is missing or damaged";
    const Zip64EndRecord& record = found->second;
    if (record.ThisDisk() != 0 || record.CentralDisk() != 0) return kMultiVolume;
    if (record.DiskEntries() != record.TotalEntries()) {
        return "its Zip64 end record disagrees with itself about the number of entries";
    }
    end.entries = record.TotalEntries();
    end.central_size = record.CentralSize();
    end.central_start = record.CentralStart();
    end.directory_end = found->first;
    return "";
}

// Checks the end-record candidate `end` and fills in the directory's figures; gives "" when
// they describe a directory that stands just before the end records, else the reason not.
std::string CheckEndRecord(ByteSource& source, std::uint64_t archive_start, LocatedEndRecord& end) {
    const EndRecord& record = end.record;
    if (end.position + kEndRecordSize + record.CommentSize() > source.Size()) {
        return "the archive comment runs past the end of the file";
    }
    // A count of 0xFFFF is also what a plain archive of exactly 65,535 entries holds: only the
    // zip64 locator in front of the end record says that the real values are elsewhere.
    if (const auto locator = ReadZip64Locator(source, archive_start, end.position)) {
        // Classic disk numbers are 0, or saturated where they defer to the zip64 record.
        const auto classic_disk = [](std::uint16_t disk) { return disk == 0 || disk == zip64::kSaturated16; };
        if (!classic_disk(record.ThisDisk()) || !classic_disk(record.CentralDisk())) return kMultiVolume;
        const std::string reason = ReadZip64Figures(source, archive_start, end, *locator);
        if (!reason.empty()) return reason;
    } else {
        if (record.ThisDisk() != 0 || record.CentralDisk() != 0) return kMultiVolume;
        if (record.CentralSize() == zip64::kSaturated32 || record.CentralStart() == zip64::kSaturated32) {
            return "its end record defers to a Zip64 end record, but there is none";
        }
        if (record.DiskEntries() != record.TotalEntries()) {
            return "its end record disagrees with itself about the number of entries";
        }
        end.entries = record.TotalEntries();
        end.central_size = record.CentralSize();
        end.central_start = record.CentralStart();
        end.directory_end = end.position;
    }
    if (end.central_size > end.directory_end - archive_start) {
        return "its central directory is larger than the archive";
    }
    if (end.entries > end.central_size / kCentralHeaderSize) {
        return "its central directory is too small for the number of entries it claims";
    }
    if (end.entries == 0) return end.central_size == 0 ? "" : "it claims no entries but has a directory";
    std::array<std::uint8_t, 4> signature{};
    if (!source.ReadAt(end.directory_end - end.central_size, signature.data(), signature.size()) ||
        GetU32LE<central::kSignature>(signature) != kCentralHeaderSignature) {
        return "its central directory is not where the end record puts it";
    }
    return "";
}

LocatedEndRecord FindEndRecord(ByteSource& source, std::uint64_t archive_start) {
    const std::uint64_t size = source.Size();
    if (size < archive_start || size - archive_start < kEndRecordSize) {
        throw SfxError(source.Name() + " holds no zip archive after its header");
    }
    const std::uint64_t window_start = std::max(archive_start, size - EndSearchLength(size));
    const std::vector<std::uint8_t> tail =
        ReadRange(source, window_start, static_cast<std::size_t>(size - window_start), "the end of the archive");

    // The record nearest the end of the file wins, as long as it makes sense; a comment may
    // hold bytes that look like another end record.
    std::string first_reason;
    LocatedEndRecord end;
    const auto found = SearchEndRecord(tail, [&](std::size_t at) {
        end = {window_start + at, EndRecordFrom(tail, at)};
        const std::string reason = CheckEndRecord(source, archive_start, end);
        if (first_reason.empty()) first_reason = reason;
        return reason.empty();
    });
    if (found) return end;
    if (first_reason.empty()) {
        throw SfxError(source.Name() + " is damaged: no end of a zip archive was found after its header");
    }
    throw SfxError(source.Name() + " cannot be extracted: " + first_reason);
}

std::string EntryFault(ByteSource& source, std::size_t index, const std::string& what) {
    return source.Name() + " is damaged: entry " + std::to_string(index + 1) + " " + what;
}

// `stored` moved by `shift`, or nothing when that leaves the range of file positions.
std::optional<std::uint64_t> Moved(std::uint64_t stored, std::int64_t shift) {
    if (shift >= 0) {
        const auto by = static_cast<std::uint64_t>(shift);
        if (stored > UINT64_MAX - by) return std::nullopt;
        return stored + by;
    }
    const std::uint64_t by = 0 - static_cast<std::uint64_t>(shift);
    if (stored < by) return std::nullopt;
    return stored - by;
}

// A local header whose sizes are saturated keeps them in its own zip64 field. The data is
// read by the directory's figures; these must agree with them, or one of the two is forged.
void CheckLocalZip64Sizes(ByteSource& source, std::uint64_t header_at, const std::uint8_t* header, std::size_t index,
                          const ArchiveEntry& entry) {
    const std::uint32_t packed = GetU32LE(header + local::kPackedSize);
    const std::uint32_t unpacked = GetU32LE(header + local::kUnpackedSize);
    const Zip64Slots saturated = SaturatedSlots(unpacked, packed, 0, 0);
    // With a data descriptor the local sizes say nothing; the directory has them.
    if (!saturated.Any() || (GetU16LE(header + local::kFlags) & kFlagDataDescriptor) != 0) return;
    const std::size_t name_length = GetU16LE(header + local::kNameLength);
    const std::vector<std::uint8_t> extra =
        ReadRange(source, header_at + kLocalHeaderSize + name_length, GetU16LE(header + local::kExtraLength),
                  "the extra field of entry " + std::to_string(index + 1));
    Zip64Figures figures{unpacked, packed, 0, 0};
    const Zip64Reading reading = ApplyZip64Extra(extra, saturated, figures, true);
    if (reading == Zip64Reading::kMissing || reading == Zip64Reading::kShort) {
        throw SfxError(EntryFault(source, index, "has a local header whose Zip64 sizes are missing"));
    }
    if (figures.packed != entry.packed_size || figures.unpacked != entry.unpacked_size) {
        throw SfxError(EntryFault(source, index, "has a local header whose sizes differ from the directory's"));
    }
}

// Reads the local header of entry `index` from its moved offset and sets where its data starts.
// Gives where the local header stands.
std::uint64_t LocateEntryData(ByteSource& source, std::uint64_t archive_start, std::uint64_t central_position,
                              std::int64_t shift, std::uint64_t stored_offset, std::size_t index, ArchiveEntry& entry) {
    const std::optional<std::uint64_t> moved = Moved(stored_offset, shift);
    if (!moved || *moved < archive_start || *moved > central_position || central_position - *moved < kLocalHeaderSize) {
        throw SfxError(EntryFault(source, index, "points outside the archive"));
    }
    const std::uint64_t header_at = *moved;
    std::array<std::uint8_t, kLocalHeaderSize> header{};
    if (!source.ReadAt(header_at, header.data(), header.size()) ||
        GetU32LE<local::kSignature>(header) != kLocalHeaderSignature) {
        throw SfxError(EntryFault(source, index, "has no local header where the directory puts it"));
    }
    entry.data_offset =
        header_at + kLocalHeaderSize + GetU16LE<local::kNameLength>(header) + GetU16LE<local::kExtraLength>(header);
    if (entry.data_offset > central_position || entry.packed_size > central_position - entry.data_offset) {
        throw SfxError(EntryFault(source, index, "has data that runs into the central directory"));
    }
    CheckLocalZip64Sizes(source, header_at, header.data(), index, entry);
    return header_at;
}

// The bytes of one entry in the file: its local header, name, extra field and packed data.
struct EntrySpan {
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::size_t index = 0;
};

// Refuses entries whose bytes overlap, such as many directory records that share one local
// header: that is how a small file is made to unpack to far more than it holds, and no
// archiver writes it. Sorted by start, every span must begin at or after the furthest end
// seen so far.
void CheckNoOverlap(ByteSource& source, const ZipArchive& archive, std::vector<EntrySpan> spans) {
    std::sort(spans.begin(), spans.end(), [](const EntrySpan& a, const EntrySpan& b) {
        return a.start != b.start ? a.start < b.start : a.index < b.index;
    });
    const EntrySpan* furthest = nullptr;
    for (const EntrySpan& span : spans) {
        if (furthest && span.start < furthest->end) {
            const std::size_t first = std::min(furthest->index, span.index);
            const std::size_t second = std::max(furthest->index, span.index);
            throw SfxError(source.Name() + " is damaged: entries " + std::to_string(first + 1) + " (\"" +
                           Printable(archive.entries[first].stored_name) + "\") and " + std::to_string(second + 1) +
                           " (\"" + Printable(archive.entries[second].stored_name) +
                           "\") overlap in the file; nothing was extracted");
        }
        if (!furthest || span.end > furthest->end) furthest = &span;
    }
}

}  // namespace

bool ArchiveEntry::IsDirectoryName() const {
    return !stored_name.empty() && (stored_name.back() == '/' || stored_name.back() == '\\');
}

std::optional<std::uint32_t> ArchiveEntry::UnixMode() const {
    const std::uint32_t mode = external_attributes >> kUnixModeShift;
    if (host_system != kHostUnix || mode == 0) return std::nullopt;
    return mode;
}

bool ArchiveEntry::IsSymbolicLink() const {
    const auto mode = UnixMode();
    return mode && (*mode & kUnixTypeMask) == kUnixSymbolicLink;
}

std::string ArchiveEntry::UnsupportedReason() const {
    if (method == kMethodAesEncrypted) {
        return "it is encrypted with " + ZipMethodName(method) + ", which this program cannot decrypt";
    }
    if (IsEncrypted() && (flags & kFlagStrongEncryption) != 0) {
        return "it is encrypted with PKWARE strong encryption, which this program cannot decrypt";
    }
    if (method != kMethodStored && method != kMethodDeflated) {
        return "it is compressed with " + ZipMethodName(method) + ", which this program cannot unpack";
    }
    if (IsSymbolicLink()) return "it is a symbolic link";
    return "";
}

ZipArchive ReadZipArchive(ByteSource& source, std::uint64_t archive_start) {
    const LocatedEndRecord end = FindEndRecord(source, archive_start);
    const EndRecord& end_record = end.record;
    ZipArchive archive;
    archive.central_directory = end.directory_end - end.central_size;
    archive.end_record = end.position;
    // Both are positions no larger than the file, so the difference fits.
    archive.shift = static_cast<std::int64_t>(archive.central_directory - end.central_start);
    const auto comment =
        ReadRange(source, end.position + kEndRecordSize, end_record.CommentSize(), "the archive comment");
    archive.comment.assign(comment.begin(), comment.end());

    const std::vector<std::uint8_t> directory = ReadRange(
        source, archive.central_directory, static_cast<std::size_t>(end.central_size), "the central directory");
    // No more than the directory's size allows (checked with the end record).
    const auto total_entries = static_cast<std::size_t>(end.entries);
    archive.entries.reserve(total_entries);
    std::vector<EntrySpan> spans;
    spans.reserve(total_entries);
    std::size_t position = 0;
    for (std::size_t index = 0; index < total_entries; ++index) {
        if (directory.size() - position < kCentralHeaderSize) {
            throw SfxError(EntryFault(source, index, "runs past the end of the central directory"));
        }
        const std::uint8_t* record = directory.data() + position;
        if (GetU32LE(record + central::kSignature) != kCentralHeaderSignature) {
            throw SfxError(EntryFault(source, index, "has a damaged directory record"));
        }
        const std::size_t name_length = GetU16LE(record + central::kNameLength);
        const std::size_t extra_length = GetU16LE(record + central::kExtraLength);
        const std::size_t variable = name_length + extra_length + GetU16LE(record + central::kCommentLength);
        if (directory.size() - position - kCentralHeaderSize < variable) {
            throw SfxError(EntryFault(source, index, "runs past the end of the central directory"));
        }
        const std::uint8_t* name = record + kCentralHeaderSize;
        const std::span<const std::uint8_t> extra(name + name_length, extra_length);
        ArchiveEntry entry;
        entry.stored_name.assign(reinterpret_cast<const char*>(name), name_length);
        // A Unicode Path field written for this very name gives the name to use; one left
        // behind by a tool that renamed the entry no longer matches and is ignored.
        const auto name_crc = static_cast<std::uint32_t>(crc32_z(crc32_z(0, nullptr, 0), name, name_length));
        if (const auto unicode = UnicodeExtraText(extra, extra::kUnicodePathId, name_crc)) {
            entry.stored_name.assign(unicode->begin(), unicode->end());
        }
        entry.host_system = record[central::kHostSystem];
        entry.flags = GetU16LE(record + central::kFlags);
        entry.method = GetU16LE(record + central::kMethod);
        entry.dos_date_time = GetU32LE(record + central::kDosDateTime);
        entry.crc32 = GetU32LE(record + central::kCrc32);
        const std::uint32_t packed = GetU32LE(record + central::kPackedSize);
        const std::uint32_t unpacked = GetU32LE(record + central::kUnpackedSize);
        const std::uint32_t local_offset = GetU32LE(record + central::kLocalHeaderOffset);
        // Sizes and the offset too large for their slots are in the zip64 field. The disk
        // number is not taken: a set of volumes was refused with the end record.
        Zip64Figures figures{unpacked, packed, local_offset, 0};
        switch (ApplyZip64Extra(extra, SaturatedSlots(unpacked, packed, local_offset, 0), figures)) {
            case Zip64Reading::kMissing:
                throw SfxError(
                    EntryFault(source, index, "has sizes or an offset that defer to a Zip64 field it lacks"));
            case Zip64Reading::kShort:
                throw SfxError(EntryFault(source, index, "has a Zip64 field too short for what it should hold"));
            case Zip64Reading::kNotNeeded:
            case Zip64Reading::kApplied: break;
        }
        entry.packed_size = figures.packed;
        entry.unpacked_size = figures.unpacked;
        entry.external_attributes = GetU32LE(record + central::kExternalAttributes);
        const std::uint64_t local = LocateEntryData(source, archive_start, archive.central_directory, archive.shift,
                                                    figures.local_offset, index, entry);
        spans.push_back({local, entry.data_offset + entry.packed_size, index});
        archive.entries.push_back(std::move(entry));
        position += kCentralHeaderSize + variable;
    }
    CheckNoOverlap(source, archive, std::move(spans));
    return archive;
}

}  // namespace kitforge::zipsfx
