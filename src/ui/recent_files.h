#pragma once
// The build scripts last opened or saved, most recent first, for the File menu. The list is
// kept between runs by a store (the user's settings in the program, a file or nothing in
// tests); without one it lasts as long as the window.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace kitforge {

struct RecentFilesStore {
    std::function<std::vector<std::string>()> load;
    std::function<void(const std::vector<std::string>&)> save;
};

class RecentFiles {
public:
    static constexpr std::size_t kLimit = 8;

    explicit RecentFiles(RecentFilesStore store = {});

    const std::vector<std::string>& Paths() const noexcept { return paths_; }
    // Puts `path` first; an earlier entry of it goes, and so does the ninth.
    void Add(const std::string& path);
    void Remove(const std::string& path);

private:
    // The stored list is read again before each change, so two editors open at the same time
    // do not undo each other's entries.
    void Reload();
    void Store() const;

    RecentFilesStore store_;
    std::vector<std::string> paths_;
};

}  // namespace kitforge
