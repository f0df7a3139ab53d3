// Reading an archive's central directory into the component: the end record (or its zip64
// form), the figures about the file (stub, shifted offsets, comment, multi-volume set) and one
// ZipDirEntry per entry, with the real figures of its zip64 field and the UTF-8 name of its
// Unicode Path field. Nothing the file says is trusted: positions and counts are checked
// against what the file can hold before they are used, and every read is bounded by what is
// left.

#include <zlib.h>

#include <algorithm>
#include <new>
#include <vector>

#include "formats/zip_extra_fields.h"
#include "platform/oem_code_page.h"
#include "platform/printable_text.h"
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

// The highest disk number taken from a zip64 record: a set never has more disks than the
// classic records can count, and RequestDisk counts in int.
constexpr std::uint32_t kMaxDisk = zip64::kSaturated16;

std::string DescribeCount(std::uint64_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

std::string Bytes(std::uint64_t count) { return DescribeCount(count, "byte", "bytes"); }

std::uint32_t Crc32Of(std::string_view bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // The text of a header is at most 65,535 bytes: one call takes it whole.
    crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
    return static_cast<std::uint32_t>(crc);
}

// The UTF-8 text a Unicode Path or Comment field gives for the header's own `text`, when the
// field is there and was written for that text; none otherwise.
std::optional<std::string_view> UnicodeText(std::span<const std::uint8_t> extra, std::uint16_t id,
                                            std::string_view text) {
    if (!FindExtraField(extra, id)) return std::nullopt;
    const auto unicode = UnicodeExtraText(extra, id, Crc32Of(text));
    if (!unicode || unicode->empty()) return std::nullopt;
    return unicode;
}

// "the packed size and the local header offset": the figures an entry leaves to zip64.
std::string SlotNames(const Zip64Slots& slots) {
    std::vector<std::string_view> names;
    if (slots.unpacked) names.push_back("unpacked size");
    if (slots.packed) names.push_back("packed size");
    if (slots.local_offset) names.push_back("local header offset");
    if (slots.start_disk) names.push_back("start disk");
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
        text += names[i];
    }
    return text;
}

// An entry's name as a report shows it: names come from whoever made the archive, and one
// with control characters must not reach a terminal as it is.
std::string ShownName(std::string_view name) { return "\"" + Printable(name, 260) + "\""; }

// Takes the entry's saturated figures from its zip64 extra field; an entry that saturates a
// figure without giving it there is damaged, and its figure cannot be guessed.
void ApplyZip64Figures(std::span<const std::uint8_t> extra, ZipDirEntry& entry, std::string_view shown_name) {
    const Zip64Slots slots =
        SaturatedSlots(entry.UnpackedSize, entry.PackedSize, entry.LocalHeaderOffset, entry.StartDisk);
    if (!slots.Any()) return;
    Zip64Figures figures{entry.UnpackedSize, entry.PackedSize, entry.LocalHeaderOffset, entry.StartDisk};
    switch (ApplyZip64Extra(extra, slots, figures)) {
        case Zip64Reading::kMissing:
            throw Error("the entry " + ShownName(shown_name) + " leaves its " + SlotNames(slots) +
                        " to a zip64 extra field, which it does not have");
        case Zip64Reading::kShort:
            throw Error("the entry " + ShownName(shown_name) + " leaves its " + SlotNames(slots) +
                        " to a zip64 extra field of " + Bytes(FindExtraField(extra, zip64::kExtraId)->size()) +
                        ", too short to hold them");
        case Zip64Reading::kNotNeeded:
        case Zip64Reading::kApplied: break;
    }
    entry.UnpackedSize64 = figures.unpacked;
    entry.PackedSize64 = figures.packed;
    entry.LocalHeaderOffset64 = figures.local_offset;
    entry.StartDisk32 = figures.start_disk;
}

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

    const DirectoryFigures figures = FiguresOf(end_record);
    directory_.TotalDisks = static_cast<int>(figures.last_disk);
    if (directory_.TotalDisks > 0) directory_.SpannedArchive = true;
    if (figures.central_disk != static_cast<std::uint32_t>(directory_.CurrentDisk)) {
        RequestDisk(static_cast<int>(figures.central_disk));
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
    ReadCentralEntries(figures);
    directory_.TotalDisks = static_cast<int>(figures.last_disk);
}

TZipMaster::DirectoryFigures TZipMaster::FiguresOf(const EndRecord& end_record) {
    DirectoryFigures figures{end_record.TotalEntries(),  end_record.CentralSize(), end_record.CentralStart(),
                             directory_.EndRecordOffset, end_record.ThisDisk(),    end_record.CentralDisk()};
    const bool saturated =
        end_record.TotalEntries() == zip64::kSaturated16 || end_record.CentralSize() == zip64::kSaturated32 ||
        end_record.CentralStart() == zip64::kSaturated32 || end_record.ThisDisk() == zip64::kSaturated16 ||
        end_record.CentralDisk() == zip64::kSaturated16;

    // Writers that cannot know the sizes in advance (Info-ZIP writing to a pipe) add the zip64
    // records even when no classic field is saturated: the directory then ends where the
    // zip64 record begins, and the classic figures hold.
    Zip64Locator locator;
    const std::int64_t locator_at = directory_.EndRecordOffset - static_cast<std::int64_t>(zip64::kLocatorSize);
    if (!ReadAt(directory_.InputHandle, locator_at, locator.bytes) || locator.Signature() != zip64::kLocatorSignature) {
        return figures;
    }
    if (!saturated) {
        if (locator.EndRecordDisk() != end_record.ThisDisk()) return figures;
        Zip64EndRecord record;
        const std::int64_t record_at = locator_at - static_cast<std::int64_t>(zip64::kEndRecordSize);
        if (ReadAt(directory_.InputHandle, record_at, record.bytes) &&
            record.Signature() == zip64::kEndRecordSignature) {
            figures.directory_end = record_at;
        }
        return figures;
    }
    // A set of more disks than the classic record counts gives the count in the locator only.
    std::uint32_t this_disk = end_record.ThisDisk();
    if (this_disk == zip64::kSaturated16 && locator.TotalDisks() > 0) {
        this_disk = std::min<std::uint32_t>(locator.TotalDisks() - 1, kMaxDisk);
    }
    directory_.CurrentDisk = static_cast<int>(this_disk);
    const auto IsRecord = [](const Zip64EndRecord& r) { return r.Signature() == zip64::kEndRecordSignature; };
    Zip64EndRecord record;
    std::int64_t record_at = -1;
    const std::uint64_t recorded = locator.EndRecordOffset();
    if (locator.EndRecordDisk() == static_cast<std::uint32_t>(directory_.CurrentDisk)) {
        // The zip64 record stands right before its locator. Its recorded offset is tried
        // second: it is off by the stub when the archive was put behind one.
        record_at = locator_at - static_cast<std::int64_t>(zip64::kEndRecordSize);
        if (!ReadAt(directory_.InputHandle, record_at, record.bytes) || !IsRecord(record)) {
            record_at = recorded <= static_cast<std::uint64_t>(locator_at) ? static_cast<std::int64_t>(recorded) : -1;
            if (!ReadAt(directory_.InputHandle, record_at, record.bytes) || !IsRecord(record)) return figures;
        }
    } else {
        // The record went onto an earlier disk of the set: the locator says which, and where.
        if (locator.EndRecordDisk() > kMaxDisk) {
            throw Error("the zip64 locator puts the zip64 end record on disk " +
                        std::to_string(std::uint64_t{locator.EndRecordDisk()} + 1) + ", more than a set can have");
        }
        RequestDisk(static_cast<int>(locator.EndRecordDisk()));
        record_at = recorded <= INT64_MAX ? static_cast<std::int64_t>(recorded) : -1;
        if (!ReadAt(directory_.InputHandle, record_at, record.bytes) || !IsRecord(record)) {
            throw Error("the zip64 locator points at offset " + std::to_string(recorded) + " of disk " +
                        std::to_string(std::uint64_t{locator.EndRecordDisk()} + 1) +
                        ", where no zip64 end record stands");
        }
    }
    if (record.ThisDisk() > kMaxDisk || record.CentralDisk() > kMaxDisk) {
        throw Error("the zip64 end record gives disk " +
                    std::to_string(std::uint64_t{std::max(record.ThisDisk(), record.CentralDisk())} + 1) +
                    ", more than a set can have");
    }
    directory_.Zip64Directory = true;
    directory_.Zip64TotalEntries = record.TotalEntries();
    directory_.Zip64CentralSize = record.CentralSize();
    directory_.Zip64CentralStart = record.CentralStart();
    // The last disk is the one whose file holds the classic end record, whichever disk the
    // zip64 record went onto.
    return {record.TotalEntries(), record.CentralSize(), record.CentralStart(), record_at, this_disk,
            record.CentralDisk()};
}

void TZipMaster::ReadCentralEntries(const DirectoryFigures& figures) {
    DirectoryStream stream(directory_.InputHandle);
    directory_.Entries.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(
        {figures.total_entries, figures.central_size / kCentralHeaderSize, std::uint64_t{1} << 20})));

    std::array<std::uint8_t, kCentralHeaderSize> header{};
    std::string name;
    std::vector<std::uint8_t> extra;
    for (std::uint64_t n = 0; n < figures.total_entries; ++n) {
        // An entry header never straddles two disks: a short read means the directory goes on
        // at the start of the next disk.
        while (stream.Read(header.data(), header.size()) < header.size()) {
            if (directory_.CurrentDisk >= static_cast<int>(figures.last_disk)) {
                throw EZipMaster::Shown(zip_msg::kCentralHeaderShort);
            }
            RequestDisk(directory_.CurrentDisk + 1);
            stream.Restart();
        }
        if (GetU32LE<central::kSignature>(header) != kCentralHeaderSignature) {
            throw EZipMaster::Shown(zip_msg::kCentralSignatureWrong);
        }

        ZipDirEntry entry;
        DecodeCentralHeader(header, entry);
        name.resize(entry.NameLength);
        if (stream.Read(name.data(), name.size()) < name.size()) throw EZipMaster::Shown(zip_msg::kCentralNameShort);
        extra.resize(entry.ExtraLength);
        if (stream.Read(extra.data(), extra.size()) < extra.size()) {
            throw Error("the extra field of the entry " + ShownName(name) + " is cut short");
        }
        // Names flagged as UTF-8 are already what they mean. Others may carry their UTF-8
        // form in a Unicode Path field, taken when it was written for this very name (a
        // renaming tool that did not know the field leaves it stale); without one they may be
        // in an OEM code page. Both conversions of the stored name keep its length, so they
        // are done in place.
        const bool utf8 = (entry.Flags & kFlagUtf8) != 0;
        const auto unicode_name = utf8 ? std::nullopt : UnicodeText(extra, extra::kUnicodePathId, name);
        const bool oem = !utf8 && IsOemName(entry.HostSystem, entry.SpecVersion);
        if (unicode_name) {
            entry.FileName.assign(*unicode_name);
            std::replace(entry.FileName.begin(), entry.FileName.end(), '/', '\\');
        } else {
            for (char& c : name) {
                if (oem) c = static_cast<char>(OemToAnsiChar(static_cast<unsigned char>(c)));
                if (c == '/') c = '\\';
            }
            entry.FileName = name;
        }
        directory_.Entries.push_back(std::move(entry));
        ZipDirEntry& kept = directory_.Entries.back();

        if (kept.CommentLength > 0) {
            std::string comment(kept.CommentLength, '\0');
            if (stream.Read(comment.data(), comment.size()) < comment.size()) {
                throw EZipMaster::Shown(zip_msg::kFileCommentShort);
            }
            const auto unicode_comment = utf8 ? std::nullopt : UnicodeText(extra, extra::kUnicodeCommentId, comment);
            if (unicode_comment) {
                comment.assign(*unicode_comment);
            } else if (oem) {
                comment = OemToAnsi(comment);
            }
            kept.FileComment = std::move(comment);
        }
        ApplyZip64Figures(extra, kept, kept.FileName);
        if (static_cast<std::uint64_t>(directory_.StubSize) > kept.LocalHeaderOffset64) {
            directory_.StubSize = static_cast<std::int64_t>(kept.LocalHeaderOffset64);
        }
    }
}

}  // namespace kitforge
