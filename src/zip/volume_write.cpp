// Writing bytes onto the volumes of a set: opening each volume (asking for its disk, the
// overwrite questions, the free-space rule), placing records by their fit size so that none
// is split, and finishing each full volume with the archive's date.

#include <algorithm>
#include <climits>
#include <cstdio>

#include "platform/file_copy.h"
#include "os/errors.h"
#include "platform/file_stamp.h"
#include "platform/paths.h"
#include "zip/zip_master.h"

namespace kitforge {

namespace {

constexpr std::size_t kCopyBufferSize = 8192;
// Entry data of at least this size goes through the kernel's copy instead of the buffer.
constexpr std::int64_t kKernelCopyThreshold = 64 * 1024;
constexpr std::int64_t kKernelCopyChunk = 8 << 20;
// Offsets within a volume are stored in 32 bits, so no volume may grow beyond them.
constexpr std::int64_t kLargestVolume = 0xFFFFFFFFLL;
constexpr std::string_view kLabelPrefix = "PKBACK# ";

bool IsFileSystemDrive(DriveType type) { return type == DriveType::Fixed || type == DriveType::Network; }

std::int64_t ModificationTime(const std::string& path) {
    const auto stamp = StampOf(path);
    return stamp ? stamp->modified_ns : -1;
}

}  // namespace

std::string VolumeNumberText(int disk) {
    char text[16];
    std::snprintf(text, sizeof text, "%03d", disk + 1);
    return text;
}

std::string SpanVolumeLabel(int disk) { return std::string(kLabelPrefix) + VolumeNumberText(disk); }

std::optional<int> SpanLabelNumber(std::string_view label) {
    if (label.substr(0, kLabelPrefix.size()) != kLabelPrefix) return std::nullopt;
    std::string_view digits = label.substr(kLabelPrefix.size(), 3);
    // Some systems pad labels with blanks.
    while (!digits.empty() && digits.back() == ' ') digits.remove_suffix(1);
    if (digits.empty()) return std::nullopt;
    int number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + (c - '0');
    }
    return number;
}

std::string NumberedVolumeName(std::string_view path, int disk) {
    const std::size_t name_start = path.size() - FileNamePart(path).size();
    const std::size_t dot = path.rfind('.');
    const std::size_t cut = dot != std::string_view::npos && dot >= name_start ? dot : path.size();
    return std::string(path.substr(0, cut)) + VolumeNumberText(disk) + std::string(path.substr(cut));
}

void TZipMaster::VolumeWrite(const void* data, std::int64_t count, std::int64_t fit_size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    PlaceOnVolume(fit_size);
    for (;;) {
        const std::int64_t n = std::min<std::int64_t>(count, static_cast<std::int64_t>(DiskFree));
        if (n > 0 && OutputHandle.Write(bytes, static_cast<std::size_t>(n)) != static_cast<std::size_t>(n)) {
            FailureErrorCode = OutputHandle.LastError();
            throw EZipMaster(zip_msg::kVolumeWriteFailed, true);
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
            if (DiskFree == 0) {
                FinishVolume();
                continue;
            }
            const std::int64_t n = std::min({count, static_cast<std::int64_t>(DiskFree), kKernelCopyChunk});
            CopyOptions options;
            options.kernel_chunk = static_cast<std::size_t>(n);
            options.buffer_size = 64 * 1024;
            const CopyOutcome outcome = CopyBytes(InputHandle, OutputHandle, static_cast<std::uint64_t>(n), options);
            if (outcome.write_error != 0) {
                FailureErrorCode = outcome.write_error;
                throw EZipMaster(zip_msg::kVolumeWriteFailed, true);
            }
            NoteVolumeWrite(static_cast<std::int64_t>(outcome.copied));
            FailureErrorCode = outcome.read_error;
            if (outcome.read_error != 0 || outcome.copied != static_cast<std::uint64_t>(n)) {
                throw EZipMaster(message_id, true);
            }
            count -= n;
            continue;
        }
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(count, kCopyBufferSize));
        if (InputHandle.Read(buffer.data(), want) != want) throw EZipMaster(message_id, true);
        VolumeWrite(buffer.data(), static_cast<std::int64_t>(want), 0);
        count -= static_cast<std::int64_t>(want);
    }
}

void TZipMaster::NoteVolumeWrite(std::int64_t count) {
    VolumeBytesWritten += count;
    DiskFree -= static_cast<std::uint64_t>(count);
    if (ProgressActive && OnProgress && count > 0) OnProgress(*this, ProgressAdvance, std::string(), count);
}

void TZipMaster::PlaceOnVolume(std::int64_t fit_size) {
    for (;;) {
        host_.ProcessMessages();
        if (CancelRequested) throw EZipMaster(zip_msg::kStopped, false);
        if (!OutputHandle.IsOpen()) OpenVolume();
        if (fit_size <= 0 || fit_size <= static_cast<std::int64_t>(DiskFree)) return;
        // A record that does not fit even on a volume that holds nothing yet would otherwise
        // have one empty volume after another made for it, without end.
        if (VolumeBytesWritten == 0) {
            throw Error("a record of " + std::to_string(fit_size) + " bytes does not fit on volume " +
                        VolumeNumberText(CurrentDisk) + ", which has room for " + std::to_string(DiskFree) +
                        " bytes; allow larger volumes");
        }
        FinishVolume();
    }
}

void TZipMaster::OpenVolume() {
    for (;;) {
        if (CurrentDisk >= kMaxVolumes) {
            throw Error("the archive needs more than " + std::to_string(kMaxVolumes) + " volumes; allow larger volumes");
        }
        const DriveType type = AskForDisk();
        std::string name = OutputPath;
        if (IsFileSystemDrive(type)) {
            name = NumberedVolumeName(OutputPath, CurrentDisk);
        } else if (add_options_.Contains(AddDiskSpanErase)) {
            FormatDrive = 0;
            VolumeLabel = SpanVolumeLabel(CurrentDisk);
            const int formatted = FormatDisk();
            if (formatted == -2) throw EZipMaster(zip_msg::kStopped, false);
            if (formatted == -1) throw EZipMaster(zip_msg::kStopped, true);
        }

        if (FileExists(name)) {
            const auto stamp = StampOf(name);
            if (stamp && static_cast<std::int64_t>(stamp->identity.first) == source_device_ &&
                static_cast<std::int64_t>(stamp->identity.second) == source_inode_) {
                throw Error("the volume " + name + " would overwrite the archive being split");
            }
            if (!ConfirmOverwrite(name)) {
                VolumeBytesWritten = 0;
                NewDiskNeeded = true;
                continue;
            }
        }

        try {
            OutputHandle = File::Create(name);
        } catch (const FileError& e) {
            FailureErrorCode = e.Code();
            throw EZipMaster(zip_msg::kCannotCreateVolume, true);
        }
        OpenVolumePath = name;
        QueryDiskSpace(1);
        std::int64_t free = DiskFree == kSizeNotDetermined || DiskFree > static_cast<std::uint64_t>(INT64_MAX)
                                ? INT64_MAX
                                : static_cast<std::int64_t>(DiskFree);
        if (max_volume_size_ > 0 && max_volume_size_ < free) free = max_volume_size_;
        if (CurrentDisk == 0) free -= keep_free_on_disk1_;
        free = std::min(free, kLargestVolume);

        // A volume with no room at all is refused whatever the smallest volume is set to;
        // otherwise nothing could ever be written to it.
        if (free < std::max(min_free_volume_size_, 1)) {
            OutputHandle = File();
            OpenVolumePath.clear();
            DeleteFile(name);
            DiskFree = 0;
            if (unattended_) throw EZipMaster(zip_msg::kPromptWhileUnattended, true);
            Answer answer = Answer::Cancel;
            try {
                answer = host_.ShowMessage(MessageKind::Error,
                                           MessageText(zip_msg::kNotEnoughFreeSpace,
                                                       "This disk has not enough free space available"),
                                           kApplicationTitle, Buttons::RetryCancel);
            } catch (const std::exception&) {
                throw EZipMaster(zip_msg::kFreeSpaceBoxFailed, true);
            }
            if (answer != Answer::Retry) throw EZipMaster(zip_msg::kStopped, false);
            VolumeBytesWritten = 0;
            NewDiskNeeded = true;
            continue;
        }
        DiskFree = static_cast<std::uint64_t>(free);

        if (!IsFileSystemDrive(type)) {
            VolumeLabel = SpanVolumeLabel(CurrentDisk);
            if (!volumes_.SetLabel(DriveRoot, VolumeLabel)) throw EZipMaster(zip_msg::kCannotSetLabel, true);
        }
        return;
    }
}

// Asks whether an existing file on the volume may be replaced. A file with the archive's own
// date on a disk labelled as an earlier volume is most likely this very set's earlier disk put
// back by mistake, and the question says so.
bool TZipMaster::ConfirmOverwrite(const std::string& volume_name) {
    if (unattended_) throw EZipMaster(zip_msg::kPromptWhileUnattended, true);
    // A label without a volume number counts as the first volume.
    const int d = SpanLabelNumber(VolumeLabel).value_or(1);
    std::string question;
    // Numbered files on a fixed drive are told apart by their names, not by a disk label:
    // there the question always names the file.
    const bool removable = !IsFileSystemDrive(volumes_.TypeOf(DriveRoot));
    if (removable && ModificationTime(volume_name) == SourceDate && d - 1 < CurrentDisk) {
        question = FormatMessageText(MessageText(zip_msg::kOverwriteDisk, "Overwrite previous disk no %d"), {std::int64_t{d}});
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
    throw EZipMaster(zip_msg::kStopped, false);
}

void TZipMaster::FinishVolume() {
    StampAndCloseVolume();
    VolumeBytesWritten = 0;
    NewDiskNeeded = true;
    DiskFree = 0;
    ++CurrentDisk;
}

void TZipMaster::StampAndCloseVolume() {
    if (!OutputHandle.IsOpen()) return;
    File volume = std::move(OutputHandle);
    OutputHandle = File();
    SetModificationTime(volume, SourceDate);
    try {
        // A disk is taken out of the drive right after the prompt for the next one: what was
        // written to it must be on it by then, not in the cache.
        if (!IsFileSystemDrive(volumes_.TypeOf(DriveRoot))) volume.Sync();
        volume.Close();
    } catch (const FileError& e) {
        FailureErrorCode = e.Code();
        throw EZipMaster(zip_msg::kVolumeWriteFailed, true);
    } catch (const Error&) {
        throw EZipMaster(zip_msg::kVolumeWriteFailed, true);
    }
    OpenVolumePath.clear();
}

void TZipMaster::CloseOutputVolume() noexcept {
    try {
        StampAndCloseVolume();
    } catch (...) {
    }
}

}  // namespace kitforge
