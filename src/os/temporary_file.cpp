#include "os/temporary_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <random>
#include <utility>

#include "os/file_names.h"

namespace kitforge {

namespace {

std::string RandomSuffix() {
    static std::atomic<unsigned> counter{0};
    static thread_local std::mt19937_64 generator{
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    std::uint64_t stamp = generator() ^ (static_cast<std::uint64_t>(++counter) << 40);
    std::string suffix;
    for (int i = 0; i < 6; ++i, stamp /= 36) suffix += "abcdefghijklmnopqrstuvwxyz0123456789"[stamp % 36];
    return suffix;
}

}  // namespace

TemporaryFile TemporaryFile::Create(const std::string& stem, unsigned mode, int* error) {
    int code = EEXIST;
    for (int attempt = 0; attempt < 100 && code == EEXIST; ++attempt) {
        // The name becomes ours only once the file is made: a name that stood already is
        // someone else's and must never be removed.
        std::string candidate = stem + RandomSuffix();
        if (auto file = File::TryOpen(candidate, File::Access::CreateNew, mode, &code)) {
            TemporaryFile made;
            made.file_ = std::move(*file);
            made.path_ = std::move(candidate);
            return made;
        }
    }
    if (error) *error = code;
    return TemporaryFile();
}

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept
    : file_(std::move(other.file_)), path_(std::exchange(other.path_, std::string())) {}

TemporaryFile& TemporaryFile::operator=(TemporaryFile&& other) noexcept {
    if (this != &other) {
        Remove();
        file_ = std::move(other.file_);
        path_ = std::exchange(other.path_, std::string());
    }
    return *this;
}

TemporaryFile::~TemporaryFile() { Remove(); }

int TemporaryFile::RenameOver(const std::string& target) {
    const int error = kitforge::RenameOver(path_, target);
    if (error == 0) path_.clear();
    return error;
}

void TemporaryFile::Remove() noexcept {
    file_ = File();
    if (!path_.empty()) RemoveFile(path_);
    path_.clear();
}

}  // namespace kitforge
