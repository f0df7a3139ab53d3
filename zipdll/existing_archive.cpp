#include "existing_archive.h"

#include <algorithm>

#include "file_system.h"
#include "formats/byte_cursor.h"
#include "formats/end_record_search.h"
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

bool HasZip64Extra(std::span<const std::uint8_t> extra) {
    zf::ByteCursor cursor(extra);
    while (cursor.Ok() && cursor.Remaining() >= 4) {
        std::uint16_t id = cursor.U16LE();
        std::uint16_t length = cursor.U16LE();
        if (id == zf::zip64::kExtraId) return true;
        cursor.Skip(length);
    }
    return false;
}

// Fills in where the entry's local record lies and how long it is, checking its signature.
void MeasureLocalRecord(File& file, ExistingEntry& entry, std::uint16_t flags, std::uint32_t packed,
                        std::uint64_t limit) {
    std::array<std::uint8_t, zf::kLocalHeaderSize> header{};
    if (entry.local_offset + zf::kLocalHeaderSize > limit)
        Refuse(file.Path(), "the entry " + entry.name + " lies outside the archive");
    ReadExactAt(file, header.data(), header.size(), entry.local_offset);
    if (zf::GetU32LE<zf::local::kSignature>(header) != zf::kLocalHeaderSignature)
        Refuse(file.Path(), "the local header of " + entry.name + " is damaged");
    std::uint64_t data_start = entry.local_offset + zf::kLocalHeaderSize +
                               zf::GetU16LE<zf::local::kNameLength>(header) +
                               zf::GetU16LE<zf::local::kExtraLength>(header);
    std::uint64_t end = data_start + packed;
    if ((flags & zf::kFlagDataDescriptor) != 0) {
        // The descriptor is 16 bytes with its optional signature, 12 without.
        std::array<std::uint8_t, zf::data_descriptor::kSignatureSize> signature{};
        std::uint64_t descriptor = zf::kDataDescriptorSize - zf::data_descriptor::kSignatureSize;
        if (end + signature.size() <= limit) {
            ReadExactAt(file, signature.data(), signature.size(), end);
            if (zf::GetU32LE<zf::data_descriptor::kSignature>(signature) == zf::kDataDescriptorSignature)
                descriptor = zf::kDataDescriptorSize;
        }
        end += descriptor;
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
    EndRecordAt end = FindEndRecord(file, size);
    const zf::EndRecord& record = end.record;
    if (record.ThisDisk() != 0 || record.CentralDisk() != 0 || record.DiskEntries() != record.TotalEntries())
        Refuse(path, "it is part of a multi-volume set");
    if (end.position >= zf::zip64::kLocatorSize) {
        std::array<std::uint8_t, 4> signature{};
        ReadExactAt(file, signature.data(), signature.size(), end.position - zf::zip64::kLocatorSize);
        if (zf::GetU32LE<zf::zip64::locator::kSignature>(signature) == zf::zip64::kLocatorSignature)
            Refuse(path, "it uses zip64 extensions, which this library does not write");
    }
    if (record.CentralSize() > end.position || record.CentralSize() > kMaxCentralDirectory)
        Refuse(path, "its central directory size is impossible");
    const std::uint64_t central_start = end.position - record.CentralSize();
    if (central_start < record.CentralStart()) Refuse(path, "its central directory offset is impossible");
    // Archives appended to a stub without adjusting their offsets count from the zip's own start.
    const std::uint64_t shift = central_start - record.CentralStart();

    std::vector<std::uint8_t> central(record.CentralSize());
    ReadExactAt(file, central.data(), central.size(), central_start);
    archive.comment.resize(record.CommentSize());
    ReadExactAt(file, archive.comment.data(), archive.comment.size(), end.position + zf::kEndRecordSize);

    zf::ByteCursor cursor(central);
    archive.prefix_size = central_start;
    for (std::uint32_t i = 0; i < record.TotalEntries(); ++i) {
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
        std::uint32_t packed = zf::GetU32LE(fixed.data() + zf::central::kPackedSize);
        std::uint32_t unpacked = zf::GetU32LE(fixed.data() + zf::central::kUnpackedSize);
        std::uint32_t offset = zf::GetU32LE(fixed.data() + zf::central::kLocalHeaderOffset);
        if (HasZip64Extra(extra) || packed == zf::zip64::kSaturated32 || unpacked == zf::zip64::kSaturated32 ||
            offset == zf::zip64::kSaturated32)
            Refuse(path, "the entry " + entry.name + " uses zip64 extensions, which this library does not write");
        entry.local_offset = offset + shift;
        entry.dos_time = zf::GetU32LE(fixed.data() + zf::central::kDosDateTime);
        MeasureLocalRecord(file, entry, zf::GetU16LE(fixed.data() + zf::central::kFlags), packed, central_start);
        archive.prefix_size = std::min(archive.prefix_size, entry.local_offset);
        archive.entries.push_back(std::move(entry));
    }
    return archive;
}

}  // namespace zipdll
