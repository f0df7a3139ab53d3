// Making folders (from a drive root or a share) and removing them on Windows, and the Windows
// steps around putting a written file in place (safe_extraction_common.cpp writes it): Windows
// has no permission bits to give, so a mode without any write bit makes the file read-only.
#include <cerrno>

#include "os/errors.h"
#include "os/win32_api.h"
#include "setup/safe_extraction.h"
#include "setup/safe_extraction_steps.h"

namespace kitforge::setup {

namespace {

DWORD AttributesOf(const std::string& path) { return GetFileAttributesW(WidePath(path).c_str()); }

bool IsFolder(const std::string& path) {
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void MakeOneFolder(const std::string& folder, std::vector<std::string>* made) {
    if (CreateDirectoryW(WidePath(folder).c_str(), nullptr)) {
        if (made) made->push_back(folder);
        return;
    }
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_ACCESS_DENIED) {
        // A drive root answers "access denied" rather than "exists".
        if (IsFolder(folder)) return;
        if (code == ERROR_ALREADY_EXISTS) throw InOutError("create the folder", folder, ENOTDIR);
    }
    throw InOutError("create the folder", folder, WindowsErrorAsErrno(code));
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Where the folders that may be made begin: after "C:/" or after "//server/share/".
std::size_t FirstMakeableFolder(const std::string& folder) {
    if (folder.size() >= 3 && folder[1] == ':' && IsSeparator(folder[2])) return 3;
    if (folder.size() >= 2 && IsSeparator(folder[0]) && IsSeparator(folder[1])) {
        std::size_t at = folder.find_first_of("/\\", 2);
        if (at != std::string::npos) at = folder.find_first_of("/\\", at + 1);
        return at == std::string::npos ? folder.size() : at + 1;
    }
    return 1;
}

bool RemoveTree(const std::string& path) {
    const DWORD attributes = AttributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
        SetFileAttributesW(WidePath(path).c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    // A folder link is removed itself, never followed.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return DeleteFileW(WidePath(path).c_str()) != 0;
    bool complete = true;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW(WidePath(path + "/*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                complete = RemoveTree(path + "/" + Utf8Text(name)) && complete;
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
    }
    return RemoveDirectoryW(WidePath(path).c_str()) != 0 && complete;
}

}  // namespace

void MakeFolders(const std::string& folder, std::vector<std::string>* made) {
    if (folder.empty() || IsFolder(folder)) return;
    // Make every folder from the top down, so each error names the exact folder that failed.
    for (std::size_t slash = folder.find_first_of("/\\", FirstMakeableFolder(folder)); slash != std::string::npos;
         slash = folder.find_first_of("/\\", slash + 1)) {
        MakeOneFolder(folder.substr(0, slash), made);
    }
    MakeOneFolder(folder, made);
}

Replacement PrepareReplacement(const std::string& path) {
    const DWORD existing = AttributesOf(path);
    if (existing == INVALID_FILE_ATTRIBUTES || (existing & FILE_ATTRIBUTE_READONLY) == 0) return {};
    // A read-only file standing at the name is replaced as a rename would replace it.
    SetFileAttributesW(WidePath(path).c_str(), existing & ~FILE_ATTRIBUTE_READONLY);
    return {existing, true};
}

void UndoReplacement(const std::string& path, const Replacement& replacement) {
    if (replacement.changed) SetFileAttributesW(WidePath(path).c_str(), replacement.attributes_before);
}

void FinishReplacement(const std::string& path, unsigned mode) {
    if ((mode & 0222) == 0) SetFileAttributesW(WidePath(path).c_str(), FILE_ATTRIBUTE_READONLY);
}

bool RemoveFolderTree(const std::string& folder) {
    if (folder.empty()) return true;
    return RemoveTree(folder);
}

}  // namespace kitforge::setup
