#include "ui/recent_files.h"

#include <algorithm>

namespace kitforge {

RecentFiles::RecentFiles(RecentFilesStore store) : store_(std::move(store)) { Reload(); }

void RecentFiles::Reload() {
    if (!store_.load) return;
    // The stored list may have been edited by hand: no empty names, no repeats, no more than
    // the limit.
    std::vector<std::string> paths;
    for (std::string& path : store_.load()) {
        if (path.empty() || std::find(paths.begin(), paths.end(), path) != paths.end()) continue;
        paths.push_back(std::move(path));
        if (paths.size() == kLimit) break;
    }
    paths_ = std::move(paths);
}

void RecentFiles::Store() const {
    if (store_.save) store_.save(paths_);
}

void RecentFiles::Add(const std::string& path) {
    Reload();
    std::erase(paths_, path);
    paths_.insert(paths_.begin(), path);
    if (paths_.size() > kLimit) paths_.resize(kLimit);
    Store();
}

void RecentFiles::Remove(const std::string& path) {
    Reload();
    std::erase(paths_, path);
    Store();
}

}  // namespace kitforge
