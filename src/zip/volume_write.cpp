// Writing bytes onto the volumes of a set: opening each volume (asking for its disk, the
// overwrite questions, the free-space rule), placing records by their fit size so that none
// is split, and finishing each full volume with the archive's date.

#include <algorithm>
#include <climits>

#include "platform/file_copy.h"
#include "os/native_path.h"
#include "os/errors.h"
#include "platform/file_stamp.h"
#include "zip/volume_names.h"
#include "zip/zip_master.h"

namespace kitforge {

namespace {

constexpr std::size_t kCopyBufferSize = 8192;
// Entry data of at least this size goes through the kernel's copy instead of the buffer.
constexpr std::int64_t kKernelCopyThreshold = 64 * 1024;
constexpr std::int64_t kKernelCopyChunk = 8 << 20;
// A removable disk is most likely FAT, whose files stop at 4 GiB - 1; the volumes on one stay
// below that. Elsewhere a volume may pass 4 GiB, its positions beyond in zip64 fields.
constexpr std::int64_t kLargestDiskVolume = 0xFFFFFFFFLL;

bool IsFileSystemDrive(DriveType type) { return type == DriveType::Fixed || type == DriveType::Network; }

std::int64_t ModificationTime(const std::string& path) {
    const auto stamp = StampOf(path);
    return stamp ? stamp->modified_ns : -1;
}

}  // namespace

void TZipMaster::VolumeWrite(const void* data, std::int64_t count, std::int64_t fit_size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    PlaceOnVolume(fit_size);
    for (;;) {
        const std::int64_t n = std::min<std::int64_t>(count, static_cast<std::int64_t>(directory_.DiskFree));
        if (n > 0 && span_.OutputHandle.Write(bytes, static_cast<std::size_t>(n)) != static_cast<std::size_t>(n)) {
            span_.FailureErrorCode = span_.OutputHandle.LastError();
            throw EZipMaster::Shown(zip_msg::kVolumeWriteFailed);
        }
        NoteVolumeWrite(n);
        if (n == count) return;
        // The volume is full: the rest goes on the next one.
        FinishVolume();
        bytes += n;
        count -= n;
        PlaceOnVolume(0);
    }
}

void TZipMaster::CopyToVolumes(std::int64_t count, int message_id) {
    std::array<std::uint8_t, kCopyBufferSize> buffer{};
    while (count > 0) {
        if (count >= kKernelCopyThreshold) {
            // Large data moves file to file inside the kernel, one volume's share at a time.
            PlaceOnVolume(0);
            if (directory_.DiskFree == 0) {
                FinishVolume();
                continue;
            }
            const std::int64_t n = std::min({count, static_cast<std::int64_t>(directory_.DiskFree), kKernelCopyChunk});
            CopyOptions options;
            options.kernel_chunk = static_cast<std::size_t>(n);
            options.buffer_size = 64 * 1024;
            const CopyOutcome outcome =
                CopyBytes(directory_.InputHandle, span_.OutputHandle, static_cast<std::uint64_t>(n), options);
            if (outcome.write_error != 0) {
                span_.FailureErrorCode = outcome.write_error;
                throw EZipMaster::Shown(zip_msg::kVolumeWriteFailed);
            }
            NoteVolumeWrite(static_cast<std::int64_t>(outcome.copied));
            span_.FailureErrorCode = outcome.read_error;
            if (outcome.read_error != 0 || outcome.copied != static_cast<std::uint64_t>(n)) {
                throw EZipMaster::Shown(message_id);
            }
            count -= n;
            continue;
        }
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(count, kCopyBufferSize));
        if (directory_.InputHandle.Read(buffer.data(), want) != want) throw EZipMaster::Shown(message_id);
        VolumeWrite(buffer.data(), static_cast<std::int64_t>(want), 0);
        count -= static_cast<std::int64_t>(want);
    }
}

void TZipMaster::NoteVolumeWrite(std::int64_t count) {
    span_.VolumeBytesWritten += count;
    directory_.DiskFree -= static_cast<std::uint64_t>(count);
    if (span_.ProgressActive && OnProgress && count > 0) OnProgress(*this, ProgressAdvance, std::string(), count);
}

void TZipMaster::PlaceOnVolume(std::int64_t fit_size) {
    for (;;) {
        host_.ProcessMessages();
        if (operation_.CancelRequested) throw EZipMaster::Silent(zip_msg::kStopped);
        if (!span_.OutputHandle.IsOpen()) OpenVolume();
        if (fit_size <= 0 || fit_size <= static_cast<std::int64_t>(directory_.DiskFree)) return;
        // A record that does not fit even on a volume that holds nothing yet would otherwise
        // have one empty volume after another made for it, without end.
        if (span_.VolumeBytesWritten == 0) {
            throw Error("a record of " + std::to_string(fit_size) + " bytes does not fit on volume " +
                        VolumeNumberText(directory_.CurrentDisk) + ", which has room for " +
                        std::to_string(directory_.DiskFree) + " bytes; allow larger volumes");
        }
        FinishVolume();
    }
}

void TZipMaster::OpenVolume() {
    for (;;) {
        if (directory_.CurrentDisk >= kMaxVolumes) {
            throw Error("the archive needs more than " + std::to_string(kMaxVolumes) +
                        " volumes; allow larger volumes");
        }
        const DriveType type = AskForDisk();
        std::string name = span_.OutputPath;
        if (IsFileSystemDrive(type)) {
            name = NumberedVolumeName(span_.OutputPath, directory_.CurrentDisk);
        } else if (add_options_.Contains(AddDiskSpanErase)) {
            span_.FormatDrive = 0;
            directory_.VolumeLabel = SpanVolumeLabel(directory_.CurrentDisk);
            const int formatted = FormatDisk();
            if (formatted == format_result::kCancelled) throw EZipMaster::Silent(zip_msg::kStopped);
            if (formatted == format_result::kFailed) throw EZipMaster::Shown(zip_msg::kStopped);
        }

        if (FileExists(name)) {
            const auto stamp = StampOf(name);
            if (stamp && static_cast<std::int64_t>(stamp->identity.first) == span_.SourceDevice &&
                static_cast<std::int64_t>(stamp->identity.second) == span_.SourceInode) {
                throw Error("the volume " + DisplayPath(name) + " would overwrite the archive being split");
            }
            if (!ConfirmOverwrite(name)) {
                span_.VolumeBytesWritten = 0;
                span_.NewDiskNeeded = true;
                continue;
            }
        }

        try {
            span_.OutputHandle = File::Create(name);
        } catch (const FileError& e) {
            span_.FailureErrorCode = e.Code();
            throw EZipMaster::Shown(zip_msg::kCannotCreateVolume);
        }
        span_.OpenVolumePath = name;
        QueryDiskSpace(disk_figure::kFree);
        const std::uint64_t disk_free = directory_.DiskFree;
        std::int64_t free = disk_free == kSizeNotDetermined || disk_free > static_cast<std::uint64_t>(INT64_MAX)
                                ? INT64_MAX
                                : static_cast<std::int64_t>(disk_free);
        if (max_volume_size_ > 0 && max_volume_size_ < free) free = max_volume_size_;
        if (directory_.CurrentDisk == 0) free -= keep_free_on_disk1_;
        if (!IsFileSystemDrive(type)) free = std::min(free, kLargestDiskVolume);

        // A volume with no room at all is refused whatever the smallest volume is set to;
        // otherwise nothing could ever be written to it.
        if (free < std::max(min_free_volume_size_, 1)) {
            span_.OutputHandle = File();
            span_.OpenVolumePath.clear();
            DeleteFile(name);
            directory_.DiskFree = 0;
            if (unattended_) throw EZipMaster::Shown(zip_msg::kPromptWhileUnattended);
            Answer answer = Answer::Cancel;
            try {
                answer = host_.ShowMessage(
                    MessageKind::Error,
                    MessageText(zip_msg::kNotEnoughFreeSpace, "This disk has not enough free space available"),
                    kApplicationTitle, Buttons::RetryCancel);
            } catch (const std::exception&) {
                throw EZipMaster::Shown(zip_msg::kFreeSpaceBoxFailed);
            }
            if (answer != Answer::Retry) throw EZipMaster::Silent(zip_msg::kStopped);
            span_.VolumeBytesWritten = 0;
            span_.NewDiskNeeded = true;
            continue;
        }
        directory_.DiskFree = static_cast<std::uint64_t>(free);

        if (!IsFileSystemDrive(type)) {
            directory_.VolumeLabel = SpanVolumeLabel(directory_.CurrentDisk);
            if (!volumes_.SetLabel(directory_.DriveRoot, directory_.VolumeLabel)) {
                throw EZipMaster::Shown(zip_msg::kCannotSetLabel);
            }
        }
        return;
    }
}

// Asks whether an existing file on the volume may be replaced. A file with the archive's own
// date on a disk labelled as an earlier volume is most likely this very set's earlier disk put
// back by mistake, and the question says so.
bool TZipMaster::ConfirmOverwrite(const std::string& volume_name) {
    if (unattended_) throw EZipMaster::Shown(zip_msg::kPromptWhileUnattended);
    // A label without a volume number counts as the first volume.
    const int d = SpanLabelNumber(directory_.VolumeLabel).value_or(1);
    std::string question;
    // Numbered files on a fixed drive are told apart by their names, not by a disk label:
    // there the question always names the file.
    const bool removable = !IsFileSystemDrive(volumes_.TypeOf(directory_.DriveRoot));
    if (removable && ModificationTime(volume_name) == span_.SourceDate && d - 1 < directory_.CurrentDisk) {
        question =
            FormatMessageText(MessageText(zip_msg::kOverwriteDisk, "Overwrite previous disk no %d"), {std::int64_t{d}});
    } else {
        question = FormatMessageText(MessageText(zip_msg::kOverwriteFile, "Overwrite previous file %s"), {volume_name});
    }
    // No is the default: a hasty Enter must not destroy the file.
    const Answer answer =
        host_.ShowMessage(MessageKind::Warning, question, "Confirm", Buttons::YesNoCancel, Answer::No);
    if (answer == Answer::Yes) return true;
    // No asks for another disk. A fixed or network drive has no other disk to offer: the same
    // file would be asked about again without end, so there No stops the copy as Cancel does.
    if (answer == Answer::No && removable) return false;
    throw EZipMaster::Silent(zip_msg::kStopped);
}

void TZipMaster::FinishVolume() {
    StampAndCloseVolume();
    span_.VolumeBytesWritten = 0;
    span_.NewDiskNeeded = true;
    directory_.DiskFree = 0;
    ++directory_.CurrentDisk;
}

void TZipMaster::StampAndCloseVolume() {
    if (!span_.OutputHandle.IsOpen()) return;
    File volume = std::move(span_.OutputHandle);
    span_.OutputHandle = File();
    SetModificationTime(volume, span_.SourceDate);
    try {
        // A disk is taken out of the drive right after the prompt for the next one: what was
        // written to it must be on it by then, not in the cache.
        if (!IsFileSystemDrive(volumes_.TypeOf(directory_.DriveRoot))) volume.Sync();
        volume.Close();
    } catch (const FileError& e) {
        span_.FailureErrorCode = e.Code();
        throw EZipMaster::Shown(zip_msg::kVolumeWriteFailed);
    } catch (const Error&) {
        throw EZipMaster::Shown(zip_msg::kVolumeWriteFailed);
    }
    span_.OpenVolumePath.clear();
}

void TZipMaster::CloseOutputVolume() noexcept {
    try {
        StampAndCloseVolume();
    } catch (...) {
    }
}

}  // namespace kitforge
