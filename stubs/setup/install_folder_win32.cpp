// Windows: folders are used by their paths. Making a symbolic link there takes a privilege
// that ordinary users lack, so the walk without links is left to the POSIX side; what stays
// is the check that a program this installer wrote is still that file before it runs.
#include <cerrno>

#include "os/errors.h"
#include "os/file.h"
#include "setup/install_folder.h"
#include "setup/safe_extraction.h"
#include "setup/setup_errors.h"

namespace kitforge::setup {

InstallFolder OpenInstallFolder(const std::string& folder, const std::vector<std::string>&, bool create,
                                std::vector<std::string>* made) {
    if (create)
        MakeFolders(folder, made);
    else if (!FolderExists(folder))
        throw InOutError("open the folder", folder, ENOENT);
    int error = 0;
    std::optional<Folder> opened = Folder::Open(folder, &error);
    if (!opened) throw InOutError("open the folder", folder, error);
    return InstallFolder{std::move(*opened), folder};
}

int RemoveInstalledFile(const std::string& folder, const std::string& name, const std::vector<std::string>&) {
    int error = 0;
    return DeleteFile(folder + "/" + name, &error) ? 0 : error;
}

File OpenWrittenProgram(const std::string& path, const FileIdentity& identity, const std::vector<std::string>&) {
    const auto stamp = StampOf(path);
    if (!stamp || stamp->identity != identity)
        throw Error(PrintablePath(path) + " was replaced after this installer wrote it; it is not run");
    return File();
}

}  // namespace kitforge::setup
