#include "setup/install_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "os/errors.h"
#include "setup/safe_extraction.h"
#include "setup/setup_errors.h"

namespace kitforge::setup {

namespace {

// True when `folder` is `anchor` or lies below it.
bool Holds(const std::string& anchor, const std::string& folder) {
    if (anchor.empty() || folder.compare(0, anchor.size(), anchor) != 0) return false;
    return folder.size() == anchor.size() || anchor == "/" || folder[anchor.size()] == '/';
}

std::string AnchorOf(const std::string& folder, const std::vector<std::string>& anchors) {
    std::string best = "/";
    for (const auto& anchor : anchors) {
        if (anchor.size() > best.size() && Holds(anchor, folder)) best = anchor;
    }
    return best;
}

std::string FolderPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

}  // namespace

InstallFolder OpenInstallFolder(const std::string& folder, const std::vector<std::string>& anchors, bool create,
                                std::vector<std::string>* made) {
    const std::string anchor = AnchorOf(folder, anchors);
    if (create) MakeFolders(anchor, made);
    int error = 0;
    std::optional<Folder> opened = Folder::Open(anchor, &error);
    if (!opened) throw InOutError("open the folder", anchor, error);
    InstallFolder open{std::move(*opened), anchor};

    std::size_t start = anchor == "/" ? 1 : anchor.size() + 1;
    while (start < folder.size()) {
        std::size_t slash = folder.find('/', start);
        if (slash == std::string::npos) slash = folder.size();
        const std::string part = folder.substr(start, slash - start);
        const std::string walked = folder.substr(0, slash);
        if (create) {
            const int error_made = open.folder.MakeFolder(part);
            if (error_made != 0 && error_made != EEXIST) throw InOutError("create the folder", walked, error_made);
            if (error_made == 0 && made) made->push_back(walked);
        }
        std::optional<Folder> next = open.folder.Enter(part, &error);
        if (!next) {
            if (error == ELOOP || error == ENOTDIR) {
                throw InOutError("write into", walked, error,
                                 "it is not a folder but a link or a file; nothing is written "
                                 "through it");
            }
            throw InOutError("open the folder", walked, error);
        }
        open.folder = std::move(*next);
        open.path = walked;
        start = slash + 1;
    }
    return open;
}

int RemoveInstalledFile(const std::string& folder, const std::string& name, const std::vector<std::string>& anchors) {
    try {
        const InstallFolder open = OpenInstallFolder(folder, anchors, false);
        return open.folder.Remove(name);
    } catch (const FileError& e) {
        return e.Code() == 0 ? ENOENT : e.Code();
    }
}

File OpenWrittenProgram(const std::string& path, const FileIdentity& identity,
                        const std::vector<std::string>& anchors) {
    const std::string replaced = PrintablePath(path) + " was replaced after this installer wrote it; it is not run";
    InstallFolder folder;
    try {
        folder = OpenInstallFolder(FolderPart(path), anchors, false);
    } catch (const FileError&) {
        throw Error(replaced);
    }
    const std::string name = path.substr(path.rfind('/') + 1);
    std::optional<File> program = folder.folder.OpenFile(name, nullptr);
    struct stat st {};
    if (!program || ::fstat(program->Descriptor(), &st) != 0 || !S_ISREG(st.st_mode) ||
        FileIdentity(static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)) != identity) {
        throw Error(replaced);
    }
    // A script is left to be started by its path: run from a descriptor, its interpreter would
    // see "/dev/fd/N" as the script's name, and scripts that find their files next to "$0"
    // would break. The check above was made just before.
    char head[2] = {};
    if (program->ReadAt(head, sizeof head, 0) == 2 && head[0] == '#' && head[1] == '!') return File();
    return std::move(*program);
}

}  // namespace kitforge::setup
