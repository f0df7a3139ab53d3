#pragma once
// The temporary file that becomes the archive. It is created in the temporary folder of the
// call, or beside the archive, and is deleted again unless Commit() puts it in place: a rename
// within one file system, else a copy to a second temporary file beside the archive that is
// then renamed. Either way the archive is replaced in one step, never half written.

#include <string>

#include "file_io.h"
#include "os/temporary_file.h"

namespace zipdll {

class PendingArchive {
public:
    // `temp_dir` empty: beside the archive. Throws IoFailure.
    PendingArchive(std::string archive, const std::string& temp_dir);
    PendingArchive(const PendingArchive&) = delete;
    PendingArchive& operator=(const PendingArchive&) = delete;

    kitforge::File& File() noexcept { return temporary_.Open(); }
    const std::string& TempPath() const noexcept { return temporary_.Path(); }
    // Flushes the file to the disk and puts it in place of the archive. Throws IoFailure.
    void Commit();

private:
    std::string archive_;
    kitforge::TemporaryFile temporary_;
};

// The folder that holds `path` ("." for a bare name).
std::string FolderOf(const std::string& path);

// Creates a new, empty file with a unique name in `folder`. Throws IoFailure.
kitforge::TemporaryFile CreateTemporaryFile(const std::string& folder);

}  // namespace zipdll
