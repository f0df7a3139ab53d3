// Deleting with undo on Windows: the Recycle Bin, through SHFileOperationW with
// FOF_ALLOWUNDO, silently and without questions.
#include "os/win32_api.h"

#include <shellapi.h>

#include <cerrno>
#include <cstdlib>

#include "os/errors.h"
#include "os/file.h"
#include "platform/paths.h"
#include "platform/trash.h"
#include "platform/volumes.h"

namespace kitforge {

namespace {

// 0 on success, else an errno value.
int Recycle(const std::string& full) {
    std::wstring from = WidePath(full);
    from.push_back(L'\0');  // the list of names ends in two zeros
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    const int result = SHFileOperationW(&operation);
    if (result == 0 && !operation.fAnyOperationsAborted) return 0;
    return FileExists(full) ? EACCES : 0;
}

}  // namespace

std::string TrashFolder() { throw Error("Windows keeps deleted files in the Recycle Bin, not in a trash folder"); }

std::string MoveToTrash(const std::string& path) {
    const std::string full = FullPath(path);
    if (FolderExists(full)) throw InOutError("move to the trash", path, EISDIR);
    if (!FileExists(full)) throw ReadError("move to the trash", path, ENOENT);
    const int error = Recycle(full);
    if (error != 0) throw InOutError("move to the trash", path, error);
    return FileNamePart(full);
}

int ShellDeleteFile(const std::string& path, bool allow_undo) {
    const std::string full = FullPath(path);
    if (!FileExists(full)) return -1;
    if (!allow_undo) {
        int error = 0;
        return DeleteFile(full, &error) ? 0 : error;
    }
    return Recycle(full);
}

}  // namespace kitforge
