#pragma once
// Writes the extracted files in two phases. Staging unpacks each file under a temporary name
// in its own folder; committing renames them all into place. Until the commit, nothing that
// existed has been touched, so a failure anywhere in staging is undone by removing the
// temporary files and the folders that staging made.
//
// Every folder below the target is entered with O_NOFOLLOW, one part at a time from the
// target's own descriptor, so a symbolic link already standing in the target (or planted
// while we work) can never carry a file outside it.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "os/file.h"
#include "os/folder.h"
#include "zipsfx/entry_reader.h"

namespace kitforge::zipsfx {

// A file as the file system knows it, whatever name it goes by: device and inode.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    auto operator<=>(const FileIdentity&) const = default;
};

class FolderWriter {
public:
    // `root` is the target folder; it is made, with any missing parents, by Open.
    explicit FolderWriter(std::string root);
    ~FolderWriter();
    FolderWriter(const FolderWriter&) = delete;
    FolderWriter& operator=(const FolderWriter&) = delete;

    // Makes the target folder when missing and opens it. Throws SfxError.
    void Open();
    // Makes the folder `path` (relative) and any missing parents.
    void MakeFolder(const std::string& path);
    // Writes a file at `path` under a temporary name. `fill` hands the bytes to the sink it
    // is given. `mode` (permission bits, less the umask; set-user-ID, set-group-ID and sticky
    // are dropped) and `dos_time` (0 for none) are applied afterwards. A write that fails for
    // want of room (a full disk or quota) throws an SfxError of kind NoSpace.
    void StageFile(const std::string& path, std::optional<std::uint32_t> mode, std::uint32_t dos_time,
                   const std::function<void(const ByteSink&)>& fill);
    // Renames every staged file into place, in staging order. Throws SfxError when a rename
    // fails; the files not yet renamed are removed.
    void Commit();
    // Removes every staged file and every folder this writer made (only when empty). Runs by
    // itself when the writer goes away without a commit.
    void Discard() noexcept;

    const std::string& Root() const { return root_; }
    // The files staged so far, as they were made; a rename into place keeps them. Not kept on
    // Windows, where nothing asks for it.
    const std::vector<FileIdentity>& WrittenFiles() const { return written_; }

private:
    struct Staged {
        std::string folder;     // relative, "" for the root
        std::string temporary;  // name inside the folder
        std::string name;       // final name inside the folder
        bool done = false;      // renamed into place, or removed
    };

    // The folder `folder` (relative) below the target, entered one part at a time without
    // following a link, each part made first when `create`: the root itself for "", else the
    // folder put in `held`.
    const Folder& Reach(const std::string& folder, bool create, std::optional<Folder>& held);
    // Gives a staged file its permissions and date (and notes what it is), then closes it.
    void FinishStagedFile(File& file, std::optional<std::uint32_t> mode, std::uint32_t dos_time,
                          const std::string& shown);
    std::string Shown(const std::string& path) const;

    std::string root_;
    Folder root_folder_;
    std::vector<std::string> made_folders_;  // full paths, in the order they were made
    std::vector<Staged> staged_;
    std::vector<FileIdentity> written_;
    unsigned counter_ = 0;
    bool committed_ = false;
};

// The DOS date and time of a zip entry as seconds since 1970 in local time, or nothing when
// the fields do not form a valid date.
std::optional<std::int64_t> DosTimeToUnix(std::uint32_t dos_time);

}  // namespace kitforge::zipsfx
