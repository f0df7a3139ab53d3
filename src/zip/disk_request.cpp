// Making another volume of a multi-volume set the open input, while its directory is read:
// the numbered file on a fixed or network drive, the disk with the volume's label on a
// removable one.

#include "zip/zip_master.h"

namespace kitforge {

void TZipMaster::RequestDisk(int disk) {
    CloseInput();
    directory_.CurrentDisk = disk;
    for (;;) {
        DriveType type;
        do {
            span_.NewDiskNeeded = true;
            type = AskForDisk();
        } while (!IsExpectedDisk(type));

        if (auto opened = File::TryOpenRead(directory_.InputPath)) {
            directory_.InputHandle = std::move(*opened);
            return;
        }
        if (type == DriveType::Fixed || type == DriveType::Network) {
            throw EZipMaster::Shown(zip_msg::kCannotOpenArchive);
        }
        ReportMessage(zip_msg::kCannotOpenArchive, FileNote());
    }
}

}  // namespace kitforge
