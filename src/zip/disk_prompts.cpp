// The disk prompts of multi-volume sets: asking the user to insert a disk, and telling whether
// the volume at hand is the one a reading needs.

#include <algorithm>

#include "platform/paths.h"
#include "zip/volume_names.h"
#include "zip/zip_master.h"

namespace kitforge {

namespace {

bool IsFileSystemDrive(DriveType type) { return type == DriveType::Fixed || type == DriveType::Network; }

}  // namespace

DriveType TZipMaster::AskForDisk() {
    host_.ProcessMessages();
    const DriveType type = volumes_.TypeOf(directory_.DriveRoot);
    // The drive is looked at before the first prompt: a disk already in it is taken.
    bool answered_ok = true;
    while ((answered_ok && !CheckDrive()) || span_.NewDiskNeeded) {
        if (IsFileSystemDrive(type)) {
            span_.NewDiskNeeded = false;
            break;
        }
        if (unattended_) throw EZipMaster::Shown(zip_msg::kPromptWhileUnattended);

        std::string prompt;
        if (operation_.OperationActive) {
            // While writing, the number of disks is guessed from the archive's size and the
            // size of the disk in the drive.
            std::uint64_t v = directory_.DiskSize == kSizeNotDetermined ? 0 : directory_.DiskSize;
            if (max_volume_size_ != 0 && static_cast<std::uint64_t>(max_volume_size_) < v) {
                v = static_cast<std::uint64_t>(max_volume_size_);
            }
            directory_.TotalDisks = directory_.CurrentDisk;
            if (v > 0) {
                const auto needed = static_cast<std::uint64_t>(
                                        std::max<std::int64_t>(0, directory_.ArchiveSize + 4 + keep_free_on_disk1_)) /
                                    v;
                if (needed > static_cast<std::uint64_t>(directory_.TotalDisks)) {
                    directory_.TotalDisks = static_cast<int>(needed);
                }
                prompt = FormatMessageText(
                    MessageText(zip_msg::kInsertDiskOf, "Please insert disk volume %.1d of %.1d"),
                    {std::int64_t{directory_.CurrentDisk} + 1, std::int64_t{directory_.TotalDisks} + 1});
            } else {
                prompt = FormatMessageText(MessageText(zip_msg::kInsertDisk, "Please insert disk volume %.1d"),
                                           {std::int64_t{directory_.CurrentDisk} + 1});
            }
        } else {
            prompt =
                FormatMessageText(MessageText(zip_msg::kInsertDiskOf, "Please insert disk volume %.1d of %.1d"),
                                  {std::int64_t{directory_.CurrentDisk} + 1, std::int64_t{directory_.TotalDisks} + 1});
        }
        prompt += FormatMessageText(MessageText(zip_msg::kInDrive, "\r\nin drive: %s"), {directory_.DriveRoot});

        answered_ok =
            host_.ShowMessage(MessageKind::Information, prompt, kApplicationTitle, Buttons::OkCancel) == Answer::Ok;
        span_.NewDiskNeeded = false;
    }
    if (!answered_ok) throw EZipMaster::Silent(zip_msg::kStopped);
    return type;
}

bool TZipMaster::IsExpectedDisk(DriveType drive_type) {
    if (IsFileSystemDrive(drive_type)) {
        // arch003.zip becomes arch001.zip for volume 0: the three digits in front of the
        // extension are the volume's number.
        const std::size_t name_start = directory_.InputPath.size() - FileNamePart(directory_.InputPath).size();
        const std::size_t dot = directory_.InputPath.rfind('.');
        const std::size_t ext = dot != std::string::npos && dot >= name_start ? dot : directory_.InputPath.size();
        const std::size_t stem_end = ext >= name_start + 3 ? ext - 3 : name_start;
        directory_.InputPath = directory_.InputPath.substr(0, stem_end) + VolumeNumberText(directory_.CurrentDisk) +
                               directory_.InputPath.substr(ext);
        return true;
    }
    return SpanLabelNumber(directory_.VolumeLabel) == directory_.CurrentDisk + 1;
}

}  // namespace kitforge
