// FolderWriter on Windows: the same two phases (stage every file under a temporary name, then
// rename them all into place) with the W functions. Every folder below the target is checked
// part by part before it is used: a part that is a file, or a link or junction (a reparse
// point), stops the extraction, so nothing is written through a link standing in the target.
#include <algorithm>
#include <cstdio>
#include <ctime>

#include "zipsfx/entry_names.h"
#include "zipsfx/folder_writer.h"
#include "zipsfx/sfx_error.h"
#include "zipsfx/windows_text.h"

namespace kitforge::zipsfx {

namespace {

std::pair<std::string, std::string> SplitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {"", path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

bool IsMissing(DWORD code) { return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND; }

// "C:", "C:/", "/" and "" are roots: they are never made.
bool IsRoot(const std::string& path) {
    return path.empty() || path == "/" || path == "\\" || path == "." ||
           (path.size() <= 3 && path.size() >= 2 && path[1] == ':');
}

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return handle_; }
    bool Close() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != 0;
    }

private:
    HANDLE handle_;
};

}  // namespace

FolderWriter::FolderWriter(std::string root) : root_(std::move(root)) {
    while (root_.size() > 1 && (root_.back() == '/' || root_.back() == '\\') && !IsRoot(root_)) root_.pop_back();
}

FolderWriter::~FolderWriter() {
    if (!committed_) Discard();
}

std::string FolderWriter::Shown(const std::string& path) const {
    return Printable(path.empty() ? root_ : root_ + "/" + path);
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
    const DWORD attributes = GetFileAttributesW(WidePath(root_).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        throw SfxError(WindowsFailure("open the folder", Printable(root_), GetLastError()));
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        throw SfxError("cannot extract into " + Printable(root_) + ": it is not a folder");
    root_fd_ = 0;
}

int FolderWriter::OpenFolder(const std::string& folder, bool create) {
    std::string walked;
    std::size_t start = 0;
    while (start < folder.size()) {
        std::size_t slash = folder.find('/', start);
        if (slash == std::string::npos) slash = folder.size();
        if (!walked.empty()) walked += '/';
        walked.append(folder, start, slash - start);
        const std::string full = root_ + "/" + walked;
        if (create) {
            if (CreateDirectoryW(WidePath(full).c_str(), nullptr)) {
                made_folders_.push_back(full);
            } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
                throw SfxError(WindowsFailure("make the folder", Shown(walked), GetLastError()));
            }
        }
        const DWORD attributes = GetFileAttributesW(WidePath(full).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            throw SfxError(WindowsFailure("open the folder", Shown(walked), GetLastError()));
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
            throw SfxError("cannot extract into " + Shown(walked) + ": it is not a folder (a file or a link)");
        start = slash + 1;
    }
    return 0;
}

void FolderWriter::MakeFolder(const std::string& path) { OpenFolder(path, true); }

void FolderWriter::StageFile(const std::string& path, std::optional<std::uint32_t> mode, std::uint32_t dos_time,
                             const std::function<void(const ByteSink&)>& fill) {
    auto [folder, name] = SplitPath(path);
    OpenFolder(folder, true);
    const std::string shown = Shown(path);
    const std::string folder_path = folder.empty() ? root_ : root_ + "/" + folder;
    Staged staged{folder, "", name};
    HANDLE created = INVALID_HANDLE_VALUE;
    for (int attempt = 0; created == INVALID_HANDLE_VALUE; ++attempt) {
        char temporary[64];
        std::snprintf(temporary, sizeof temporary, ".zipsfx-%lu-%u.tmp", GetCurrentProcessId(), counter_++);
        created = CreateFileW(WidePath(folder_path + "/" + temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE && (GetLastError() != ERROR_FILE_EXISTS || attempt > 1000))
            throw SfxError(WindowsFailure("create", shown, GetLastError()));
        staged.temporary = temporary;
    }
    Handle file(created);
    staged_.push_back(staged);

    fill([&](const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            DWORD wrote = 0;
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
            const DWORD code = !WriteFile(file.Get(), data, want, &wrote, nullptr) ? GetLastError()
                               : wrote == 0                                          ? ERROR_DISK_FULL
                                                                                     : ERROR_SUCCESS;
            if (code != ERROR_SUCCESS) {
                // Room, not damage: the caller can say how much was needed.
                const bool no_room = code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL;
                throw SfxError(WindowsFailure("write", shown, code),
                               no_room ? FailureKind::NoSpace : FailureKind::Damaged);
            }
            data += wrote;
            size -= wrote;
        }
    });
    if (const auto seconds = DosTimeToUnix(dos_time)) {
        const std::int64_t steps = *seconds * 10000000LL + 116444736000000000LL;
        FILETIME time;
        time.dwLowDateTime = static_cast<DWORD>(steps & 0xFFFFFFFF);
        time.dwHighDateTime = static_cast<DWORD>(steps >> 32);
        SetFileTime(file.Get(), nullptr, &time, &time);  // a file without its date is still the right file
    }
    if (!file.Close()) throw SfxError(WindowsFailure("write", shown, GetLastError()));
    // Windows has no permission bits: an entry that nobody may write becomes read-only.
    if (mode && (*mode & 0222) == 0)
        SetFileAttributesW(WidePath(folder_path + "/" + staged.temporary).c_str(), FILE_ATTRIBUTE_READONLY);
}

void FolderWriter::Commit() {
    for (Staged& staged : staged_) {
        if (staged.done) continue;
        const std::string path = staged.folder.empty() ? staged.name : staged.folder + "/" + staged.name;
        const std::string folder_path = staged.folder.empty() ? root_ : root_ + "/" + staged.folder;
        try {
            OpenFolder(staged.folder, false);
            if (!MoveFileExW(WidePath(folder_path + "/" + staged.temporary).c_str(),
                             WidePath(folder_path + "/" + staged.name).c_str(), MOVEFILE_REPLACE_EXISTING)) {
                throw SfxError(WindowsFailure("put in place", Shown(path), GetLastError()));
            }
        } catch (const SfxError&) {
            Discard();
            throw;
        }
        staged.done = true;
    }
    committed_ = true;
}

void FolderWriter::Discard() noexcept {
    for (Staged& staged : staged_) {
        if (staged.done) continue;
        const std::string folder_path = staged.folder.empty() ? root_ : root_ + "/" + staged.folder;
        const std::wstring temporary = WidePath(folder_path + "/" + staged.temporary);
        SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(temporary.c_str());
        staged.done = true;
    }
    for (auto it = made_folders_.rbegin(); it != made_folders_.rend(); ++it) RemoveDirectoryW(WidePath(*it).c_str());
    made_folders_.clear();
}

}  // namespace kitforge::zipsfx
