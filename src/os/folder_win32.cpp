#include <cerrno>

#include "os/file_names.h"
#include "os/folder.h"
#include "os/win32_api.h"

namespace kitforge {

namespace {

// 0 when `path` is a folder that is no link or junction; else the errno value.
int CheckFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastErrorAsErrno();
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return ELOOP;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ENOTDIR;
    return 0;
}

}  // namespace

std::optional<Folder> Folder::Open(const std::string& path, int* error) {
    const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    const int code = attributes == INVALID_FILE_ATTRIBUTES          ? LastErrorAsErrno()
                     : (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ? ENOTDIR
                                                                    : 0;
    if (code != 0) {
        if (error) *error = code;
        return std::nullopt;
    }
    return Folder(File(), path);
}

std::optional<Folder> Folder::Enter(const std::string& name, int* error) const {
    std::string path = PathOf(name);
    if (const int code = CheckFolder(path); code != 0) {
        if (error) *error = code;
        return std::nullopt;
    }
    return Folder(File(), std::move(path));
}

int Folder::MakeFolder(const std::string& name) const {
    return CreateDirectoryW(WidePath(PathOf(name)).c_str(), nullptr) ? 0 : LastErrorAsErrno();
}

std::optional<File> Folder::CreateFile(const std::string& name, unsigned mode, int* error) const {
    return File::TryOpen(PathOf(name), File::Access::CreateNew, mode, error);
}

std::optional<File> Folder::OpenFile(const std::string& name, int* error) const {
    return File::TryOpen(PathOf(name), File::Access::Read, 0666, error);
}

int Folder::Rename(const std::string& from, const std::string& to) const {
    return RenameOver(PathOf(from), PathOf(to));
}

int Folder::Remove(const std::string& name) const {
    // A read-only file refuses to go; its mark is no reason to keep it.
    const std::wstring path = WidePath(PathOf(name));
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return DeleteFileW(path.c_str()) ? 0 : LastErrorAsErrno();
}

int Folder::RemoveFolder(const std::string& name) const {
    // RemoveDirectoryW would take a folder link or junction away itself: it is not ours to remove.
    const std::wstring path = WidePath(PathOf(name));
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return LastErrorAsErrno();
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return ENOTDIR;
    return RemoveDirectoryW(path.c_str()) ? 0 : LastErrorAsErrno();
}

}  // namespace kitforge
