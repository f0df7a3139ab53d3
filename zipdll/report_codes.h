#pragma once
// The codes that the library attaches to its reports (callback action 4). 0 is information
// (verbose and trace lines); every other code names one kind of trouble. The numbers are part
// of the library's documented behaviour: hosts may act on them.

#include <cstdint>

namespace zipdll {

enum ReportCode : std::int32_t {
    kInformation = 0,
    kNotFound = 1,          // a file specification matched nothing
    kCannotRead = 2,        // a file could not be opened or read; it was skipped
    kChangedWhileRead = 3,  // a file changed size while it was read; it was skipped
    kTooLarge = 4,          // a file of 4 GiB or more; it was skipped
    kDuplicateName = 5,     // two inputs give the same stored name; the later one is kept
    kFolderSkipped = 6,     // a folder named without recursion and without folder entries
    kBadArchive = 10,       // the existing archive cannot be read or updated; nothing written
    kCannotWrite = 11,      // the new archive could not be written; the old one is unchanged
    kCancelled = 12,        // the caller asked to stop; the old archive is unchanged
    kMoveFailed = 13,       // a moved source could not be deleted after the archive was written
    kBadCall = 14,          // the call record is unusable (wrong version, missing names)
    kNothingToDo = 15,      // no file to add; the archive was not touched
    kArchiveTooLarge = 16,  // the archive would grow past 4 GiB
    kTimeNotSet = 17,       // the archive's time could not be set to its newest entry
};

}  // namespace zipdll
