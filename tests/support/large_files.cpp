#include "support/large_files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kitforge::testing {

bool LargeTestsWanted() {
    const char* wanted = std::getenv("KITFORGE_LARGE_TESTS");
    return wanted != nullptr && std::string(wanted) == "1";
}

void MakeSparseFile(const std::string& path, std::uint64_t size) {
    { std::ofstream create(path, std::ios::binary | std::ios::trunc); }
    std::filesystem::resize_file(path, size);
}

bool ToolOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return false;
    std::stringstream folders(path);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty()) continue;
        std::error_code ignored;
        const auto candidate = std::filesystem::path(folder) / name;
        const auto status = std::filesystem::status(candidate, ignored);
        using std::filesystem::perms;
        if (std::filesystem::is_regular_file(status) && (status.permissions() & perms::others_exec) != perms::none) {
            return true;
        }
    }
    return false;
}

}  // namespace kitforge::testing
