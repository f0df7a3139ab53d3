#pragma once
// The zip component's private state and steps, for the few places outside the class that
// need them: the helpers of its own source files, and the tests that check a step on its own
// (a drive check, a disk prompt, a format) rather than through a whole operation. Nothing
// else includes this header.

#include "zip/zip_master.h"

namespace kitforge {

class ZipMasterInternals {
public:
    static DirectoryState& Directory(TZipMaster& zip) noexcept { return zip.directory_; }
    static const DirectoryState& Directory(const TZipMaster& zip) noexcept { return zip.directory_; }
    static SpanState& Span(TZipMaster& zip) noexcept { return zip.span_; }
    static ZipLibraryBinding& Library(TZipMaster& zip) noexcept { return zip.library_; }
    static TZipMaster::OperationState& Operation(TZipMaster& zip) noexcept { return zip.operation_; }

    static bool LocateEndRecord(TZipMaster& zip, formats::EndRecord& end_record) {
        return zip.LocateEndRecord(end_record);
    }
    static void CloseInput(TZipMaster& zip) noexcept { zip.CloseInput(); }
    static int CopyChunked(TZipMaster& zip, File& source, File& target, std::int64_t count) {
        return zip.CopyChunked(source, target, count);
    }
    static int WriteShiftedDirectory(TZipMaster& zip, File& target, const formats::EndRecord& end_record,
                                     std::int64_t shift) {
        return zip.WriteShiftedDirectory(target, end_record, shift);
    }
    static bool CheckDrive(TZipMaster& zip) { return zip.CheckDrive(); }
    static void QueryDiskSpace(TZipMaster& zip, int which) { zip.QueryDiskSpace(which); }
    static DriveType AskForDisk(TZipMaster& zip) { return zip.AskForDisk(); }
    static bool IsExpectedDisk(TZipMaster& zip, DriveType drive_type) { return zip.IsExpectedDisk(drive_type); }
    static int FormatDisk(TZipMaster& zip) { return zip.FormatDisk(); }
};

}  // namespace kitforge
