// Making folders and removing them on Linux; writing a file is safe_extraction_common.cpp.
#include "setup/safe_extraction.h"

#include <fcntl.h>
#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "os/errors.h"
#include "setup/safe_extraction_steps.h"

namespace kitforge::setup {

namespace {

void MakeOneFolder(const std::string& folder, std::vector<std::string>* made) {
    if (::mkdir(folder.c_str(), 0777) == 0) {
        if (made) made->push_back(folder);
        return;
    }
    const int error = errno;
    struct stat st {};
    if (error == EEXIST && ::stat(folder.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return;
        throw InOutError("create the folder", folder, ENOTDIR);
    }
    throw InOutError("create the folder", folder, error);
}

int RemoveEntry(const char* path, const struct stat*, int type, struct FTW*) {
    const int result = type == FTW_DP ? ::rmdir(path) : ::unlink(path);
    return result == 0 ? 0 : -1;
}

}  // namespace

void MakeFolders(const std::string& folder, std::vector<std::string>* made) {
    if (folder.empty()) return;
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
    // Make every folder from the top down, so each error names the exact folder that failed.
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
        MakeOneFolder(folder.substr(0, slash), made);
    }
    MakeOneFolder(folder, made);
}

Replacement PrepareReplacement(const std::string&) { return {}; }

void UndoReplacement(const std::string&, const Replacement&) {}

void FinishReplacement(const std::string&, unsigned) {}

bool RemoveFolderTree(const std::string& folder) {
    if (folder.empty()) return true;
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) return errno == ENOENT;
    return ::nftw(folder.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

}  // namespace kitforge::setup
