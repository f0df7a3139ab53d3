// Asking for another disk of a multi-volume set while its directory is read. This is the
// reading side only, for sets on removable disks: the user is asked for disk n until the
// disk labelled for it is in the drive. Sets of numbered files on fixed drives, and the
// prompts of writing a set, come with the multi-volume writer.

#include <cstdio>

#include "zip/zip_master.h"

namespace kitforge {

namespace {

// "PKBACK# " and the disk's number, counted from 1, in three digits.
std::string SpanVolumeLabel(int disk) {
    char number[16];
    std::snprintf(number, sizeof number, "%03d", disk + 1);
    return std::string("PKBACK# ") + number;
}

}  // namespace

void TZipMaster::RequestDisk(int disk) {
    CloseInput();
    CurrentDisk = disk;

    const DriveType type = volumes_.TypeOf(DriveRoot);
    if (type == DriveType::Fixed || type == DriveType::Network) throw EZipMaster(zip_msg::kCannotOpenArchive, true);

    for (;;) {
        if (unattended_) throw EZipMaster(zip_msg::kPromptWhileUnattended, true);
        host_.ProcessMessages();
        const std::string prompt =
            FormatMessageText(MessageText(zip_msg::kInsertDiskOf, "Please insert disk volume %.1d of %.1d"),
                              {std::int64_t{CurrentDisk} + 1, std::int64_t{TotalDisks} + 1}) +
            FormatMessageText(MessageText(zip_msg::kInDrive, "\r\nin drive: %s"), {DriveRoot});
        if (host_.ShowMessage(MessageKind::Information, prompt, kApplicationTitle, Buttons::OkCancel) != Answer::Ok) {
            throw EZipMaster(zip_msg::kStopped, false);
        }
        if (!CheckDrive() || VolumeLabel != SpanVolumeLabel(CurrentDisk)) continue;
        if (auto opened = File::TryOpenRead(InputPath)) {
            InputHandle = std::move(*opened);
            return;
        }
        ReportMessage(zip_msg::kCannotOpenArchive, FileNote());
    }
}

}  // namespace kitforge
