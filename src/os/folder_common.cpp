#include "os/folder.h"

namespace kitforge {

std::string Folder::PathOf(const std::string& name) const {
    if (path_.empty()) return name;
    const char last = path_.back();
    return last == '/' || last == '\\' ? path_ + name : path_ + "/" + name;
}

}  // namespace kitforge
