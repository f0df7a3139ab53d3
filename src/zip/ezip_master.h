#pragma once
// The failure raised inside the zip component. It carries the message id and whether the
// message is to be shown in a box when it is reported; the component catches it at the edge
// of each operation and reports it (TZipMaster::ReportException).

#include <string>
#include <string_view>

#include "os/errors.h"

namespace kitforge {

class EZipMaster : public Error {
public:
    // The id's bound text, or the missing-text rule for an id without one, shown in a box
    // when it is reported.
    static EZipMaster Shown(int id) { return EZipMaster(id, true); }
    // The same, only passed to OnMessage: for a stop the user asked for, or a failure whose
    // caller reports it its own way.
    static EZipMaster Silent(int id) { return EZipMaster(id, false); }
    // The id's bound text filled with a disk number, or the missing-text rule; shown.
    static EZipMaster WithDisk(int id, int disk) { return EZipMaster(id, disk); }
    // The id's bound text filled with a drive (or another text), or the missing-text rule;
    // shown.
    static EZipMaster WithDrive(int id, std::string_view drive) { return EZipMaster(id, drive); }

    bool DisplayMessage;
    int MessageId;

private:
    EZipMaster(int id, bool display);
    EZipMaster(int id, int disk);
    EZipMaster(int id, std::string_view drive);
};

}  // namespace kitforge
