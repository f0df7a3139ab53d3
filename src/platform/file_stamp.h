#pragma once
// When a file was last changed, to the nanosecond where the file system keeps it, and which
// file it is: two paths with the same identity are the same file.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "os/file.h"

namespace kitforge {

using FileIdentity = std::pair<std::uint64_t, std::uint64_t>;

struct FileStamp {
    std::int64_t modified_ns = 0;  // nanoseconds since 1970-01-01 00:00 UTC
    FileIdentity identity;
};

// Nothing when the file cannot be asked.
std::optional<FileStamp> StampOf(File& file);
std::optional<FileStamp> StampOf(const std::string& path);
// Sets the modification time of an open file, leaving its access time; false on failure.
bool SetModificationTime(File& file, std::int64_t modified_ns);

}  // namespace kitforge
