#include "os/file_names.h"
#include "os/win32_api.h"

namespace kitforge {

int RenameOver(const std::string& from, const std::string& to) {
    if (MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    return LastErrorAsErrno();
}

int RemoveFile(const std::string& path) { return DeleteFileW(WidePath(path).c_str()) ? 0 : LastErrorAsErrno(); }

int RemoveEmptyFolder(const std::string& path) {
    return RemoveDirectoryW(WidePath(path).c_str()) ? 0 : LastErrorAsErrno();
}

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

unsigned CurrentUmask() { return 0; }

unsigned ReplacementMode(const std::string&) { return 0666; }

int SetPermissions(File&, unsigned) { return 0; }

std::optional<File> OpenNamedDevice(const std::string&, const std::string&) { return std::nullopt; }

void SyncFolder(const std::string&) {}

}  // namespace kitforge
