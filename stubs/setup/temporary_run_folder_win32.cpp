#include <cerrno>

#include "os/errors.h"
#include "os/win32_api.h"
#include "setup/safe_extraction.h"
#include "setup/temporary_run_folder.h"

namespace kitforge::setup {

TemporaryRunFolder::TemporaryRunFolder(const std::string& temp_root) {
    const std::string stem = temp_root + "/kitforge-setup-";
    unsigned long long seed = (static_cast<unsigned long long>(GetCurrentProcessId()) << 32) ^ GetTickCount64();
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        std::string candidate = stem;
        for (int i = 0; i < 6; ++i) candidate += "abcdefghijklmnopqrstuvwxyz0123456789"[(seed >> (8 * i + 8)) % 36];
        if (CreateDirectoryW(WidePath(candidate).c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw InOutError("create the folder", candidate, LastErrorAsErrno());
    }
    throw InOutError("create the folder", stem + "XXXXXX", EEXIST);
}

TemporaryRunFolder::~TemporaryRunFolder() { RemoveFolderTree(path_); }

}  // namespace kitforge::setup
