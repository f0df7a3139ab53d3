#pragma once
// The folder that %wtemp% stands for: made fresh for one installation and removed with
// everything in it when the installation ends, however it ends.

#include <string>

namespace kitforge::setup {

class TemporaryRunFolder {
public:
    // Makes a new private folder under `temp_root`. Throws InOutError.
    explicit TemporaryRunFolder(const std::string& temp_root);
    ~TemporaryRunFolder();
    TemporaryRunFolder(const TemporaryRunFolder&) = delete;
    TemporaryRunFolder& operator=(const TemporaryRunFolder&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace kitforge::setup
