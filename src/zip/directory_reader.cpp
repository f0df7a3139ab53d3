// Reading an archive's central directory into the component: the end record, the figures
// about the file (stub, shifted offsets, comment, multi-volume set) and one ZipDirEntry per
// entry. Nothing the file says is trusted: positions and counts are checked against what the
// file can hold before they are used, and every read is bounded by what is left.

#include <algorithm>
#include <new>
#include <vector>

#include "platform/oem_code_page.h"
#include "zip/zip_master.h"

namespace kitforge {

namespace {

using namespace formats;

// Reads the directory through one buffer, so that an entry costs a few copies rather than
// three system calls. Skips within the buffer are free; longer ones seek.
class DirectoryStream {
public:
    explicit DirectoryStream(File& file) : file_(file), buffer_(kBufferSize) {}

    // Up to `size` bytes; fewer only at the end of the file or on a read error.
    std::size_t Read(void* data, std::size_t size) {
        auto* out = static_cast<std::uint8_t*>(data);
        std::size_t done = 0;
        while (done < size) {
            if (position_ == end_) {
                if (size - done >= buffer_.size()) return done + file_.Read(out + done, size - done);
                if (!Fill()) break;
            }
            const std::size_t n = std::min(size - done, end_ - position_);
            std::copy_n(buffer_.data() + position_, n, out + done);
            position_ += n;
            done += n;
        }
        return done;
    }

    // Moves `count` bytes forward; false when the file refuses the seek.
    bool Skip(std::uint64_t count) {
        const std::size_t buffered = end_ - position_;
        if (count <= buffered) {
            position_ += static_cast<std::size_t>(count);
            return true;
        }
        Restart();
        return file_.Seek(static_cast<std::int64_t>(count - buffered), File::Whence::Current) >= 0;
    }

    // Forgets what was buffered, after the file was repositioned or replaced by another.
    void Restart() noexcept { position_ = end_ = 0; }

private:
    static constexpr std::size_t kBufferSize = 64 * 1024;

    bool Fill() {
        position_ = 0;
        end_ = file_.Read(buffer_.data(), buffer_.size());
        return end_ > 0;
    }

    File& file_;
    std::vector<std::uint8_t> buffer_;
    std::size_t position_ = 0;
    std::size_t end_ = 0;
};

// Reads `size` bytes at `offset`; false when the file does not hold them.
template <std::size_t N>
bool ReadAt(File& file, std::int64_t offset, std::array<std::uint8_t, N>& out) {
    return offset >= 0 && file.Seek(offset) == offset && file.Read(out.data(), N) == N;
}

std::string DescribeCount(std::uint64_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

std::string Bytes(std::uint64_t count) { return DescribeCount(count, "byte", "bytes"); }

}  // namespace

void TZipMaster::ReadDirectory() {
    ClearEntries();
    directory_.PhysicalSize = 0;
    directory_.CentralOffset = 0;
    directory_.StubSize = 0;
    directory_.ArchiveComment.clear();
    directory_.SpannedArchive = false;
    directory_.OffsetsShifted = false;
    directory_.Zip64Directory = false;
    std::int64_t central_position = 0;

    if (!FileExists(zip_filename_)) {
        if (OnDirUpdate) OnDirUpdate(*this);
        return;
    }

    bool failed = true;
    {
        BusyCursor busy(host_);
        try {
            ReadDirectorySteps(central_position);
            failed = false;
        } catch (const EZipMaster& failure) {
            ReportException(failure, FileNote());
        } catch (const std::bad_alloc&) {
            ReportMessage(zip_msg::kOutOfMemory, FileNote());
        } catch (const std::exception& failure) {
            ReportMessage(zip_msg::kDirectoryReadFailed, std::string(": ") + failure.what() + FileNote());
        }
        CloseInput();
    }

    if (failed) {
        zip_filename_.clear();
        directory_.StubSize = 0;
    } else {
        // The smallest recorded local-header offset, moved by the shift of the data. Offsets
        // that claim more than the file moved (a damaged archive) give no stub, not a negative
        // one.
        directory_.StubSize =
            std::max<std::int64_t>(0, directory_.StubSize + (central_position - directory_.RecordedCentralStart));
    }
    if (OnDirUpdate) OnDirUpdate(*this);
}

void TZipMaster::ReadDirectorySteps(std::int64_t& central_position) {
    directory_.InputPath = zip_filename_;
    directory_.DriveRoot = volumes_.DriveRootOf(directory_.InputPath);
    if (!CheckDrive()) throw EZipMaster::WithDrive(zip_msg::kDriveNotReady, directory_.DriveRoot);

    EndRecord end_record;
    LocateEndRecord(end_record);
    directory_.TotalDisks = end_record.ThisDisk();
    // The file just opened is the disk that holds the end record.
    directory_.CurrentDisk = directory_.TotalDisks;
    if (directory_.TotalDisks > 0) directory_.SpannedArchive = true;

    const DirectoryFigures figures = FiguresOf(end_record);
    if (end_record.CentralDisk() != end_record.ThisDisk()) {
        RequestDisk(end_record.CentralDisk());
        directory_.ArchiveSize = directory_.InputHandle.Size();
        if (directory_.ArchiveSize < 0) throw Error("the size of the disk's archive file cannot be read");
        central_position = static_cast<std::int64_t>(figures.central_start);
    } else {
        // The directory ends where the end record (or its zip64 form) begins.
        if (figures.central_size > static_cast<std::uint64_t>(figures.directory_end)) {
            throw Error("the end record gives a central directory of " + Bytes(figures.central_size) +
                        ", more than the " + Bytes(static_cast<std::uint64_t>(figures.directory_end)) + " before it");
        }
        central_position = figures.directory_end - static_cast<std::int64_t>(figures.central_size);
    }
    // Every entry takes at least its fixed header: a count the directory cannot hold is a
    // damaged record, not a reason to allocate.
    if (figures.total_entries > figures.central_size / kCentralHeaderSize) {
        throw Error("the end record claims " + DescribeCount(figures.total_entries, "entry", "entries") +
                    " in a central directory of " + Bytes(figures.central_size));
    }

    directory_.CentralOffset = central_position;
    directory_.RecordedCentralStart =
        static_cast<std::int64_t>(std::min<std::uint64_t>(figures.central_start, INT64_MAX));
    // What precedes the first local header; with no entries, what precedes the directory.
    directory_.StubSize = directory_.RecordedCentralStart;

    directory_.OffsetsShifted = directory_.RecordedCentralStart != central_position;
    if (directory_.OffsetsShifted) ReportMessage(zip_msg::kOffsetsShifted, FileNote());

    if (directory_.InputHandle.Seek(central_position) != central_position) {
        throw EZipMaster::Shown(zip_msg::kDirectorySeekFailed);
    }
    ReadCentralEntries(end_record, figures);
    directory_.TotalDisks = end_record.ThisDisk();
}

TZipMaster::DirectoryFigures TZipMaster::FiguresOf(const EndRecord& end_record) {
    DirectoryFigures figures{end_record.TotalEntries(), end_record.CentralSize(), end_record.CentralStart(),
                             directory_.EndRecordOffset};
    const bool saturated = end_record.TotalEntries() == zip64::kSaturated16 ||
                           end_record.CentralSize() == zip64::kSaturated32 ||
                           end_record.CentralStart() == zip64::kSaturated32;
    if (!saturated || end_record.ThisDisk() != end_record.CentralDisk()) return figures;

    std::array<std::uint8_t, zip64::kLocatorSize> locator{};
    const std::int64_t locator_at = directory_.EndRecordOffset - static_cast<std::int64_t>(zip64::kLocatorSize);
    if (!ReadAt(directory_.InputHandle, locator_at, locator) ||
        GetU32LE<zip64::locator::kSignature>(locator) != zip64::kLocatorSignature) {
        return figures;
    }
    // The zip64 record stands right before its locator. Its recorded offset is tried second:
    // it is off by the stub when the archive was put behind one.
    std::array<std::uint8_t, zip64::kEndRecordSize> record{};
    std::int64_t record_at = locator_at - static_cast<std::int64_t>(zip64::kEndRecordSize);
    if (!ReadAt(directory_.InputHandle, record_at, record) ||
        GetU32LE<zip64::end_record::kSignature>(record) != zip64::kEndRecordSignature) {
        const std::uint64_t recorded = GetU64LE<zip64::locator::kEndRecordOffset>(locator);
        record_at = recorded <= static_cast<std::uint64_t>(locator_at) ? static_cast<std::int64_t>(recorded) : -1;
        if (!ReadAt(directory_.InputHandle, record_at, record) ||
            GetU32LE<zip64::end_record::kSignature>(record) != zip64::kEndRecordSignature) {
            return figures;
        }
    }
    directory_.Zip64Directory = true;
    directory_.Zip64TotalEntries = GetU64LE<zip64::end_record::kTotalEntries>(record);
    directory_.Zip64CentralSize = GetU64LE<zip64::end_record::kCentralSize>(record);
    directory_.Zip64CentralStart = GetU64LE<zip64::end_record::kCentralStart>(record);
    return {directory_.Zip64TotalEntries, directory_.Zip64CentralSize, directory_.Zip64CentralStart, record_at};
}

void TZipMaster::ReadCentralEntries(const EndRecord& end_record, const DirectoryFigures& figures) {
    DirectoryStream stream(directory_.InputHandle);
    directory_.Entries.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(
        {figures.total_entries, figures.central_size / kCentralHeaderSize, std::uint64_t{1} << 20})));

    std::array<std::uint8_t, kCentralHeaderSize> header{};
    for (std::uint64_t n = 0; n < figures.total_entries; ++n) {
        // An entry header never straddles two disks: a short read means the directory goes on
        // at the start of the next disk.
        while (stream.Read(header.data(), header.size()) < header.size()) {
            if (directory_.CurrentDisk >= end_record.ThisDisk()) throw EZipMaster::Shown(zip_msg::kCentralHeaderShort);
            RequestDisk(directory_.CurrentDisk + 1);
            stream.Restart();
        }
        if (GetU32LE<central::kSignature>(header) != kCentralHeaderSignature) {
            throw EZipMaster::Shown(zip_msg::kCentralSignatureWrong);
        }

        ZipDirEntry entry;
        DecodeCentralHeader(header, entry);
        std::string name(entry.NameLength, '\0');
        if (stream.Read(name.data(), name.size()) < name.size()) throw EZipMaster::Shown(zip_msg::kCentralNameShort);
        // Names flagged as UTF-8 are already what they mean; only the others may be in an
        // OEM code page. Both conversions keep the length, so they are done in place.
        const bool oem = (entry.Flags & kFlagUtf8) == 0 && IsOemName(entry.HostSystem, entry.SpecVersion);
        for (char& c : name) {
            if (oem) c = static_cast<char>(OemToAnsiChar(static_cast<unsigned char>(c)));
            if (c == '/') c = '\\';
        }
        entry.FileName = std::move(name);
        directory_.Entries.push_back(std::move(entry));
        ZipDirEntry& kept = directory_.Entries.back();

        if (!stream.Skip(kept.ExtraLength)) throw EZipMaster::Shown(zip_msg::kDirectorySeekFailed);
        if (kept.CommentLength > 0) {
            std::string comment(kept.CommentLength, '\0');
            if (stream.Read(comment.data(), comment.size()) < comment.size()) {
                throw EZipMaster::Shown(zip_msg::kFileCommentShort);
            }
            if (oem) comment = OemToAnsi(comment);
            kept.FileComment = std::move(comment);
        }
        if (directory_.StubSize > static_cast<std::int64_t>(kept.LocalHeaderOffset)) {
            directory_.StubSize = kept.LocalHeaderOffset;
        }
    }
}

}  // namespace kitforge
