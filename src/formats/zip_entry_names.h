#pragma once
// The one check of entry names that the zip component's extractors apply before anything is
// written: a name stored in an archive may only ever land below the target folder.

#include <cstddef>
#include <string_view>

namespace kitforge::formats {

// A name stored in an archive that an extractor must refuse, or nullptr when it may be
// written below a target folder. Names are refused, never repaired, so that what lands on
// the disk is exactly what the archive says or nothing at all. Both "/" and "\" count as
// separators, since archives made on Windows may use either.
inline const char* EntryNameProblem(std::string_view name) noexcept {
    if (name.empty()) return "the name is empty";
    if (name.find('\0') != std::string_view::npos) return "the name holds a zero byte";
    if (name.front() == '/' || name.front() == '\\') return "the name is an absolute path";
    if (name.size() >= 2 && name[1] == ':' &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'))) {
        return "the name starts with a drive letter";
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = name.size();
        if (name.substr(start, end - start) == "..") return "the name climbs out of its folder with \"..\"";
        start = end + 1;
    }
    return nullptr;
}

}  // namespace kitforge::formats
