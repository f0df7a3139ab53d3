// The temporary archive on Windows: created with CREATE_NEW under a fresh name, put in place
// with MoveFileExW, which replaces the archive in one step on the same volume. From another
// volume it is first copied beside the archive, so the replacement stays a single step.
#include <atomic>
#include <vector>

#include "archive_commit.h"
#include "wide_text.h"

namespace zipdll {

namespace {

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

bool Replace(const std::string& from, const std::string& to) {
    return MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

}  // namespace

PosixFile CreateTemporaryFile(const std::string& folder, std::string& path) {
    static std::atomic<unsigned> counter{0};
    std::string prefix = folder.empty() ? std::string(".") : folder;
    if (prefix.back() != '/' && prefix.back() != '\\') prefix += '/';
    prefix += ".zipdll-";
    DWORD code = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 100 && (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS); ++attempt) {
        unsigned long long stamp = (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^ GetTickCount64() ^
                                   (static_cast<unsigned long long>(++counter) * 0x9E3779B97F4A7C15ull);
        char suffix[17];
        for (int i = 0; i < 16; ++i) suffix[i] = "0123456789abcdef"[(stamp >> (4 * i)) & 0xF];
        suffix[16] = '\0';
        std::string candidate = prefix + suffix;
        try {
            PosixFile file = PosixFile::CreateNew(candidate);
            path = candidate;
            return file;
        } catch (const IoFailure&) {
            code = GetLastError();
        }
    }
    throw IoFailure("create a temporary file in", folder.empty() ? std::string(".") : folder, WindowsErrorText(code));
}

PendingArchive::PendingArchive(std::string archive, const std::string& temp_dir) : archive_(std::move(archive)) {
    file_ = CreateTemporaryFile(temp_dir.empty() ? FolderOf(archive_) : temp_dir, temp_path_);
}

PendingArchive::~PendingArchive() {
    if (!committed_ && !temp_path_.empty()) {
        file_ = PosixFile();
        DeleteFileW(WidePath(temp_path_).c_str());
    }
}

void PendingArchive::Commit() {
    file_.Sync();
    file_.Close();
    if (Replace(temp_path_, archive_)) {
        committed_ = true;
        return;
    }
    DWORD code = GetLastError();
    if (code != ERROR_NOT_SAME_DEVICE) throw IoFailure("replace", archive_, WindowsErrorText(code));

    // The temporary folder is on another volume: copy beside the archive first.
    std::string beside_path;
    PosixFile beside = CreateTemporaryFile(FolderOf(archive_), beside_path);
    try {
        PosixFile source = PosixFile::OpenRead(temp_path_);
        std::vector<char> buffer(1u << 20);
        std::uint64_t offset = 0;
        for (;;) {
            std::size_t got = source.ReadAt(buffer.data(), buffer.size(), offset);
            if (got == 0) break;
            beside.Write(buffer.data(), got);
            offset += got;
        }
        beside.Sync();
        beside.Close();
        if (!Replace(beside_path, archive_)) throw IoFailure("replace", archive_, WindowsErrorText(GetLastError()));
    } catch (...) {
        beside = PosixFile();
        DeleteFileW(WidePath(beside_path).c_str());
        throw;
    }
}

}  // namespace zipdll
