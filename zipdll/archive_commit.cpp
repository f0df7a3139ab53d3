#include "archive_commit.h"

#include <cerrno>
#include <vector>

#include "os/file_names.h"

namespace zipdll {

namespace {

// Gives the file its mode, flushes it to the disk and closes it.
void Finish(kitforge::TemporaryFile& temporary, unsigned mode) {
    if (const int error = kitforge::SetPermissions(temporary.Open(), mode); error != 0)
        ThrowIoFailure("write", temporary.Path(), error);
    Sync(temporary.Open());
    Close(temporary.Open());
}

}  // namespace

std::string FolderOf(const std::string& path) {
#ifdef _WIN32
    const std::size_t slash = path.find_last_of("/\\");
#else
    const std::size_t slash = path.rfind('/');
#endif
    if (slash == std::string::npos) return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

kitforge::TemporaryFile CreateTemporaryFile(const std::string& folder) {
    const std::string shown = folder.empty() ? std::string(".") : folder;
    std::string stem = shown;
    if (stem.back() != '/' && stem.back() != '\\') stem += '/';
    int error = 0;
    // Private until it is committed: the mode of the archive comes with the commit.
    kitforge::TemporaryFile temporary = kitforge::TemporaryFile::Create(stem + ".zipdll-", 0600, &error);
    if (!temporary.IsOpen()) ThrowIoFailure("create a temporary file in", shown, error);
    return temporary;
}

PendingArchive::PendingArchive(std::string archive, const std::string& temp_dir)
    : archive_(std::move(archive)), temporary_(CreateTemporaryFile(temp_dir.empty() ? FolderOf(archive_) : temp_dir)) {}

void PendingArchive::Commit() {
    // The archive keeps its permission bits; a new one gets what a new file would get.
    const unsigned mode = kitforge::ReplacementMode(archive_);
    Finish(temporary_, mode);
    const int error = temporary_.RenameOver(archive_);
    if (error == 0) {
        kitforge::SyncFolder(FolderOf(archive_));
        return;
    }
    if (error != EXDEV) ThrowIoFailure("replace", archive_, error);

    // The temporary folder is on another file system: copy beside the archive first.
    kitforge::TemporaryFile beside = CreateTemporaryFile(FolderOf(archive_));
    kitforge::File source = OpenRead(temporary_.Path());
    std::vector<char> buffer(1u << 20);
    std::uint64_t offset = 0;
    for (;;) {
        const std::size_t got = ReadAt(source, buffer.data(), buffer.size(), offset);
        if (got == 0) break;
        WriteAll(beside.Open(), buffer.data(), got);
        offset += got;
    }
    Finish(beside, mode);
    if (const int moved = beside.RenameOver(archive_); moved != 0) ThrowIoFailure("replace", archive_, moved);
    kitforge::SyncFolder(FolderOf(archive_));
}

}  // namespace zipdll
