#include "platform/paths.h"

#include <unistd.h>

#include <climits>
#include <vector>

namespace kitforge {

bool IsPathSeparator(char c) noexcept { return c == '\\' || c == '/' || c == ':'; }

namespace {

std::size_t NameStart(std::string_view path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsPathSeparator(path[i - 1])) return i;
    }
    return 0;
}

std::string ReadProgramFolder() {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return "./";
    std::string exe(buffer.data(), static_cast<std::size_t>(n));
    const auto slash = exe.rfind('/');
    return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
}

}  // namespace

std::string FolderPart(std::string_view path) { return std::string(path.substr(0, NameStart(path))); }

std::string FileNamePart(std::string_view path) { return std::string(path.substr(NameStart(path))); }

std::string NativePath(std::string_view path) {
    std::string native(path);
    for (char& c : native) {
        if (c == '\\') c = '/';
    }
    return native;
}

const std::string& ProgramFolder() {
    static const std::string folder = ReadProgramFolder();
    return folder;
}

std::string WithoutTrailingSeparator(std::string_view path) {
    if (!path.empty() && (path.back() == '/' || path.back() == '\\')) path.remove_suffix(1);
    return std::string(path);
}

}  // namespace kitforge
