#pragma once
// A fresh folder for one test, removed with everything in it when the test ends, and small
// helpers to put bytes into files and read them back.

#include <string>
#include <string_view>

namespace kitforge::testing {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder, ending in "/".
    const std::string& Path() const { return path_; }
    // Path() + name.
    std::string operator/(std::string_view name) const { return path_ + std::string(name); }

private:
    std::string path_;
};

void WriteBytes(const std::string& path, std::string_view bytes);
std::string ReadBytes(const std::string& path);

}  // namespace kitforge::testing
