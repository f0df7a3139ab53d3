// Saving a file on Windows: the new content goes to a temporary file beside the target, is
// flushed to the disk, and then takes the target's place with MoveFileExW in one step. On
// failure the target stays as it was and the temporary file is removed.
#include <atomic>

#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/safe_file_writer.h"
#include "platform/win32_api.h"

namespace kitforge {

namespace {

class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!path_.empty()) DeleteFileW(WidePath(path_).c_str());
    }
    void Keep() { path_.clear(); }

private:
    std::string path_;
};

// A name beside `target` that no file has yet, created empty.
std::string CreateTemporaryBeside(const std::string& target, const std::string& path) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderPart(target);
    const std::string stem = (folder.empty() ? std::string(".\\") : folder) + "." + FileNamePart(target) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned long long stamp = (static_cast<unsigned long long>(GetCurrentProcessId()) << 20) ^
                                         GetTickCount64() ^ (static_cast<unsigned long long>(++counter) << 40);
        std::string candidate = stem;
        for (int i = 0; i < 6; ++i) candidate += "abcdefghijklmnopqrstuvwxyz0123456789"[(stamp >> (6 * i)) % 36];
        try {
            File::CreateNew(candidate).Close();
            return candidate;
        } catch (const FileError& e) {
            if (e.Code() != EEXIST) throw InOutError("create", path, e.Code());
        }
    }
    throw InOutError("create", path, EEXIST);
}

}  // namespace

ReplacementFile::ReplacementFile(std::string path, unsigned mode) : path_(std::move(path)) {
    temporary_ = CreateTemporaryBeside(NativePath(path_), path_);
    try {
        file_ = File::Create(temporary_, mode);
    } catch (const FileError& e) {
        DeleteFileW(WidePath(temporary_).c_str());
        throw InOutError("create", path_, e.Code());
    }
}

ReplacementFile::~ReplacementFile() {
    if (committed_) return;
    file_ = File();
    DeleteFileW(WidePath(temporary_).c_str());
}

void ReplacementFile::Commit() {
    try {
        file_.Sync();
        file_.Close();
    } catch (const FileError& e) {
        throw InOutError("write", path_, e.Code(), e.Code() == 0 ? std::string_view(e.what()) : std::string_view());
    }
    if (!MoveFileExW(WidePath(temporary_).c_str(), WidePath(NativePath(path_)).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw InOutError("write", path_, LastErrorAsErrno());
    committed_ = true;
}

void WriteFileSafely(const std::string& path, const std::function<void(File&)>& write) {
    const std::string target = NativePath(path);
    const std::string temp = CreateTemporaryBeside(target, path);
    TemporaryFile guard(temp);
    try {
        File file = File::Create(temp);
        write(file);
        file.Sync();
        file.Close();
    } catch (const FileError& e) {
        throw InOutError("write", path, e.Code(), e.Code() == 0 ? std::string_view(e.what()) : std::string_view());
    }
    if (!MoveFileExW(WidePath(temp).c_str(), WidePath(target).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw InOutError("write", path, LastErrorAsErrno());
    guard.Keep();
}

void WriteNewFileSafely(const std::string& path, unsigned mode, const std::function<void(File&)>& write) {
    const std::string target = NativePath(path);
    const std::string temp = CreateTemporaryBeside(target, path);
    TemporaryFile guard(temp);
    File file = File::Create(temp, mode);
    write(file);
    try {
        file.Close();
    } catch (const FileError& e) {
        throw InOutError("write", path, e.Code(), e.Code() == 0 ? std::string_view(e.what()) : std::string_view());
    }
    if (!MoveFileExW(WidePath(temp).c_str(), WidePath(target).c_str(), MOVEFILE_REPLACE_EXISTING))
        throw InOutError("create", path, LastErrorAsErrno());
    guard.Keep();
}

}  // namespace kitforge
