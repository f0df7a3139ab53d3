#include "zipsfx/zip_archive.h"

#include <algorithm>

#include "zip/zip_method_names.h"
#include "zipsfx/entry_names.h"
#include "zipsfx/le_bytes.h"
#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

namespace {

// End of central directory record.
constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kEndThisDisk = 4;
constexpr std::size_t kEndCentralDisk = 6;
constexpr std::size_t kEndDiskEntries = 8;
constexpr std::size_t kEndTotalEntries = 10;
constexpr std::size_t kEndCentralSize = 12;
constexpr std::size_t kEndCentralStart = 16;
constexpr std::size_t kEndCommentLength = 20;
constexpr std::uint64_t kEndSearchWindow = 65535 + kEndRecordSize;

// Central directory record.
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::size_t kCentralRecordSize = 46;
constexpr std::size_t kCentralHostSystem = 5;
constexpr std::size_t kCentralFlags = 8;
constexpr std::size_t kCentralMethod = 10;
constexpr std::size_t kCentralDosTime = 12;
constexpr std::size_t kCentralCrc = 16;
constexpr std::size_t kCentralPackedSize = 20;
constexpr std::size_t kCentralUnpackedSize = 24;
constexpr std::size_t kCentralNameLength = 28;
constexpr std::size_t kCentralExtraLength = 30;
constexpr std::size_t kCentralCommentLength = 32;
constexpr std::size_t kCentralExternalAttributes = 38;
constexpr std::size_t kCentralLocalOffset = 42;

// Local file header.
constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kLocalNameLength = 26;
constexpr std::size_t kLocalExtraLength = 28;

constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint64_t kZip64LocatorSize = 20;
constexpr std::uint32_t kZip64Value = 0xFFFFFFFF;
constexpr std::uint8_t kHostUnix = 3;
constexpr std::uint32_t kUnixTypeMask = 0170000;
constexpr std::uint32_t kUnixSymbolicLink = 0120000;

struct EndRecord {
    std::uint64_t position = 0;
    std::uint16_t total_entries = 0;
    std::uint32_t central_size = 0;
    std::uint32_t central_start = 0;
    std::uint16_t comment_length = 0;
};

// Whether a Zip64 end-of-central-directory locator stands just before the end record at `position`.
bool HasZip64Locator(ByteSource& source, std::uint64_t archive_start, std::uint64_t position) {
    if (position < archive_start || position - archive_start < kZip64LocatorSize) return false;
    std::uint8_t signature[4];
    return source.ReadAt(position - kZip64LocatorSize, signature, sizeof signature) &&
           GetU32LE(signature) == kZip64LocatorSignature;
}

// Checks the end-record candidate `record`, found at `end.position`; gives "" when it describes a
// directory that stands just before it, else the reason it does not.
std::string CheckEndRecord(ByteSource& source, std::uint64_t archive_start, const std::uint8_t* record,
                           EndRecord& end) {
    end.total_entries = GetU16LE(record + kEndTotalEntries);
    end.central_size = GetU32LE(record + kEndCentralSize);
    end.central_start = GetU32LE(record + kEndCentralStart);
    end.comment_length = GetU16LE(record + kEndCommentLength);
    if (end.position + kEndRecordSize + end.comment_length > source.Size()) {
        return "the archive comment runs past the end of the file";
    }
    if (GetU16LE(record + kEndThisDisk) != 0 || GetU16LE(record + kEndCentralDisk) != 0) {
        return "it is one part of a multi-volume set, which this program cannot extract";
    }
    // A count of 0xFFFF is also what a plain archive of exactly 65,535 entries holds: only the
    // Zip64 locator in front of the end record says that the real values are elsewhere.
    if (HasZip64Locator(source, archive_start, end.position) || end.central_size == kZip64Value ||
        end.central_start == kZip64Value) {
        return "it uses Zip64 extensions, which this program cannot read";
    }
    if (GetU16LE(record + kEndDiskEntries) != end.total_entries) {
        return "its end record disagrees with itself about the number of entries";
    }
    if (end.central_size > end.position - archive_start) {
        return "its central directory is larger than the archive";
    }
    if (static_cast<std::uint64_t>(end.total_entries) * kCentralRecordSize > end.central_size) {
        return "its central directory is too small for the number of entries it claims";
    }
    if (end.total_entries == 0) return end.central_size == 0 ? "" : "it claims no entries but has a directory";
    std::uint8_t signature[4];
    if (!source.ReadAt(end.position - end.central_size, signature, sizeof signature) ||
        GetU32LE(signature) != kCentralSignature) {
        return "its central directory is not where the end record puts it";
    }
    return "";
}

EndRecord FindEndRecord(ByteSource& source, std::uint64_t archive_start) {
    const std::uint64_t size = source.Size();
    if (size < archive_start || size - archive_start < kEndRecordSize) {
        throw SfxError(source.Name() + " holds no zip archive after its header");
    }
    const std::uint64_t window_start = std::max(archive_start, size - std::min(size, kEndSearchWindow));
    const std::vector<std::uint8_t> tail =
        ReadRange(source, window_start, static_cast<std::size_t>(size - window_start), "the end of the archive");

    // The record nearest the end of the file wins, as long as it makes sense; a comment may
    // hold bytes that look like another end record.
    std::string first_reason;
    for (std::size_t i = tail.size() - kEndRecordSize + 1; i-- > 0;) {
        if (GetU32LE(&tail[i]) != kEndSignature) continue;
        EndRecord end;
        end.position = window_start + i;
        const std::string reason = CheckEndRecord(source, archive_start, &tail[i], end);
        if (reason.empty()) return end;
        if (first_reason.empty()) first_reason = reason;
    }
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
std::uint64_t LocateEntryData(ByteSource& source, std::uint64_t archive_start,
                     std::uint64_t central_position, std::int64_t shift, std::uint32_t stored_offset,
                     std::size_t index, ArchiveEntry& entry) {
    const std::int64_t local = static_cast<std::int64_t>(stored_offset) + shift;
    if (local < static_cast<std::int64_t>(archive_start) ||
        static_cast<std::uint64_t>(local) + kLocalHeaderSize > central_position) {
        throw SfxError(EntryFault(source, index, "points outside the archive"));
    }
    std::uint8_t header[kLocalHeaderSize];
    if (!source.ReadAt(static_cast<std::uint64_t>(local), header, sizeof header) ||
        GetU32LE(header) != kLocalSignature) {
        throw SfxError(EntryFault(source, index, "has no local header where the directory puts it"));
    }
    entry.data_offset = static_cast<std::uint64_t>(local) + kLocalHeaderSize + GetU16LE(header + kLocalNameLength) +
                        GetU16LE(header + kLocalExtraLength);
    if (entry.data_offset > central_position || entry.packed_size > central_position - entry.data_offset) {
        throw SfxError(EntryFault(source, index, "has data that runs into the central directory"));
    }
    return static_cast<std::uint64_t>(local);
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
    const std::uint32_t mode = external_attributes >> 16;
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
    const EndRecord end = FindEndRecord(source, archive_start);
    ZipArchive archive;
    archive.central_directory = end.position - end.central_size;
    archive.shift = static_cast<std::int64_t>(archive.central_directory) - static_cast<std::int64_t>(end.central_start);
    const auto comment = ReadRange(source, end.position + kEndRecordSize, end.comment_length, "the archive comment");
    archive.comment.assign(comment.begin(), comment.end());

    const std::vector<std::uint8_t> directory =
        ReadRange(source, archive.central_directory, end.central_size, "the central directory");
    archive.entries.reserve(end.total_entries);
    std::vector<EntrySpan> spans;
    spans.reserve(end.total_entries);
    std::size_t position = 0;
    for (std::size_t index = 0; index < end.total_entries; ++index) {
        if (directory.size() - position < kCentralRecordSize) {
            throw SfxError(EntryFault(source, index, "runs past the end of the central directory"));
        }
        const std::uint8_t* record = directory.data() + position;
        if (GetU32LE(record) != kCentralSignature) {
            throw SfxError(EntryFault(source, index, "has a damaged directory record"));
        }
        const std::size_t name_length = GetU16LE(record + kCentralNameLength);
        const std::size_t variable = name_length + GetU16LE(record + kCentralExtraLength) +
                                     GetU16LE(record + kCentralCommentLength);
        if (directory.size() - position - kCentralRecordSize < variable) {
            throw SfxError(EntryFault(source, index, "runs past the end of the central directory"));
        }
        ArchiveEntry entry;
        entry.stored_name.assign(reinterpret_cast<const char*>(record + kCentralRecordSize), name_length);
        entry.host_system = record[kCentralHostSystem];
        entry.flags = GetU16LE(record + kCentralFlags);
        entry.method = GetU16LE(record + kCentralMethod);
        entry.dos_date_time = GetU32LE(record + kCentralDosTime);
        entry.crc32 = GetU32LE(record + kCentralCrc);
        const std::uint32_t packed = GetU32LE(record + kCentralPackedSize);
        const std::uint32_t unpacked = GetU32LE(record + kCentralUnpackedSize);
        const std::uint32_t local_offset = GetU32LE(record + kCentralLocalOffset);
        if (packed == kZip64Value || unpacked == kZip64Value || local_offset == kZip64Value) {
            throw SfxError(source.Name() + " cannot be extracted: it uses Zip64 extensions, which this program "
                           "cannot read");
        }
        entry.packed_size = packed;
        entry.unpacked_size = unpacked;
        entry.external_attributes = GetU32LE(record + kCentralExternalAttributes);
        const std::uint64_t local = LocateEntryData(source, archive_start, archive.central_directory, archive.shift,
                                                    local_offset, index, entry);
        spans.push_back({local, entry.data_offset + entry.packed_size, index});
        archive.entries.push_back(std::move(entry));
        position += kCentralRecordSize + variable;
    }
    CheckNoOverlap(source, archive, std::move(spans));
    return archive;
}

}  // namespace kitforge::zipsfx
