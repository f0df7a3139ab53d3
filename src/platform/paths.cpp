#include "platform/paths.h"

#ifdef _WIN32
#include "os/win32_api.h"
#else
#include <unistd.h>
#endif

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

#ifdef _WIN32
std::string ReadProgramFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return ".\\";
        if (n < buffer.size()) {
            const std::string exe = Utf8Text(std::wstring_view(buffer.data(), n));
            const auto slash = exe.find_last_of("\\/");
            return slash == std::string::npos ? std::string(".\\") : exe.substr(0, slash + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}
#else
std::string ReadProgramFolder() {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return "./";
    std::string exe(buffer.data(), static_cast<std::size_t>(n));
    const auto slash = exe.rfind('/');
    return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
}
#endif

}  // namespace

std::string FolderPart(std::string_view path) { return std::string(path.substr(0, NameStart(path))); }

std::string FileNamePart(std::string_view path) { return std::string(path.substr(NameStart(path))); }

bool IsAbsolutePath(std::string_view path) noexcept {
    if (!path.empty() && path.front() == '/') return true;
#ifdef _WIN32
    if (!path.empty() && path.front() == '\\') return true;
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
#else
    return false;
#endif
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
