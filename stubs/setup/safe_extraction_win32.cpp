// Writing installed files on Windows: a temporary file in the target folder, flushed, then put
// in place of the name with MoveFileExW in one step. Windows has no permission bits to give;
// a mode without any write bit makes the file read-only.
#include <cerrno>

#include "os/errors.h"
#include "os/win32_api.h"
#include "setup/safe_extraction.h"

namespace kitforge::setup {

namespace {

class TemporaryName {
public:
    explicit TemporaryName(std::string path) : path_(std::move(path)) {}
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;
    ~TemporaryName() {
        if (!path_.empty()) DeleteFileW(WidePath(path_).c_str());
    }
    void Keep() { path_.clear(); }

private:
    std::string path_;
};

DWORD AttributesOf(const std::string& path) { return GetFileAttributesW(WidePath(path).c_str()); }

bool IsFolder(const std::string& path) {
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void MakeOneFolder(const std::string& folder) {
    if (CreateDirectoryW(WidePath(folder).c_str(), nullptr)) return;
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS || code == ERROR_ACCESS_DENIED) {
        // A drive root answers "access denied" rather than "exists".
        if (IsFolder(folder)) return;
        if (code == ERROR_ALREADY_EXISTS) throw InOutError("create the folder", folder, ENOTDIR);
    }
    throw InOutError("create the folder", folder, ErrnoFromWindowsError(code));
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

void MakeFolders(const std::string& folder) {
    if (folder.empty() || IsFolder(folder)) return;
    // Make every folder from the top down, so each error names the exact folder that failed.
    for (std::size_t slash = folder.find_first_of("/\\", FirstMakeableFolder(folder)); slash != std::string::npos;
         slash = folder.find_first_of("/\\", slash + 1)) {
        MakeOneFolder(folder.substr(0, slash));
    }
    MakeOneFolder(folder);
}

void WriteFileThroughTemporary(const std::string& folder, const std::string& name, unsigned mode,
                               const std::function<void(File&)>& fill) {
    const std::string path = folder + "/" + name;
    std::string temporary;
    unsigned long long seed = (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^ GetTickCount64();
    for (int attempt = 0; temporary.empty(); ++attempt) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        std::string candidate = folder + "/.kitforge-setup-";
        for (int i = 0; i < 6; ++i) candidate += "abcdefghijklmnopqrstuvwxyz0123456789"[(seed >> (8 * i + 8)) % 36];
        try {
            File::CreateNew(candidate).Close();
            temporary = candidate;
        } catch (const InOutError& e) {
            if (e.Code() != EEXIST || attempt >= 100) throw InOutError("create", path, e.Code());
        }
    }
    TemporaryName guard(temporary);

    try {
        File file = File::OpenReadWrite(temporary);
        fill(file);
        file.Sync();
        file.Close();
    } catch (const InOutError& e) {
        // The user knows the file by its final name, not by the temporary one.
        if (e.Path() != temporary) throw;
        throw InOutError("write", path, e.Code());
    }
    // A read-only file standing at the name is replaced as a rename would replace it.
    const DWORD existing = AttributesOf(path);
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY) != 0)
        SetFileAttributesW(WidePath(path).c_str(), existing & ~FILE_ATTRIBUTE_READONLY);
    if (!MoveFileExW(WidePath(temporary).c_str(), WidePath(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const int error = LastErrorAsErrno();
        // The file that stays keeps its read-only mark.
        if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY) != 0)
            SetFileAttributesW(WidePath(path).c_str(), existing);
        throw InOutError("write", path, error);
    }
    guard.Keep();
    if ((mode & 0222) == 0) SetFileAttributesW(WidePath(path).c_str(), FILE_ATTRIBUTE_READONLY);
}

bool RemoveFolderTree(const std::string& folder) {
    if (folder.empty()) return true;
    return RemoveTree(folder);
}

FileIdentity WriteFileThroughTemporary(const InstallFolder& folder, const std::string& name, unsigned mode,
                                       const std::function<void(File&)>& fill) {
    WriteFileThroughTemporary(folder.path, name, mode, fill);
    const auto stamp = StampOf(folder.path + "/" + name);
    return stamp ? stamp->identity : FileIdentity{};
}

}  // namespace kitforge::setup
