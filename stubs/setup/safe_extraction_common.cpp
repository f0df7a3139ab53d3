// Writing one installed file, the same on both systems: a new temporary file beside the name in
// the open target folder, filled, flushed and given its permissions, then renamed over the name
// in one step. What differs per system (a read-only file standing at the name on Windows) is
// behind PrepareReplacement and FinishReplacement.
#include <cerrno>

#include "os/errors.h"
#include "os/file_names.h"
#include "platform/file_stamp.h"
#include "setup/safe_extraction.h"
#include "setup/safe_extraction_steps.h"

namespace kitforge::setup {

namespace {

// Removes the temporary file on every path unless it was renamed into place.
class TemporaryEntry {
public:
    TemporaryEntry(const Folder& folder, std::string name) : folder_(folder), name_(std::move(name)) {}
    TemporaryEntry(const TemporaryEntry&) = delete;
    TemporaryEntry& operator=(const TemporaryEntry&) = delete;
    ~TemporaryEntry() {
        if (!name_.empty()) folder_.Remove(name_);
    }
    void Keep() { name_.clear(); }

private:
    const Folder& folder_;
    std::string name_;
};

}  // namespace

void WriteFileThroughTemporary(const std::string& folder, const std::string& name, unsigned mode,
                               const std::function<void(File&)>& fill) {
    int error = 0;
    std::optional<Folder> open = Folder::Open(folder, &error);
    if (!open) throw InOutError("create", folder + "/" + name, error);
    WriteFileThroughTemporary(InstallFolder{std::move(*open), folder}, name, mode, fill);
}

FileIdentity WriteFileThroughTemporary(const InstallFolder& folder, const std::string& name, unsigned mode,
                                       const std::function<void(File&)>& fill) {
    const std::string path = folder.folder.PathOf(name);
    static unsigned counter = 0;
    std::string temporary;
    std::optional<File> created;
    for (unsigned attempt = 0; !created; ++attempt) {
        // A short fixed name: it fits beside any file name the folder can hold.
        temporary = ".kitforge-setup-" + std::to_string(CurrentProcessId()) + "-" + std::to_string(counter++);
        int error = 0;
        created = folder.folder.CreateFile(temporary, 0600, &error);
        if (!created && (error != EEXIST || attempt >= 1000)) throw InOutError("create", path, error);
    }
    TemporaryEntry guard(folder.folder, temporary);

    // The file is the one just created in the open folder, never reached again by its path.
    File& file = *created;
    const std::optional<FileStamp> stamp = StampOf(file);
    const FileIdentity identity = stamp ? stamp->identity : FileIdentity{};
    try {
        fill(file);
        file.Sync();
        if (const int error = SetPermissions(file, mode & ~CurrentUmask()); error != 0)
            throw InOutError("write", file.Path(), error);
        file.Close();
    } catch (const InOutError& e) {
        // The user knows the file by its final name, not by the temporary one.
        if (e.Path() != file.Path()) throw;
        throw InOutError("write", path, e.Code());
    }
    const Replacement replacement = PrepareReplacement(path);
    if (const int error = folder.folder.Rename(temporary, name); error != 0) {
        UndoReplacement(path, replacement);
        throw InOutError("write", path, error);
    }
    guard.Keep();
    FinishReplacement(path, mode);
    return identity;
}

}  // namespace kitforge::setup
