#include "zipsfx/zip_archive.h"

#include <algorithm>

#include "formats/end_record_search.h"
#include "formats/zip_method_names.h"
#include "formats/zip_records.h"
#include "zipsfx/entry_names.h"
#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

namespace {

using namespace formats;

// The end record the archive is read by, and where it stands in the file.
struct LocatedEndRecord {
    std::uint64_t position = 0;
    EndRecord record;
};

// Whether a Zip64 end-of-central-directory locator stands just before the end record at `position`.
bool HasZip64Locator(ByteSource& source, std::uint64_t archive_start, std::uint64_t position) {
    if (position < archive_start || position - archive_start < zip64::kLocatorSize) return false;
    std::array<std::uint8_t, 4> signature{};
    return source.ReadAt(position - zip64::kLocatorSize, signature.data(), signature.size()) &&
           GetU32LE<zip64::locator::kSignature>(signature) == zip64::kLocatorSignature;
}

// Checks the end-record candidate `end`; gives "" when it describes a directory that stands
// just before it, else the reason it does not.
std::string CheckEndRecord(ByteSource& source, std::uint64_t archive_start, const LocatedEndRecord& end) {
    const EndRecord& record = end.record;
    if (end.position + kEndRecordSize + record.CommentSize() > source.Size()) {
        return "the archive comment runs past the end of the file";
    }
    if (record.ThisDisk() != 0 || record.CentralDisk() != 0) {
        return "it is one part of a multi-volume set, which this program cannot extract";
    }
    // A count of 0xFFFF is also what a plain archive of exactly 65,535 entries holds: only the
    // Zip64 locator in front of the end record says that the real values are elsewhere.
    if (HasZip64Locator(source, archive_start, end.position) || record.CentralSize() == zip64::kSaturated32 ||
        record.CentralStart() == zip64::kSaturated32) {
        return "it uses Zip64 extensions, which this program cannot read";
    }
    if (record.DiskEntries() != record.TotalEntries()) {
        return "its end record disagrees with itself about the number of entries";
    }
    if (record.CentralSize() > end.position - archive_start) {
        return "its central directory is larger than the archive";
    }
    if (static_cast<std::uint64_t>(record.TotalEntries()) * kCentralHeaderSize > record.CentralSize()) {
        return "its central directory is too small for the number of entries it claims";
    }
    if (record.TotalEntries() == 0) return record.CentralSize() == 0 ? "" : "it claims no entries but has a directory";
    std::array<std::uint8_t, 4> signature{};
    if (!source.ReadAt(end.position - record.CentralSize(), signature.data(), signature.size()) ||
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

// Reads the local header of entry `index` from its moved offset and sets where its data starts.
// Gives where the local header stands.
std::uint64_t LocateEntryData(ByteSource& source, std::uint64_t archive_start, std::uint64_t central_position,
                              std::int64_t shift, std::uint32_t stored_offset, std::size_t index, ArchiveEntry& entry) {
    const std::int64_t header_at = static_cast<std::int64_t>(stored_offset) + shift;
    if (header_at < static_cast<std::int64_t>(archive_start) ||
        static_cast<std::uint64_t>(header_at) + kLocalHeaderSize > central_position) {
        throw SfxError(EntryFault(source, index, "points outside the archive"));
    }
    std::array<std::uint8_t, kLocalHeaderSize> header{};
    if (!source.ReadAt(static_cast<std::uint64_t>(header_at), header.data(), header.size()) ||
        GetU32LE<local::kSignature>(header) != kLocalHeaderSignature) {
        throw SfxError(EntryFault(source, index, "has no local header where the directory puts it"));
    }
    entry.data_offset = static_cast<std::uint64_t>(header_at) + kLocalHeaderSize +
                        GetU16LE<local::kNameLength>(header) + GetU16LE<local::kExtraLength>(header);
    if (entry.data_offset > central_position || entry.packed_size > central_position - entry.data_offset) {
        throw SfxError(EntryFault(source, index, "has data that runs into the central directory"));
    }
    return static_cast<std::uint64_t>(header_at);
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
    if (IsEncrypted()) return "it is encrypted";
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
    archive.central_directory = end.position - end_record.CentralSize();
    archive.end_record = end.position;
    archive.shift =
        static_cast<std::int64_t>(archive.central_directory) - static_cast<std::int64_t>(end_record.CentralStart());
    const auto comment =
        ReadRange(source, end.position + kEndRecordSize, end_record.CommentSize(), "the archive comment");
    archive.comment.assign(comment.begin(), comment.end());

    const std::vector<std::uint8_t> directory =
        ReadRange(source, archive.central_directory, end_record.CentralSize(), "the central directory");
    const std::size_t total_entries = end_record.TotalEntries();
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
        const std::size_t variable =
            name_length + GetU16LE(record + central::kExtraLength) + GetU16LE(record + central::kCommentLength);
        if (directory.size() - position - kCentralHeaderSize < variable) {
            throw SfxError(EntryFault(source, index, "runs past the end of the central directory"));
        }
        ArchiveEntry entry;
        entry.stored_name.assign(reinterpret_cast<const char*>(record + kCentralHeaderSize), name_length);
        entry.host_system = record[central::kHostSystem];
        entry.flags = GetU16LE(record + central::kFlags);
        entry.method = GetU16LE(record + central::kMethod);
        entry.dos_date_time = GetU32LE(record + central::kDosDateTime);
        entry.crc32 = GetU32LE(record + central::kCrc32);
        const std::uint32_t packed = GetU32LE(record + central::kPackedSize);
        const std::uint32_t unpacked = GetU32LE(record + central::kUnpackedSize);
        const std::uint32_t local_offset = GetU32LE(record + central::kLocalHeaderOffset);
        if (packed == zip64::kSaturated32 || unpacked == zip64::kSaturated32 || local_offset == zip64::kSaturated32) {
            throw SfxError(source.Name() +
                           " cannot be extracted: it uses Zip64 extensions, which this program "
                           "cannot read");
        }
        entry.packed_size = packed;
        entry.unpacked_size = unpacked;
        entry.external_attributes = GetU32LE(record + central::kExternalAttributes);
        const std::uint64_t local = LocateEntryData(source, archive_start, archive.central_directory, archive.shift,
                                                    local_offset, index, entry);
        spans.push_back({local, entry.data_offset + entry.packed_size, index});
        archive.entries.push_back(std::move(entry));
        position += kCentralHeaderSize + variable;
    }
    CheckNoOverlap(source, archive, std::move(spans));
    return archive;
}

}  // namespace kitforge::zipsfx
