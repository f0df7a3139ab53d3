#include "setup/folder_ownership.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>

#include "setup/setup_errors.h"

namespace kitforge::setup {

namespace {

std::string Judged(const std::string& path, const struct stat& st) {
    const std::string shown = PrintablePath(path);
    if (st.st_uid != 0) {
        return shown + (S_ISLNK(st.st_mode) ? " is a link" : " is") + " owned by user " + std::to_string(st.st_uid) +
               ", not by root";
    }
    // A link's own mode bits mean nothing; what it leads to is checked on its own.
    if (S_ISLNK(st.st_mode) || (st.st_mode & S_ISVTX) != 0) return {};
    if ((st.st_mode & S_IWOTH) != 0) return shown + " is writable by others and has no sticky bit";
    if ((st.st_mode & S_IWGRP) != 0)
        return shown + " is writable by its group " + std::to_string(st.st_gid) + " and has no sticky bit";
    return {};
}

// Checks "/" and every existing prefix of `path`; `deepest` receives the last one that exists.
std::string CheckPrefixes(const std::string& path, std::string& deepest) {
    deepest.assign(1, '/');  // not = "/": GCC 12 at -O3 warns falsely (-Wrestrict) on that
    for (std::size_t end = 0; end != std::string::npos;) {
        end = path.find('/', end + 1);
        const std::string prefix = end == std::string::npos ? path : path.substr(0, end);
        if (prefix.empty()) continue;
        struct stat st {};
        if (::lstat(prefix.c_str(), &st) != 0) break;  // the rest is still to be made, by root
        if (std::string reason = Judged(prefix, st); !reason.empty()) return reason;
        deepest = prefix;
    }
    return {};
}

}  // namespace

std::string FolderOthersCanChange(const std::string& target) {
    std::string deepest;
    if (std::string reason = CheckPrefixes(target, deepest); !reason.empty()) return reason;
    struct stat root {};
    if (::lstat("/", &root) == 0) {
        if (std::string reason = Judged("/", root); !reason.empty()) return reason;
    }
    const std::unique_ptr<char, decltype(&::free)> real(::realpath(deepest.c_str(), nullptr), &::free);
    if (!real) return {};
    std::string ignored;
    return CheckPrefixes(real.get(), ignored);
}

}  // namespace kitforge::setup
