#pragma once
// The temporary file that becomes the archive. It is created in the temporary folder of the
// call, or beside the archive, and is deleted again unless Commit() puts it in place: a rename
// within one file system, else a copy to a second temporary file beside the archive that is
// then renamed. Either way the archive is replaced in one step, never half written.

#include <string>

#include "posix_file.h"

namespace zipdll {

class PendingArchive {
public:
    // `temp_dir` empty: beside the archive. Throws IoFailure.
    PendingArchive(std::string archive, const std::string& temp_dir);
    ~PendingArchive();
    PendingArchive(const PendingArchive&) = delete;
    PendingArchive& operator=(const PendingArchive&) = delete;

    PosixFile& File() noexcept { return file_; }
    const std::string& TempPath() const noexcept { return temp_path_; }
    // Flushes the file to the disk and puts it in place of the archive. Throws IoFailure.
    void Commit();

private:
    std::string archive_;
    std::string temp_path_;
    PosixFile file_;
    bool committed_ = false;
};

// Creates a new, empty file with a unique name in `folder` and gives its path.
PosixFile CreateTemporaryFile(const std::string& folder, std::string& path);

}  // namespace zipdll
