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
#include "platform/ascii_case.h"
#include "os/errors.h"
#include "platform/file_stamp.h"
#include "zip/volume_names.h"
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
    if (!IsVolumeFailure(id)) return ".\nFile: " + directory_.InputPath + reason;
    const DriveType type = volumes_.TypeOf(directory_.DriveRoot);
    const bool numbered = type == DriveType::Fixed || type == DriveType::Network;
    const std::string& output = span_.OutputPath;
    return ".\nFile: " + (numbered ? NumberedVolumeName(output, directory_.CurrentDisk) : output) + reason;
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
        span_.DeferredSizes.clear();
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
    if (!stamp) throw Error("the date of " + input_path + " cannot be read");
    span_.SourceDate = stamp->modified_ns;
    span_.SourceDevice = static_cast<std::int64_t>(stamp->identity.first);
    span_.SourceInode = static_cast<std::int64_t>(stamp->identity.second);

    CheckSpanSource(end_record);
    if (directory_.InputHandle.Seek(0) != 0) throw EZipMaster::Shown(zip_msg::kSeekFailed);
    span_.VolumeEntries.assign(end_record.TotalEntries(), VolumeEntry{});

    const std::uint8_t signature[4] = {0x50, 0x4B, 0x07, 0x08};
    VolumeWrite(signature, sizeof signature, 0);

    span_.ProgressActive = true;
    if (OnProgress) {
        OnProgress(*this, ProgressFileCount, std::string(), end_record.TotalEntries());
        OnProgress(*this, ProgressByteTotal, std::string(), directory_.ArchiveSize);
    }
    CopyLocalEntries(end_record.TotalEntries());
    CopyCentralDirectory(end_record);
    WriteSpanEndRecord(end_record);
    StampAndCloseVolume();
    span_.ProgressActive = false;
}

// Checks, before anything is written, what the set could not hold: names longer than a
// volume record keeps, and zip64 archives, whose 64-bit positions the classic records of a
// set cannot carry. Also notes the sizes of entries written with a data descriptor, whose
// local header leaves them out.
void TZipMaster::CheckSpanSource(const EndRecord& end_record) {
    if (DefersToZip64(end_record)) {
        throw Error("the archive " + directory_.InputPath + " is a zip64 archive, which cannot be split into volumes");
    }
    if (end_record.ThisDisk() != 0 || end_record.CentralDisk() != 0) {
        throw Error("the archive " + directory_.InputPath + " is itself a part of a multi-volume set");
    }
    const std::int64_t central_start = directory_.EndRecordOffset - static_cast<std::int64_t>(end_record.CentralSize());
    if (central_start < 0) {
        throw Error("the central directory of " + directory_.InputPath + " runs past the start of the file");
    }
    std::vector<std::uint8_t> directory(end_record.CentralSize());
    if (directory_.InputHandle.Seek(central_start) != central_start ||
        directory_.InputHandle.Read(directory.data(), directory.size()) != directory.size()) {
        throw EZipMaster::Shown(zip_msg::kCentralHeaderShort);
    }

    span_.DeferredSizes.clear();
    ByteCursor cursor(directory);
    for (unsigned n = 0; n < end_record.TotalEntries(); ++n) {
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
        if (GetU16LE(header.data() + central::kFlags) & kFlagDataDescriptor) {
            span_.DeferredSizes.emplace_back(GetU32LE(header.data() + central::kLocalHeaderOffset),
                                             GetU32LE(header.data() + central::kPackedSize));
        }
        cursor.Skip(std::size_t{GetU16LE(header.data() + central::kExtraLength)} +
                    GetU16LE(header.data() + central::kCommentLength));
    }
    std::sort(span_.DeferredSizes.begin(), span_.DeferredSizes.end());
}

void TZipMaster::CopyLocalEntries(std::uint16_t total_entries) {
    std::array<std::uint8_t, kLocalHeaderSize> header{};
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

        // An entry written with a data descriptor may leave its sizes out of the local header;
        // its central record has them.
        std::uint32_t packed = GetU32LE<local::kPackedSize>(header);
        if (flags & kFlagDataDescriptor) {
            const auto key = static_cast<std::uint32_t>(source_offset);
            const auto it = std::lower_bound(span_.DeferredSizes.begin(), span_.DeferredSizes.end(),
                                             std::pair<std::uint32_t, std::uint32_t>{key, 0});
            if (it != span_.DeferredSizes.end() && it->first == key) packed = it->second;
        }

        VolumeEntry& entry = span_.VolumeEntries[i];
        entry.name = name;
        entry.name_length = name_length;

        if (OnMessage) {
            OnMessage(*this, kComponentMessageCode, MessageText(zip_msg::kCopying, "Copying: ") + ToBackslashes(name));
        }
        const std::int64_t header_size = static_cast<std::int64_t>(kLocalHeaderSize) + name_length + extra_length;
        const std::int64_t descriptor = (flags & kFlagDataDescriptor) ? kDataDescriptorSize : 0;
        if (OnProgress) OnProgress(*this, ProgressFileStart, ToBackslashes(name), header_size + packed + descriptor);

        VolumeWrite(header.data(), header.size(), header_size);
        entry.disk = static_cast<std::uint16_t>(directory_.CurrentDisk);
        entry.offset =
            static_cast<std::uint32_t>(span_.VolumeBytesWritten - static_cast<std::int64_t>(kLocalHeaderSize));
        VolumeWrite(name.data(), name_length, 0);
        CopyToVolumes(extra_length, zip_msg::kLocalExtraShort);
        CopyToVolumes(packed, zip_msg::kEntryDataShort);
        if (descriptor > 0) CopyDataDescriptor();
    }
}

// A data descriptor starts with its signature in the archives of nearly every writer, but the
// signature is optional: without it the descriptor is 12 bytes long.
void TZipMaster::CopyDataDescriptor() {
    std::array<std::uint8_t, kDataDescriptorSize> descriptor{};
    const std::size_t got = directory_.InputHandle.Read(descriptor.data(), descriptor.size());
    std::size_t size = kDataDescriptorSize;
    if (got >= 4 && GetU32LE<0>(descriptor) != kDataDescriptorSignature) size = kDataDescriptorSize - 4;
    if (got < size) throw EZipMaster::Shown(zip_msg::kDataDescriptorShort);
    if (got > size && directory_.InputHandle.Seek(static_cast<std::int64_t>(size) - static_cast<std::int64_t>(got),
                                                  File::Whence::Current) < 0) {
        throw EZipMaster::Shown(zip_msg::kSeekFailed);
    }
    VolumeWrite(descriptor.data(), static_cast<std::int64_t>(size), 0);
}

void TZipMaster::CopyCentralDirectory(const EndRecord& end_record) {
    if (OnMessage) {
        OnMessage(*this, kComponentMessageCode,
                  MessageText(zip_msg::kCopying, "Copying: ") + std::string(kCentralDirectoryName));
    }
    if (OnProgress) {
        OnProgress(*this, ProgressFileStart, std::string(kCentralDirectoryName),
                   std::int64_t{end_record.CentralSize()} + static_cast<std::int64_t>(kEndRecordSize) +
                       end_record.CommentSize());
    }
    // The directory is read where the end record says it stands, so bytes between the last
    // entry and the directory (padding some writers leave) are not taken for a record.
    const std::int64_t central_start = directory_.EndRecordOffset - static_cast<std::int64_t>(end_record.CentralSize());
    if (directory_.InputHandle.Seek(central_start) != central_start) throw EZipMaster::Shown(zip_msg::kSeekFailed);
    VolumeEntryIndex index(span_.VolumeEntries);
    std::array<std::uint8_t, kCentralHeaderSize> header{};
    for (unsigned n = 0; n < end_record.TotalEntries(); ++n) {
        if (directory_.InputHandle.Read(header.data(), header.size()) != header.size()) {
            throw EZipMaster::Shown(zip_msg::kCentralHeaderShort);
        }
        if (GetU32LE<central::kSignature>(header) != kCentralHeaderSignature) {
            throw EZipMaster::Shown(zip_msg::kCentralSignatureWrong);
        }
        const std::uint16_t name_length = GetU16LE<central::kNameLength>(header);
        const std::uint16_t extra_length = GetU16LE<central::kExtraLength>(header);
        const std::uint16_t comment_length = GetU16LE<central::kCommentLength>(header);
        std::string name(name_length, '\0');
        if (directory_.InputHandle.Read(name.data(), name.size()) != name.size()) {
            throw EZipMaster::Shown(zip_msg::kCentralNameShort);
        }

        VolumeEntry* entry = index.Find(name);
        if (entry == nullptr) throw EZipMaster::Shown(zip_msg::kCentralWithoutLocal);
        entry->claimed = true;
        PutU16LE<central::kStartDisk>(header, entry->disk);
        PutU32LE<central::kLocalHeaderOffset>(header, entry->offset);

        VolumeWrite(header.data(), header.size(),
                    static_cast<std::int64_t>(kCentralHeaderSize) + name_length + extra_length + comment_length);
        if (n == 0) {
            span_.CentralRecordDisk = directory_.CurrentDisk;
            span_.CentralRecordOffset = span_.VolumeBytesWritten - static_cast<std::int64_t>(kCentralHeaderSize);
        }
        VolumeWrite(name.data(), name_length, 0);
        CopyToVolumes(extra_length, zip_msg::kCentralExtraShort);
        CopyToVolumes(comment_length, zip_msg::kFileCommentShort);
    }
}

void TZipMaster::WriteSpanEndRecord(EndRecord end_record) {
    const std::int64_t fit = static_cast<std::int64_t>(kEndRecordSize) + end_record.CommentSize();
    PlaceOnVolume(fit);
    // An archive without entries has no central record to take the directory's place from:
    // its directory starts, empty, where the end record stands.
    if (end_record.TotalEntries() == 0) {
        span_.CentralRecordDisk = directory_.CurrentDisk;
        span_.CentralRecordOffset = span_.VolumeBytesWritten;
    }
    end_record.SetThisDisk(static_cast<std::uint16_t>(directory_.CurrentDisk));
    end_record.SetCentralDisk(static_cast<std::uint16_t>(span_.CentralRecordDisk));
    end_record.SetCentralStart(static_cast<std::uint32_t>(span_.CentralRecordOffset));
    VolumeWrite(end_record.bytes.data(), end_record.bytes.size(), fit);
    const std::int64_t comment_at = directory_.EndRecordOffset + static_cast<std::int64_t>(kEndRecordSize);
    if (directory_.InputHandle.Seek(comment_at) != comment_at) {
        throw EZipMaster::Shown(zip_msg::kSeekFailed);
    }
    CopyToVolumes(end_record.CommentSize(), zip_msg::kArchiveCommentShort);
}

}  // namespace kitforge
