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
    // The id's bound text, or the missing-text rule for an id without one.
    EZipMaster(int id, bool display);
    // The id's bound text filled with a disk number, or the missing-text rule; shown.
    EZipMaster(int id, int disk);
    // The id's bound text filled with a drive (or another text), or the missing-text rule;
    // shown.
    EZipMaster(int id, std::string_view drive);
    EZipMaster(int id, const std::string& drive) : EZipMaster(id, std::string_view(drive)) {}
    // Without this a string literal would choose the Boolean form.
    EZipMaster(int id, const char* drive) : EZipMaster(id, std::string_view(drive)) {}

    bool DisplayMessage;
    int MessageId;
};

}  // namespace kitforge
