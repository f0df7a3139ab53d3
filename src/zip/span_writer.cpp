// Copying a finished archive onto the volumes of a multi-volume set. The entries are copied in
// the archive's order; local headers, central records and the end record are placed whole on
// one volume each, only entry data is split, and every stored position is rewritten to name
// the volume and the offset within it.

#include <algorithm>
#include <new>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "formats/byte_cursor.h"
#include "formats/zip_extra_fields.h"
#include "platform/ascii_case.h"
#include "os/errors.h"
#include "os/native_path.h"
#include "platform/file_stamp.h"
#include "zip/central_record_move.h"
#include "zip/volume_names.h"
#include "zip/zip64_end_search.h"
#include "zip/zip_master.h"

namespace kitforge {

namespace {

using namespace formats;

constexpr std::string_view kCentralDirectoryName = "Central directory";

// Finds the record a central record takes its position from. An exact name that no earlier
// record has taken comes first, so that entries whose names differ only in case (common here)
// each keep their own data; then the first record of that exact name; and a name met only in
// another case is still found, at its first record. The names are indexed once: searching the
// records from the first for every central record made an archive of 65,535 entries cost
// billions of comparisons.
class VolumeEntryIndex {
public:
    explicit VolumeEntryIndex(std::vector<VolumeEntry>& entries) : entries_(entries) {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            exact_[entries[i].name].push_back(i);
            folded_.emplace(Folded(entries[i].name), i);  // the first of each folded name stays
        }
    }

    VolumeEntry* Find(const std::string& name) {
        if (const auto found = exact_.find(name); found != exact_.end()) {
            for (std::size_t i : found->second) {
                if (!entries_[i].claimed) return &entries_[i];
            }
            return &entries_[found->second.front()];
        }
        const auto folded = folded_.find(Folded(name));
        return folded == folded_.end() ? nullptr : &entries_[folded->second];
    }

private:
    static std::string Folded(std::string_view name) {
        std::string folded(name);
        for (char& c : folded) c = AsciiUpper(c);
        return folded;
    }

    std::vector<VolumeEntry>& entries_;
    std::unordered_map<std::string, std::vector<std::size_t>> exact_;
    std::unordered_map<std::string, std::size_t> folded_;
};

bool IsVolumeFailure(int id) {
    return id == zip_msg::kCannotCreateVolume || id == zip_msg::kVolumeWriteFailed || id == zip_msg::kCannotSetLabel;
}

std::string Quoted(std::string_view name) { return "\"" + std::string(name) + "\""; }

}  // namespace

// The file a failure concerns, appended to its report: the volume being written, or the
// archive being read. A cancel needs none.
std::string TZipMaster::FailureNote(int id) const {
    if (id == zip_msg::kStopped || id == zip_msg::kPromptWhileUnattended) return {};
    const int error = span_.FailureErrorCode;
    const std::string reason = error != 0 ? ": " + SystemErrorText(error) : std::string();
    if (!IsVolumeFailure(id)) return ".\nFile: " + DisplayPath(directory_.InputPath) + reason;
    const DriveType type = volumes_.TypeOf(directory_.DriveRoot);
    const bool numbered = type == DriveType::Fixed || type == DriveType::Network;
    const std::string& output = span_.OutputPath;
    return ".\nFile: " + DisplayPath(numbered ? NumberedVolumeName(output, directory_.CurrentDisk) : output) + reason;
}

int TZipMaster::SpanArchive(const std::string& input_path, const std::string& output_path) {
    operation_.OperationActive = true;
    directory_.DriveRoot = volumes_.DriveRootOf(output_path);
    directory_.CurrentDisk = 0;
    directory_.DiskFree = 0;
    span_.NewDiskNeeded = true;
    span_.VolumeBytesWritten = 0;
    span_.OutputHandle = File();
    span_.OpenVolumePath.clear();
    span_.FailureErrorCode = 0;
    span_.ProgressActive = false;
    directory_.InputPath = input_path;
    span_.OutputPath = output_path;

    int result = span_result::kDone;
    {
        BusyCursor busy(host_);
        if (verbose_ && OnMessage) {
            OnMessage(*this, kComponentMessageCode,
                      "Now creating spanning chunks from " + input_path + " to " + output_path);
        }
        try {
            SpanArchiveSteps(input_path);
        } catch (const EZipMaster& failure) {
            ReportException(failure, FailureNote(failure.MessageId));
            result = span_result::kZipFailure;
        } catch (const std::bad_alloc&) {
            ReportMessage(zip_msg::kOutOfMemory);
            result = span_result::kOutOfMemory;
        } catch (const std::exception& failure) {
            ReportMessage(zip_msg::kSpanFailed, std::string(": ") + failure.what());
            result = span_result::kOtherFailure;
        }
        span_.ProgressActive = false;
        try {
            if (OnProgress) OnProgress(*this, ProgressBatchEnd, std::string(), 0);
        } catch (...) {
        }
        span_.VolumeEntries.clear();
        span_.VolumeEntries.shrink_to_fit();
        span_.SourceEntries.clear();
        span_.SourceEntries.shrink_to_fit();
        const std::string cut_off_volume = span_.OpenVolumePath;
        CloseOutputVolume();
        CloseInput();
        // A volume cut off by the failure holds no complete part of the set.
        if (result != span_result::kDone && !cut_off_volume.empty()) DeleteFile(cut_off_volume);
        span_.OpenVolumePath.clear();
    }
    operation_.OperationActive = false;
    return result;
}

void TZipMaster::SpanArchiveSteps(const std::string& input_path) {
    if (!FileExists(input_path)) throw EZipMaster::Shown(zip_msg::kCannotOpenArchive);
    EndRecord end_record;
    LocateEndRecord(end_record);

    const std::optional<FileStamp> stamp = StampOf(directory_.InputHandle);
    if (!stamp) throw Error("the date of " + DisplayPath(input_path) + " cannot be read");
    span_.SourceDate = stamp->modified_ns;
    span_.SourceDevice = static_cast<std::int64_t>(stamp->identity.first);
    span_.SourceInode = static_cast<std::int64_t>(stamp->identity.second);

    CheckSpanSource(end_record);
    if (directory_.InputHandle.Seek(0) != 0) throw EZipMaster::Shown(zip_msg::kSeekFailed);
    span_.VolumeEntries.assign(span_.SourceEntryCount, VolumeEntry{});

    const std::uint8_t signature[4] = {0x50, 0x4B, 0x07, 0x08};
    VolumeWrite(signature, sizeof signature, 0);

    span_.ProgressActive = true;
    if (OnProgress) {
        OnProgress(*this, ProgressFileCount, std::string(), static_cast<std::int64_t>(span_.SourceEntryCount));
        OnProgress(*this, ProgressByteTotal, std::string(), directory_.ArchiveSize);
    }
    CopyLocalEntries(span_.SourceEntryCount);
    CopyCentralDirectory(end_record);
    WriteSpanEndRecord(end_record);
    StampAndCloseVolume();
    span_.ProgressActive = false;
}

// Checks, before anything is written, what the set could not hold: names longer than a
// volume record keeps, and a source that is itself part of a set. Takes the directory's
// figures from the end record, or from the zip64 end record when there is one, and notes what
// the central records say of each entry: the local header of an entry written with a data
// descriptor, or with its sizes in a zip64 field, may leave them out.
void TZipMaster::CheckSpanSource(const EndRecord& end_record) {
    if (end_record.ThisDisk() != 0 || end_record.CentralDisk() != 0) {
        throw Error("the archive " + directory_.InputPath + " is itself a part of a multi-volume set");
    }
    span_.SourceEntryCount = end_record.TotalEntries();
    span_.SourceCentralSize = end_record.CentralSize();
    // The directory ends where the end record, or its zip64 form, begins.
    std::int64_t directory_end = directory_.EndRecordOffset;
    const std::optional<Zip64End> zip64_end = FindZip64End(directory_.InputHandle, directory_.EndRecordOffset);
    span_.SourceZip64 = zip64_end.has_value();
    if (zip64_end) {
        const Zip64EndRecord& record = zip64_end->record;
        if (record.ThisDisk() != 0 || record.CentralDisk() != 0 || zip64_end->locator.TotalDisks() > 1) {
            throw Error("the archive " + directory_.InputPath + " is itself a part of a multi-volume set");
        }
        span_.SourceZip64Record = record;
        span_.SourceEntryCount = record.TotalEntries();
        span_.SourceCentralSize = record.CentralSize();
        directory_end = zip64_end->record_at;
    }
    if (span_.SourceCentralSize > static_cast<std::uint64_t>(directory_end)) {
        throw Error("the central directory of " + directory_.InputPath + " runs past the start of the file");
    }
    // Every record takes at least its fixed part: a count the directory cannot hold is a
    // damaged end record, not a reason to allocate.
    if (span_.SourceEntryCount > span_.SourceCentralSize / kCentralHeaderSize) {
        throw Error("the end record of " + directory_.InputPath + " claims " + std::to_string(span_.SourceEntryCount) +
                    " entries in a central directory of " + std::to_string(span_.SourceCentralSize) + " bytes");
    }
    const std::int64_t central_start = directory_end - static_cast<std::int64_t>(span_.SourceCentralSize);
    span_.SourceCentralStart = central_start;
    std::vector<std::uint8_t> directory(span_.SourceCentralSize);
    if (directory_.InputHandle.Seek(central_start) != central_start ||
        directory_.InputHandle.Read(directory.data(), directory.size()) != directory.size()) {
        throw EZipMaster::Shown(zip_msg::kCentralHeaderShort);
    }

    span_.SourceEntries.clear();
    span_.SourceEntries.reserve(span_.SourceEntryCount);
    ByteCursor cursor(directory);
    for (std::uint64_t n = 0; n < span_.SourceEntryCount; ++n) {
        const std::size_t record_at = cursor.Position();
        const auto header = cursor.Bytes(kCentralHeaderSize);
        if (!cursor.Ok()) throw EZipMaster::Shown(zip_msg::kCentralHeaderShort);
        if (GetU32LE(header.data() + central::kSignature) != kCentralHeaderSignature) {
            throw EZipMaster::Shown(zip_msg::kCentralSignatureWrong);
        }
        const std::uint16_t name_length = GetU16LE(header.data() + central::kNameLength);
        const auto name = cursor.Bytes(name_length);
        if (!cursor.Ok()) throw EZipMaster::Shown(zip_msg::kCentralNameShort);
        if (name_length > kMaxSpanNameLength) {
            const std::string text(reinterpret_cast<const char*>(name.data()), name.size());
            throw Error("the entry name " + Quoted(text.substr(0, 60)) + "... is " + std::to_string(name_length) +
                        " bytes long; a multi-volume archive keeps names of at most " +
                        std::to_string(kMaxSpanNameLength) + " bytes. Nothing was written");
        }
        const std::size_t tail = std::size_t{GetU16LE(header.data() + central::kExtraLength)} +
                                 GetU16LE(header.data() + central::kCommentLength);
        cursor.Skip(tail);
        if (!cursor.Ok()) throw EZipMaster::Shown(zip_msg::kCentralExtraShort);
        const auto record =
            std::span<const std::uint8_t>(directory).subspan(record_at, kCentralHeaderSize + name_length + tail);
        const auto figures = CentralRecordFigures(record);
        if (!figures) {
            throw Error("the central record of " + Quoted(std::string(name.begin(), name.end())) + " in " +
                        directory_.InputPath + " has no zip64 field for the sizes or offset it leaves to one");
        }
        const Zip64Slots saturated = SaturatedSlots(GetU32LE(header.data() + central::kUnpackedSize),
                                                    GetU32LE(header.data() + central::kPackedSize), 0, 0);
        span_.SourceEntries.push_back(
            {figures->local_offset, figures->packed, GetU32LE(header.data() + central::kCrc32), saturated.Any()});
    }
    std::stable_sort(span_.SourceEntries.begin(), span_.SourceEntries.end(),
                     [](const SourceEntry& a, const SourceEntry& b) { return a.local_offset < b.local_offset; });
}

void TZipMaster::CopyLocalEntries(std::uint64_t total_entries) {
    std::array<std::uint8_t, kLocalHeaderSize> header{};
    std::vector<std::uint8_t> extra;
    for (std::size_t i = 0; i < total_entries; ++i) {
        const std::int64_t source_offset = directory_.InputHandle.Position();
        if (directory_.InputHandle.Read(header.data(), header.size()) != header.size()) {
            throw EZipMaster::Shown(zip_msg::kLocalHeaderShort);
        }
        if (GetU32LE<local::kSignature>(header) != kLocalHeaderSignature) {
            throw EZipMaster::Shown(zip_msg::kLocalSignatureWrong);
        }
        const std::uint16_t name_length = GetU16LE<local::kNameLength>(header);
        const std::uint16_t extra_length = GetU16LE<local::kExtraLength>(header);
        const std::uint16_t flags = GetU16LE<local::kFlags>(header);
        std::string name(name_length, '\0');
        if (directory_.InputHandle.Read(name.data(), name.size()) != name.size()) {
            throw EZipMaster::Shown(zip_msg::kLocalNameShort);
        }
        extra.resize(extra_length);
        if (directory_.InputHandle.Read(extra.data(), extra.size()) != extra.size()) {
            throw EZipMaster::Shown(zip_msg::kLocalExtraShort);
        }

        // An entry written with a data descriptor may leave its sizes out of the local header,
        // and one with a zip64 field saturates them there; its central record has them.
        const auto key = static_cast<std::uint64_t>(source_offset);
        const auto it = std::lower_bound(span_.SourceEntries.begin(), span_.SourceEntries.end(), key,
                                         [](const SourceEntry& e, std::uint64_t k) { return e.local_offset < k; });
        const SourceEntry* source = it != span_.SourceEntries.end() && it->local_offset == key ? &*it : nullptr;
        std::uint64_t packed = GetU32LE<local::kPackedSize>(header);
        const bool local_zip64 = FindExtraField(extra, zip64::kExtraId).has_value();
        if (source != nullptr && ((flags & kFlagDataDescriptor) || packed == zip64::kSaturated32)) {
            packed = source->packed;
        } else if (packed == zip64::kSaturated32) {
            Zip64Figures figures{GetU32LE<local::kUnpackedSize>(header), packed, 0, 0};
            const Zip64Slots saturated = SaturatedSlots(GetU32LE<local::kUnpackedSize>(header), packed, 0, 0);
            if (ApplyZip64Extra(extra, saturated, figures, true) == Zip64Reading::kApplied) packed = figures.packed;
        }

        VolumeEntry& entry = span_.VolumeEntries[i];
        entry.name = name;
        entry.name_length = name_length;

        if (OnMessage) {
            OnMessage(*this, kComponentMessageCode, MessageText(zip_msg::kCopying, "Copying: ") + ToBackslashes(name));
        }
        // A data descriptor after a zip64 entry holds 64-bit sizes.
        const bool wide_descriptor = local_zip64 || (source != nullptr && source->zip64_sizes);
        const std::int64_t header_size = static_cast<std::int64_t>(kLocalHeaderSize) + name_length + extra_length;
        const std::int64_t descriptor =
            (flags & kFlagDataDescriptor)
                ? static_cast<std::int64_t>(wide_descriptor ? zip64::kDataDescriptorSize : kDataDescriptorSize)
                : 0;
        if (OnProgress) {
            OnProgress(*this, ProgressFileStart, ToBackslashes(name),
                       header_size + static_cast<std::int64_t>(packed) + descriptor);
        }

        VolumeWrite(header.data(), header.size(), header_size);
        entry.disk = static_cast<std::uint32_t>(directory_.CurrentDisk);
        entry.offset =
            static_cast<std::uint64_t>(span_.VolumeBytesWritten - static_cast<std::int64_t>(kLocalHeaderSize));
        VolumeWrite(name.data(), name_length, 0);
        VolumeWrite(extra.data(), extra_length, 0);
        CopyToVolumes(static_cast<std::int64_t>(packed), zip_msg::kEntryDataShort);
        if (descriptor > 0) CopyDataDescriptor(source, wide_descriptor);
    }
}

// A data descriptor starts with its signature in the archives of nearly every writer, but the
// signature is optional. Its sizes take 32 bits each, or 64 after a zip64 entry: it is 12,
// 16, 20 or 24 bytes long. The form is taken from the entry's zip64 field, unless only the
// other form agrees with the central record's checksum and packed size.
void TZipMaster::CopyDataDescriptor(const SourceEntry* entry, bool wide_sizes) {
    std::array<std::uint8_t, zip64::kDataDescriptorSize> descriptor{};
    const std::size_t got = directory_.InputHandle.Read(descriptor.data(), descriptor.size());
    const std::size_t signature =
        got >= 4 && GetU32LE<0>(descriptor) == kDataDescriptorSignature ? data_descriptor::kSignatureSize : 0;
    const auto size_of = [signature](bool wide) { return signature + (wide ? 20 : 12); };
    const auto agrees = [&](bool wide) {
        if (entry == nullptr || got < size_of(wide)) return false;
        const std::uint8_t* at = descriptor.data() + signature;
        const std::uint64_t packed = wide ? GetU64LE(at + 4) : GetU32LE(at + 4);
        return GetU32LE(at) == entry->crc && packed == entry->packed;
    };
    if (!agrees(wide_sizes) && agrees(!wide_sizes)) wide_sizes = !wide_sizes;
    const std::size_t size = size_of(wide_sizes);
    if (got < size) throw EZipMaster::Shown(zip_msg::kDataDescriptorShort);
    if (got > size && directory_.InputHandle.Seek(static_cast<std::int64_t>(size) - static_cast<std::int64_t>(got),
                                                  File::Whence::Current) < 0) {
        throw EZipMaster::Shown(zip_msg::kSeekFailed);
    }
    VolumeWrite(descriptor.data(), static_cast<std::int64_t>(size), 0);
}

void TZipMaster::CopyCentralDirectory(const EndRecord&) {
    if (OnMessage) {
        OnMessage(*this, kComponentMessageCode,
                  MessageText(zip_msg::kCopying, "Copying: ") + std::string(kCentralDirectoryName));
    }
    if (OnProgress) {
        OnProgress(*this, ProgressFileStart, std::string(kCentralDirectoryName),
                   static_cast<std::int64_t>(span_.SourceCentralSize) + static_cast<std::int64_t>(kEndRecordSize) +
                       static_cast<std::int64_t>(directory_.ArchiveComment.size()));
    }
    // The directory is read where the end record says it stands, so bytes between the last
    // entry and the directory (padding some writers leave) are not taken for a record.
    const std::int64_t central_start = span_.SourceCentralStart;
    if (directory_.InputHandle.Seek(central_start) != central_start) throw EZipMaster::Shown(zip_msg::kSeekFailed);
    span_.CentralBytesWritten = 0;
    VolumeEntryIndex index(span_.VolumeEntries);
    std::vector<std::uint8_t> record;
    for (std::uint64_t n = 0; n < span_.SourceEntryCount; ++n) {
        record.resize(kCentralHeaderSize);
        if (directory_.InputHandle.Read(record.data(), kCentralHeaderSize) != kCentralHeaderSize) {
            throw EZipMaster::Shown(zip_msg::kCentralHeaderShort);
        }
        if (GetU32LE(record.data() + central::kSignature) != kCentralHeaderSignature) {
            throw EZipMaster::Shown(zip_msg::kCentralSignatureWrong);
        }
        const std::uint16_t name_length = GetU16LE(record.data() + central::kNameLength);
        const std::uint16_t extra_length = GetU16LE(record.data() + central::kExtraLength);
        const std::uint16_t comment_length = GetU16LE(record.data() + central::kCommentLength);
        record.resize(kCentralHeaderSize + name_length + extra_length + comment_length);
        std::uint8_t* tail = record.data() + kCentralHeaderSize;
        if (directory_.InputHandle.Read(tail, name_length) != name_length) {
            throw EZipMaster::Shown(zip_msg::kCentralNameShort);
        }
        if (directory_.InputHandle.Read(tail + name_length, extra_length) != extra_length) {
            throw EZipMaster::Shown(zip_msg::kCentralExtraShort);
        }
        if (directory_.InputHandle.Read(tail + name_length + extra_length, comment_length) != comment_length) {
            throw EZipMaster::Shown(zip_msg::kFileCommentShort);
        }
        const std::string name(reinterpret_cast<const char*>(tail), name_length);

        VolumeEntry* entry = index.Find(name);
        if (entry == nullptr) throw EZipMaster::Shown(zip_msg::kCentralWithoutLocal);
        entry->claimed = true;
        // Positions past what the classic slots hold go to the record's zip64 field.
        const MovedRecord moved = MoveCentralRecord(record, entry->offset, entry->disk);
        if (!moved.failure.empty()) {
            throw Error("the central record of " + Quoted(name) + " in " + directory_.InputPath +
                        " cannot be written: " + moved.failure);
        }
        const auto size = static_cast<std::int64_t>(moved.bytes.size());
        PlaceOnVolume(size);
        if (n == 0) {
            span_.CentralRecordDisk = directory_.CurrentDisk;
            span_.CentralRecordOffset = span_.VolumeBytesWritten;
        }
        VolumeWrite(moved.bytes.data(), size, size);
        span_.CentralBytesWritten += moved.bytes.size();
    }
}

// The end record goes on the last volume with the directory's place in the set. A source
// with a zip64 end record, or a set whose figures outgrow the classic fields, also gets a
// zip64 end record and its locator right before it.
void TZipMaster::WriteSpanEndRecord(EndRecord end_record) {
    const std::int64_t comment_size = end_record.CommentSize();
    const std::uint64_t central_size = span_.CentralBytesWritten;
    // Whether the central records ended on a volume or at an offset that the classic fields
    // cannot name; the end records go on that volume or a later one.
    const auto central_disk = static_cast<std::uint64_t>(span_.CentralRecordDisk);
    const bool zip64_end =
        span_.SourceZip64 || central_size > zip64::kLargest32 ||
        (span_.SourceEntryCount > 0 && (central_disk > zip64::kLargest16 ||
                                        static_cast<std::uint64_t>(span_.CentralRecordOffset) > zip64::kLargest32));
    const std::int64_t zip64_size =
        zip64_end ? static_cast<std::int64_t>(zip64::kEndRecordSize + zip64::kLocatorSize) : 0;
    const std::int64_t fit = zip64_size + static_cast<std::int64_t>(kEndRecordSize) + comment_size;
    PlaceOnVolume(fit);
    // An archive without entries has no central record to take the directory's place from:
    // its directory starts, empty, where the end records stand.
    if (span_.SourceEntryCount == 0) {
        span_.CentralRecordDisk = directory_.CurrentDisk;
        span_.CentralRecordOffset = span_.VolumeBytesWritten;
    }
    const auto this_disk = static_cast<std::uint32_t>(directory_.CurrentDisk);
    const auto disk = static_cast<std::uint32_t>(span_.CentralRecordDisk);
    const auto start = static_cast<std::uint64_t>(span_.CentralRecordOffset);
    if (zip64_end) {
        Zip64EndRecord record = Zip64EndRecord::Make(span_.SourceEntryCount, central_size, start);
        if (span_.SourceZip64) {
            // The source's own record (its versions and counts), without the extensible data
            // it may carry.
            record = span_.SourceZip64Record;
            PutU64LE<zip64::end_record::kRecordSize>(record.bytes, zip64::kEndRecordSize - 12);
            PutU64LE<zip64::end_record::kCentralSize>(record.bytes, central_size);
            record.SetCentralStart(start);
        }
        record.SetThisDisk(this_disk);
        record.SetCentralDisk(disk);
        const auto record_at = static_cast<std::uint64_t>(span_.VolumeBytesWritten);
        const Zip64Locator locator = Zip64Locator::Make(record_at, this_disk, this_disk + 1);
        VolumeWrite(record.bytes.data(), static_cast<std::int64_t>(record.bytes.size()), fit);
        VolumeWrite(locator.bytes.data(), static_cast<std::int64_t>(locator.bytes.size()), 0);
    }
    // The classic fields hold each figure that fits them; the others are saturated and left to
    // the zip64 record.
    end_record.SetThisDisk(Classic16(this_disk, this_disk > zip64::kLargest16));
    end_record.SetCentralDisk(Classic16(disk, disk > zip64::kLargest16));
    end_record.SetCentralStart(Classic32(start, start > zip64::kLargest32));
    PutU32LE<end_record::kCentralSize>(end_record.bytes, Classic32(central_size, central_size > zip64::kLargest32));
    VolumeWrite(end_record.bytes.data(), end_record.bytes.size(), fit - zip64_size);
    const std::int64_t comment_at = directory_.EndRecordOffset + static_cast<std::int64_t>(kEndRecordSize);
    if (directory_.InputHandle.Seek(comment_at) != comment_at) {
        throw EZipMaster::Shown(zip_msg::kSeekFailed);
    }
    CopyToVolumes(comment_size, zip_msg::kArchiveCommentShort);
}

}  // namespace kitforge
