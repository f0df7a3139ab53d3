#include "zipsfx/extraction_plan.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <set>

#include "zipsfx/entry_names.h"
#include "zipsfx/sfx_error.h"
#ifdef _WIN32
#include "zipsfx/windows_text.h"
#endif

namespace kitforge::zipsfx {

namespace {

[[noreturn]] void Refuse(const ArchiveEntry& entry, const std::string& why) {
    throw SfxError("refusing to extract \"" + Printable(entry.stored_name) + "\": " + why);
}

// Every folder that `path` implies: "a/b/c" gives "a" and "a/b".
void AddParents(const std::string& path, std::set<std::string>& folders) {
    for (std::size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        folders.insert(path.substr(0, slash));
    }
}

enum class Found { Nothing, File, Folder, Other };

#ifdef _WIN32
Found Look(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return Found::Nothing;
        throw SfxError(WindowsFailure("look at", path, code));
    }
    // A link or junction counts as a file: it is replaced, never entered.
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return Found::File;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Found::Folder;
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return Found::Other;
    return Found::File;
}
#else
Found Look(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) return Found::Nothing;
        throw SfxError("cannot look at " + path + ": " + std::strerror(errno));
    }
    if (S_ISDIR(info.st_mode)) return Found::Folder;
    if (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode)) return Found::File;
    return Found::Other;
}
#endif

}  // namespace

std::vector<PlannedItem> CheckEntries(const ZipArchive& archive) {
    std::vector<PlannedItem> items;
    items.reserve(archive.entries.size());
    std::set<std::string> files;
    std::set<std::string> folders;
    for (const ArchiveEntry& entry : archive.entries) {
        std::string reason;
        const auto name = CheckEntryName(entry.stored_name, &reason);
        if (!name) Refuse(entry, reason);
        PlannedItem item;
        item.entry = &entry;
        item.path = name->path;
        item.is_directory = name->is_directory;
        if (!item.is_directory) {
            const std::string unsupported = entry.UnsupportedReason();
            if (!unsupported.empty()) Refuse(entry, unsupported);
            if (!files.insert(item.path).second) Refuse(entry, "the archive holds it twice");
        } else {
            folders.insert(item.path);
        }
        AddParents(item.path, folders);
        items.push_back(std::move(item));
    }
    for (const PlannedItem& item : items) {
        if (!item.is_directory && folders.count(item.path)) {
            Refuse(*item.entry, "the archive also holds a folder of that name");
        }
    }
    return items;
}

std::optional<std::vector<bool>> ParseSelection(std::string_view answer, std::size_t count) {
    auto blank = [](char c) { return c == ' ' || c == ',' || c == '\t'; };
    while (!answer.empty() && blank(answer.front())) answer.remove_prefix(1);
    while (!answer.empty() && blank(answer.back())) answer.remove_suffix(1);
    if (answer.empty() || answer == "*") return std::vector<bool>(count, true);

    std::vector<bool> chosen(count, false);
    std::size_t i = 0;
    auto number = [&](std::size_t& value) {
        if (i >= answer.size() || answer[i] < '0' || answer[i] > '9') return false;
        value = 0;
        for (; i < answer.size() && answer[i] >= '0' && answer[i] <= '9'; ++i) {
            value = value * 10 + static_cast<std::size_t>(answer[i] - '0');
            if (value > count) return false;
        }
        return value >= 1;
    };
    while (i < answer.size()) {
        if (blank(answer[i])) {
            ++i;
            continue;
        }
        std::size_t first = 0;
        std::size_t last = 0;
        if (!number(first)) return std::nullopt;
        last = first;
        if (i < answer.size() && answer[i] == '-') {
            ++i;
            if (!number(last) || last < first) return std::nullopt;
        }
        for (std::size_t n = first; n <= last; ++n) chosen[n - 1] = true;
        if (i < answer.size() && !blank(answer[i])) return std::nullopt;
    }
    return chosen;
}

void ProbeTargets(const std::string& root, std::vector<PlannedItem>& items) {
    for (PlannedItem& item : items) {
        item.state = TargetState::Missing;
        std::string path = root;
        std::size_t start = 0;
        bool missing_folder = false;
        for (std::size_t slash = item.path.find('/'); slash != std::string::npos;
             start = slash + 1, slash = item.path.find('/', start)) {
            // Appended in two steps: "/" + substr trips a false -Wrestrict of GCC 12 at -O3.
            path += '/';
            path.append(item.path, start, slash - start);
            const Found found = Look(path);
            if (found == Found::Nothing) {
                missing_folder = true;
                break;
            }
            if (found != Found::Folder) {
                throw SfxError("cannot extract " + PrintablePath(item.path) + ": " + PrintablePath(path) +
                               " is in the way (it is not a folder)");
            }
        }
        if (missing_folder) continue;
        path = root + "/" + item.path;
        const Found found = Look(path);
        if (found == Found::Nothing) continue;
        if (item.is_directory && found != Found::Folder) {
            throw SfxError("cannot make the folder " + PrintablePath(path) + ": a file of that name exists");
        }
        if (!item.is_directory && found == Found::Folder) {
            throw SfxError("cannot extract " + PrintablePath(path) + ": a folder of that name exists");
        }
        if (found == Found::Other)
            throw SfxError("cannot extract " + PrintablePath(path) + ": it is not a regular file");
        item.state = item.is_directory ? TargetState::Folder : TargetState::File;
    }
}

std::uint64_t BytesToWrite(const std::vector<PlannedItem>& items) {
    std::uint64_t total = 0;
    for (const PlannedItem& item : items) {
        if (item.write && !item.is_directory) total += item.entry->unpacked_size;
    }
    return total;
}

}  // namespace kitforge::zipsfx
