#include "platform/file_stamp.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "platform/paths.h"

namespace kitforge {

namespace {

FileStamp StampFrom(const struct stat& st) {
    return {static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec,
            {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)}};
}

}  // namespace

std::optional<FileStamp> StampOf(File& file) {
    struct stat st {};
    if (::fstat(file.Descriptor(), &st) != 0) return std::nullopt;
    return StampFrom(st);
}

std::optional<FileStamp> StampOf(const std::string& path) {
    struct stat st {};
    if (::stat(NativePath(path).c_str(), &st) != 0) return std::nullopt;
    return StampFrom(st);
}

bool SetModificationTime(File& file, std::int64_t modified_ns) {
    const struct timespec times[2] = {
        {0, UTIME_OMIT},
        {static_cast<time_t>(modified_ns / 1'000'000'000), static_cast<long>(modified_ns % 1'000'000'000)}};
    return ::futimens(file.Descriptor(), times) == 0;
}

}  // namespace kitforge
