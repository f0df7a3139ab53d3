#include "setup/temporary_run_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <vector>

#include "os/errors.h"
#include "setup/safe_extraction.h"

namespace kitforge::setup {

TemporaryRunFolder::TemporaryRunFolder(const std::string& temp_root) {
    const std::string pattern = temp_root + "/kitforge-setup-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) throw InOutError("create the folder", pattern, errno);
    path_ = name.data();
}

TemporaryRunFolder::~TemporaryRunFolder() { RemoveFolderTree(path_); }

}  // namespace kitforge::setup
