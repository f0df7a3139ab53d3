#pragma once
// A folder held open, so that the names inside it are reached without passing through any link
// above it. On POSIX it is the folder's descriptor and every call is relative to it (openat,
// mkdirat, renameat), so a link planted above it, or swapped in while we work, cannot carry a
// write elsewhere. On Windows it is the folder's path, and each folder entered is first checked
// not to be a link or a junction.
//
// Each call gives 0 or the errno value of the failure (on Windows while GetLastError() still
// holds the Windows error behind it).

#include <optional>
#include <string>

#include "os/file.h"

namespace kitforge {

class Folder {
public:
    // Opens the folder `path` by its path: the user or the system named it, so a link to it is
    // followed.
    static std::optional<Folder> Open(const std::string& path, int* error);

    Folder() = default;

    // The folder's path, for messages and for the calls that take a path.
    const std::string& Path() const noexcept { return path_; }
    // `name` inside this folder, as a path.
    std::string PathOf(const std::string& name) const;

    // The folder `name` inside this one, entered without following a link: ELOOP or ENOTDIR
    // when `name` is a link, a junction or a file.
    std::optional<Folder> Enter(const std::string& name, int* error) const;
    // Makes the folder `name` inside this one, with 0777 less the umask; EEXIST when a folder,
    // file or link of that name stands there.
    int MakeFolder(const std::string& name) const;
    // Creates the file `name` inside this one, which must not exist yet (a link of that name
    // is not followed either), with `mode` less the umask.
    std::optional<File> CreateFile(const std::string& name, unsigned mode, int* error) const;
    // Opens the file `name` inside this folder for reading; ELOOP when it is a link.
    std::optional<File> OpenFile(const std::string& name, int* error) const;
    // Renames `from` over `to`, both inside this folder; a file or link at `to` is replaced.
    int Rename(const std::string& from, const std::string& to) const;
    // Removes the file (or link) `name` inside this folder, read-only or not.
    int Remove(const std::string& name) const;
    // Removes the empty folder `name` inside this one: ENOTEMPTY (or EEXIST) when it holds
    // anything, ENOTDIR when `name` is a link, a junction or a file, which stays.
    int RemoveFolder(const std::string& name) const;

private:
    Folder(File handle, std::string path) : handle_(std::move(handle)), path_(std::move(path)) {}

    File handle_;  // the folder's own descriptor (POSIX only)
    std::string path_;
};

}  // namespace kitforge
