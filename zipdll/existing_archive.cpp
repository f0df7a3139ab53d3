#include "existing_archive.h"

#include <algorithm>

#include "file_system.h"
#include "formats/byte_cursor.h"
#include "formats/end_record_search.h"
#include "formats/zip_extra_fields.h"
#include "formats/zip_records.h"

namespace zipdll {

namespace zf = kitforge::formats;

namespace {

// The whole central directory is held in memory while the new archive is written; more than
// this is no archive this library can have made, and would break the memory bound.
constexpr std::uint64_t kMaxCentralDirectory = 64ull << 20;

struct EndRecordAt {
    std::uint64_t position = 0;
    zf::EndRecord record;
};

[[noreturn]] void Refuse(const std::string& path, const std::string& reason) {
    throw ArchiveProblem("Cannot add to " + path + ": " + reason);
}

// The end record is searched backwards in the file's tail; the last one whose comment ends
// within the file wins.
EndRecordAt FindEndRecord(File& file, std::uint64_t size) {
    const std::uint64_t window = zf::EndSearchLength(size);
    std::vector<std::uint8_t> tail(static_cast<std::size_t>(window));
    ReadExactAt(file, tail.data(), tail.size(), size - window);
    const std::span<const std::uint8_t> bytes(tail);
    const auto at = zf::SearchEndRecord(bytes, [&](std::size_t place) { return zf::CommentFitsTail(bytes, place); });
    if (!at) Refuse(file.Path(), "it is not a zip archive (no end of central directory record)");
    return {size - window + *at, zf::EndRecordFrom(bytes, *at)};
}

// Where the central directory lies and how many entries it holds, from the zip64 end record
// when the archive has one, else from the classic record.
struct DirectoryFigures {
    std::uint64_t entries = 0;
    std::uint64_t size = 0;
    std::uint64_t start = 0;  // as stored: may not count a stub put in front later
    std::uint64_t end = 0;    // file position right after the directory
};

// An archive with more than 65,535 entries or beyond 4 GiB keeps its figures in a zip64 end
// record, which a locator right before the classic record points at. The locator's offset does
// not count a stub put in front of the archive later, so when no record stands there the
// place right before the locator is tried, where every writer puts it.
DirectoryFigures ReadDirectoryFigures(File& file, const EndRecordAt& end) {
    const zf::EndRecord& record = end.record;
    zf::Zip64Locator locator;
    const std::uint64_t locator_at = end.position - std::min<std::uint64_t>(end.position, zf::zip64::kLocatorSize);
    if (end.position >= zf::zip64::kLocatorSize)
        ReadExactAt(file, locator.bytes.data(), locator.bytes.size(), locator_at);
    if (locator.Signature() != zf::zip64::kLocatorSignature) {
        if (record.ThisDisk() != 0 || record.CentralDisk() != 0 || record.DiskEntries() != record.TotalEntries())
            Refuse(file.Path(), "it is part of a multi-volume set");
        // Info-ZIP's forced zip64 on a pipe saturates the directory's offset yet writes no zip64
        // record: the directory then counts from the start of the file, where it ends at the record.
        std::uint64_t start = record.CentralStart();
        if (start == zf::zip64::kSaturated32 && record.CentralSize() <= end.position)
            start = end.position - record.CentralSize();
        return {record.TotalEntries(), record.CentralSize(), start, end.position};
    }
    if (locator.EndRecordDisk() != 0 || locator.TotalDisks() > 1)
        Refuse(file.Path(), "it is part of a multi-volume set");

    zf::Zip64EndRecord zip64;
    const auto record_at = [&](std::uint64_t at) {
        if (at > locator_at || locator_at - at < zf::zip64::kEndRecordSize) return false;
        ReadExactAt(file, zip64.bytes.data(), zip64.bytes.size(), at);
        return zip64.Signature() == zf::zip64::kEndRecordSignature;
    };
    std::uint64_t at = locator.EndRecordOffset();
    if (!record_at(at)) {
        at = locator_at >= zf::zip64::kEndRecordSize ? locator_at - zf::zip64::kEndRecordSize : locator_at + 1;
        if (!record_at(at)) Refuse(file.Path(), "its zip64 end of central directory record is missing or damaged");
    }
    if (zip64.ThisDisk() != 0 || zip64.CentralDisk() != 0 || zip64.DiskEntries() != zip64.TotalEntries())
        Refuse(file.Path(), "it is part of a multi-volume set");
    return {zip64.TotalEntries(), zip64.CentralSize(), zip64.CentralStart(), at};
}

// The data descriptor after an entry's data: 12 or 20 bytes, 4 more with its optional
// signature, the longer forms holding 64-bit sizes. The form whose CRC and sizes agree with the
// central directory wins; when none does (a writer that put other figures there), a local
// header with a zip64 field says 64-bit sizes, as readers of a stream assume.
std::uint64_t DescriptorSize(File& file, std::uint64_t at, std::uint64_t limit, const zf::Zip64Figures& figures,
                             std::uint32_t crc, bool zip64_local) {
    std::array<std::uint8_t, zf::zip64::kDataDescriptorSize> bytes{};
    const std::size_t available = static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size(), limit - at));
    ReadExactAt(file, bytes.data(), available, at);
    const std::size_t sign = available >= 4 && zf::GetU32LE(bytes.data()) == zf::kDataDescriptorSignature
                                 ? zf::data_descriptor::kSignatureSize
                                 : 0;
    const auto agrees = [&](bool wide) {
        const std::size_t length = sign + (wide ? 20 : 12);
        if (length > available) return false;
        const std::uint8_t* p = bytes.data() + sign;
        if (zf::GetU32LE(p) != crc) return false;
        if (wide) return zf::GetU64LE(p + 4) == figures.packed && zf::GetU64LE(p + 12) == figures.unpacked;
        return zf::GetU32LE(p + 4) == static_cast<std::uint32_t>(figures.packed) &&
               zf::GetU32LE(p + 8) == static_cast<std::uint32_t>(figures.unpacked);
    };
    bool wide = zip64_local;
    if (!agrees(wide) && agrees(!wide)) wide = !wide;
    return sign + (wide ? 20 : 12);
}

// Fills in how long the entry's local record is (header, data, descriptor), checking its
// signature and that it ends before `limit`.
void MeasureLocalRecord(File& file, ExistingEntry& entry, std::uint16_t flags, const zf::Zip64Figures& figures,
                        std::uint32_t crc, std::uint64_t limit) {
    std::array<std::uint8_t, zf::kLocalHeaderSize> header{};
    if (entry.local_offset > limit || limit - entry.local_offset < zf::kLocalHeaderSize)
        Refuse(file.Path(), "the entry " + entry.name + " lies outside the archive");
    ReadExactAt(file, header.data(), header.size(), entry.local_offset);
    if (zf::GetU32LE<zf::local::kSignature>(header) != zf::kLocalHeaderSignature)
        Refuse(file.Path(), "the local header of " + entry.name + " is damaged");
    const std::uint16_t name_length = zf::GetU16LE<zf::local::kNameLength>(header);
    const std::uint16_t extra_length = zf::GetU16LE<zf::local::kExtraLength>(header);
    const std::uint64_t data_start = entry.local_offset + zf::kLocalHeaderSize + name_length + extra_length;
    if (data_start > limit || limit - data_start < figures.packed)
        Refuse(file.Path(), "the data of " + entry.name + " runs past the central directory");
    std::uint64_t end = data_start + figures.packed;
    if ((flags & zf::kFlagDataDescriptor) != 0) {
        std::vector<std::uint8_t> extra(extra_length);
        ReadExactAt(file, extra.data(), extra.size(), data_start - extra_length);
        const bool zip64_local = zf::FindExtraField(extra, zf::zip64::kExtraId).has_value();
        end += DescriptorSize(file, end, limit, figures, crc, zip64_local);
    }
    if (end > limit) Refuse(file.Path(), "the data of " + entry.name + " runs past the central directory");
    entry.extent = end - entry.local_offset;
}

}  // namespace

ExistingArchive ReadExistingArchive(const std::string& path) {
    ExistingArchive archive;
    PathInfo st;
    std::string reason;
    PathState state = ReadPathInfo(path, st, &reason);
    if (state == PathState::kMissing) return archive;
    if (state == PathState::kFailed) throw IoFailure("read", path, 0, reason);
    archive.exists = true;
    if (!st.is_regular) Refuse(path, "it is not a regular file");
    if (st.size == 0) return archive;

    File file = OpenRead(path);
    const std::uint64_t size = SizeOf(file);
    const EndRecordAt end = FindEndRecord(file, size);
    const DirectoryFigures directory = ReadDirectoryFigures(file, end);
    if (directory.size > directory.end || directory.size > kMaxCentralDirectory)
        Refuse(path, "its central directory size is impossible");
    const std::uint64_t central_start = directory.end - directory.size;
    if (central_start < directory.start) Refuse(path, "its central directory offset is impossible");
    // Archives appended to a stub without adjusting their offsets count from the zip's own start.
    const std::uint64_t shift = central_start - directory.start;

    std::vector<std::uint8_t> central(static_cast<std::size_t>(directory.size));
    ReadExactAt(file, central.data(), central.size(), central_start);
    archive.comment.resize(end.record.CommentSize());
    ReadExactAt(file, archive.comment.data(), archive.comment.size(), end.position + zf::kEndRecordSize);

    zf::ByteCursor cursor(central);
    archive.prefix_size = central_start;
    // Every entry takes at least a fixed header: a count beyond that fails at the first missing one.
    archive.entries.reserve(
        static_cast<std::size_t>(std::min(directory.entries, directory.size / zf::kCentralHeaderSize)));
    for (std::uint64_t i = 0; i < directory.entries; ++i) {
        std::size_t start = cursor.Position();
        auto fixed = cursor.Bytes(zf::kCentralHeaderSize);
        if (!cursor.Ok() || zf::GetU32LE(fixed.data()) != zf::kCentralHeaderSignature)
            Refuse(path, "central directory entry " + std::to_string(i + 1) + " is damaged");
        std::uint16_t name_length = zf::GetU16LE(fixed.data() + zf::central::kNameLength);
        std::uint16_t extra_length = zf::GetU16LE(fixed.data() + zf::central::kExtraLength);
        std::uint16_t comment_length = zf::GetU16LE(fixed.data() + zf::central::kCommentLength);
        auto name = cursor.Bytes(name_length);
        auto extra = cursor.Bytes(extra_length);
        cursor.Skip(comment_length);
        if (!cursor.Ok()) Refuse(path, "central directory entry " + std::to_string(i + 1) + " is cut short");

        ExistingEntry entry;
        entry.name.assign(name.begin(), name.end());
        entry.central.assign(central.begin() + static_cast<std::ptrdiff_t>(start),
                             central.begin() + static_cast<std::ptrdiff_t>(cursor.Position()));
        zf::Zip64Figures figures{zf::GetU32LE(fixed.data() + zf::central::kUnpackedSize),
                                 zf::GetU32LE(fixed.data() + zf::central::kPackedSize),
                                 zf::GetU32LE(fixed.data() + zf::central::kLocalHeaderOffset),
                                 zf::GetU16LE(fixed.data() + zf::central::kStartDisk)};
        const zf::Zip64Slots saturated = zf::SaturatedSlots(
            static_cast<std::uint32_t>(figures.unpacked), static_cast<std::uint32_t>(figures.packed),
            static_cast<std::uint32_t>(figures.local_offset), static_cast<std::uint16_t>(figures.start_disk));
        switch (zf::ApplyZip64Extra(extra, saturated, figures)) {
            case zf::Zip64Reading::kMissing:
                Refuse(path, "the entry " + entry.name + " lacks the zip64 field its directory record calls for");
            case zf::Zip64Reading::kShort: Refuse(path, "the zip64 field of the entry " + entry.name + " is cut short");
            case zf::Zip64Reading::kNotNeeded:
            case zf::Zip64Reading::kApplied: break;
        }
        if (figures.start_disk != 0) Refuse(path, "it is part of a multi-volume set");
        if (figures.local_offset > central_start - shift)
            Refuse(path, "the entry " + entry.name + " lies outside the archive");
        entry.local_offset = figures.local_offset + shift;
        entry.dos_time = zf::GetU32LE(fixed.data() + zf::central::kDosDateTime);
        MeasureLocalRecord(file, entry, zf::GetU16LE(fixed.data() + zf::central::kFlags), figures,
                           zf::GetU32LE(fixed.data() + zf::central::kCrc32), central_start);
        archive.prefix_size = std::min(archive.prefix_size, entry.local_offset);
        archive.entries.push_back(std::move(entry));
    }
    return archive;
}

}  // namespace zipdll
