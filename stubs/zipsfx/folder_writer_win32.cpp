// FolderWriter on Windows: how the target is made, and what a staged file is given when it is
// complete. The folders below the target are entered by the OS layer's Folder, which refuses a
// part that is a file, or a link or junction (a reparse point), so nothing is written through a
// link standing in the target.
#include <io.h>

#include <cerrno>

#include "zipsfx/entry_names.h"
#include "zipsfx/folder_writer.h"
#include "zipsfx/sfx_error.h"
#include "zipsfx/windows_text.h"

namespace kitforge::zipsfx {

namespace {

bool IsMissing(DWORD code) { return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND; }

// "C:", "C:/", "/" and "" are roots: they are never made.
bool IsRoot(const std::string& path) {
    return path.empty() || path == "/" || path == "\\" || path == "." ||
           (path.size() <= 3 && path.size() >= 2 && path[1] == ':');
}

}  // namespace

FolderWriter::FolderWriter(std::string root) : root_(std::move(root)) {
    while (root_.size() > 1 && (root_.back() == '/' || root_.back() == '\\') && !IsRoot(root_)) root_.pop_back();
}

void FolderWriter::Open() {
    // Make the missing parents of the target, top down, remembering them for Discard.
    std::vector<std::string> missing;
    for (std::string path = root_; !IsRoot(path);) {
        if (GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES) break;
        const DWORD code = GetLastError();
        if (!IsMissing(code)) throw SfxError(WindowsFailure("use the folder", Printable(path), code));
        missing.push_back(path);
        const std::size_t slash = path.find_last_of("/\\");
        path = slash == std::string::npos ? "" : path.substr(0, slash == 0 ? 1 : slash);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!CreateDirectoryW(WidePath(*it).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            throw SfxError(WindowsFailure("make the folder", Printable(*it), GetLastError()));
        }
        made_folders_.push_back(*it);
    }
    int error = 0;
    auto root = Folder::Open(root_, &error);
    if (!root && error == ENOTDIR)
        throw SfxError("cannot extract into " + PrintablePath(root_) + ": it is not a folder");
    if (!root) throw SfxError(WindowsFailure("open the folder", Printable(root_), GetLastError()));
    root_folder_ = std::move(*root);
}

void FolderWriter::FinishStagedFile(File& file, std::optional<std::uint32_t> mode, std::uint32_t dos_time,
                                    const std::string& shown) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.Descriptor()));
    if (const auto seconds = DosTimeToUnix(dos_time)) {
        const std::int64_t steps = *seconds * 10000000LL + 116444736000000000LL;
        FILETIME time;
        time.dwLowDateTime = static_cast<DWORD>(steps & 0xFFFFFFFF);
        time.dwHighDateTime = static_cast<DWORD>(steps >> 32);
        SetFileTime(handle, nullptr, &time, &time);  // a file without its date is still the right file
    }
    if (file.TryClose() != 0) throw SfxError(WindowsFailure("write", shown, GetLastError()));
    // Windows has no permission bits: an entry that nobody may write becomes read-only.
    if (mode && (*mode & 0222) == 0) SetFileAttributesW(WidePath(file.Path()).c_str(), FILE_ATTRIBUTE_READONLY);
}

}  // namespace kitforge::zipsfx
