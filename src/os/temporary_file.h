#pragma once
// A new file under a name that nobody else has, removed again unless it is kept: the first
// half of every "write a temporary file, then rename it over the target".

#include <string>

#include "os/file.h"

namespace kitforge {

class TemporaryFile {
public:
    // Creates `stem` followed by six random letters and digits, a name that must not exist yet
    // (so nothing standing there, a link included, is ever opened), with `mode` less the umask.
    // Gives an empty TemporaryFile and the errno value in `error` when that fails.
    static TemporaryFile Create(const std::string& stem, unsigned mode, int* error);

    TemporaryFile() = default;
    TemporaryFile(TemporaryFile&& other) noexcept;
    TemporaryFile& operator=(TemporaryFile&& other) noexcept;
    ~TemporaryFile();

    bool IsOpen() const noexcept { return file_.IsOpen(); }
    // The file; after Close() it stays closed.
    File& Open() noexcept { return file_; }
    const std::string& Path() const noexcept { return path_; }
    // Renames the file over `target` (see RenameOver) and keeps it there; 0 or the errno value.
    int RenameOver(const std::string& target);
    // Closes and removes the file now.
    void Remove() noexcept;

private:
    File file_;
    std::string path_;
};

}  // namespace kitforge
