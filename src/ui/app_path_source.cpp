#include "ui/app_path_source.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/paths.h"

namespace kitforge {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kAppPathToken = "%apppath%";

// The part of `path` below `folder`, or nothing when it is not below it. Both are tidy.
std::optional<fs::path> Below(const fs::path& path, const fs::path& folder) {
    const fs::path relative = path.lexically_relative(folder);
    if (relative.empty() || *relative.begin() == "..") return std::nullopt;
    return relative;
}

// The same path with its folders' links resolved; the file itself stays as named, so that a
// link inside the script's folder is written as the link, which the build follows.
fs::path RealFolderOf(const fs::path& path) {
    std::error_code error;
    const fs::path folder = fs::weakly_canonical(path.parent_path(), error);
    return error ? path : folder / path.filename();
}

}  // namespace

std::string AppPathSource(const std::string& path, std::string_view script_file_name) {
    const std::string script_folder = FolderPart(script_file_name);
    if (script_folder.empty() || !IsAbsolutePath(path)) return path;
    const fs::path file = fs::path(path).lexically_normal();
    const fs::path folder = fs::path(script_folder).lexically_normal();
    auto relative = Below(file, folder);
    if (!relative) {
        std::error_code error;
        const fs::path real_folder = fs::weakly_canonical(folder, error);
        if (!error) relative = Below(RealFolderOf(file), real_folder);
    }
    if (!relative) return path;
    return std::string(kAppPathToken) + relative->generic_string();
}

}  // namespace kitforge
