#include "source_collector.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "file_system.h"
#include "report_codes.h"
#include "wildcard.h"

namespace zipdll {

namespace {

std::string NativeSpec(std::string spec) {
    std::replace(spec.begin(), spec.end(), '\\', '/');
    return spec;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder == ".") return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string LastPart(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    std::size_t slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

bool IsHidden(const std::string& name) { return !name.empty() && name[0] == '.'; }

class Collector {
public:
    Collector(const CollectOptions& options, ProgressReporter& reporter) : options_(options), reporter_(reporter) {}

    void AddSpec(const std::string& raw_spec) {
        std::string spec = NativeSpec(raw_spec);
        std::size_t slash = spec.rfind('/');
        std::string folder = slash == std::string::npos ? std::string() : spec.substr(0, slash + 1);
        std::string last = slash == std::string::npos ? spec : spec.substr(slash + 1);
        std::size_t before = items_.size();
        if (HasWildcards(last)) {
            MatchInFolder(folder.empty() ? "." : folder, folder, last);
        } else {
            AddNamed(spec);
        }
        if (items_.size() == before && !reported_for_spec_)
            reporter_.Report(kNotFound, "Nothing matches " + raw_spec + "; nothing added for it");
        reported_for_spec_ = false;
    }

    std::vector<SourceItem> Result() {
        std::vector<SourceItem> result;
        result.reserve(items_.size());
        for (auto& item : items_)
            if (!item.name.empty()) result.push_back(std::move(item));
        return result;
    }

private:
    void AddNamed(const std::string& path) {
        PathInfo st;
        if (ReadPathInfo(path, st) != PathState::kFound) {
            reporter_.Report(kNotFound, "Cannot find " + path + "; it was skipped");
            reported_for_spec_ = true;
            return;
        }
        if (!st.is_directory) {
            AddFile(path, st);
            return;
        }
        if (!options_.recurse) {
            if (WantsDirectoryEntries()) {
                AddDirectory(path, st);
            } else {
                reporter_.Report(kFolderSkipped, path + " is a folder; without recursion nothing of it was added");
                reported_for_spec_ = true;
            }
            return;
        }
        if (WantsDirectoryEntries()) AddDirectory(path, st);
        Walk(path, "*", st);
    }

    // Matches `pattern` against the entries of `folder`; `prefix` is prepended to the names.
    void MatchInFolder(const std::string& folder, const std::string& prefix, const std::string& pattern) {
        PathInfo st;
        if (ReadPathInfo(folder, st) != PathState::kFound || !st.is_directory) return;
        if (options_.recurse) {
            WalkFolder(folder, prefix, pattern, st);
            return;
        }
        for (const std::string& name : ListFolder(folder)) {
            if (!options_.hidden_files && IsHidden(name)) continue;
            if (!MatchesWildcard(pattern, name)) continue;
            std::string path = JoinPath(prefix, name);
            PathInfo entry;
            if (ReadPathInfo(JoinPath(folder, name), entry) != PathState::kFound) continue;
            if (entry.is_directory) {
                if (WantsDirectoryEntries()) AddDirectory(path, entry);
            } else {
                AddFile(path, entry);
            }
        }
    }

    void Walk(const std::string& folder, const std::string& pattern, const PathInfo& st) {
        WalkFolder(folder, folder, pattern, st);
    }

    // Every folder is entered once, so links that loop back are harmless.
    void WalkFolder(const std::string& folder, const std::string& prefix, const std::string& pattern,
                    const PathInfo& folder_stat) {
        if (!visited_.insert(folder_stat.identity).second) return;
        for (const std::string& name : ListFolder(folder)) {
            if (!options_.hidden_files && IsHidden(name)) continue;
            std::string disk_path = JoinPath(folder, name);
            std::string path = JoinPath(prefix, name);
            PathInfo entry;
            if (ReadPathInfo(disk_path, entry) != PathState::kFound) {
                reporter_.Report(kCannotRead, "Cannot read " + disk_path + "; it was skipped");
                continue;
            }
            if (entry.is_directory) {
                if (WantsDirectoryEntries() && MatchesWildcard(pattern, name)) AddDirectory(path, entry);
                WalkFolder(disk_path, path, pattern, entry);
            } else if (MatchesWildcard(pattern, name)) {
                AddFile(path, entry);
            }
        }
    }

    std::vector<std::string> ListFolder(const std::string& folder) {
        std::vector<std::string> names;
        if (!ListFolderNames(folder, names)) {
            reporter_.Report(kCannotRead, "Cannot read the folder " + folder + "; it was skipped");
            return names;
        }
        // A stable order makes the same folder give the same archive.
        std::sort(names.begin(), names.end());
        return names;
    }

    bool WantsDirectoryEntries() const { return options_.directory_entries && options_.keep_directory_names; }

    bool Excluded(const PathInfo& st) const {
        return std::find(options_.excluded.begin(), options_.excluded.end(), st.identity) != options_.excluded.end();
    }

    void AddFile(const std::string& path, const PathInfo& st) {
        if (Excluded(st)) return;
        if (!st.is_regular) {
            reporter_.Report(kCannotRead, path + " is not a regular file; it was skipped");
            reported_for_spec_ = true;
            return;
        }
        SourceItem item;
        item.path = path;
        item.name = options_.keep_directory_names ? StoredPathName(path) : LastPart(path);
        item.size = st.size;
        Fill(item, st);
        Keep(std::move(item));
    }

    void AddDirectory(const std::string& path, const PathInfo& st) {
        SourceItem item;
        item.path = path;
        item.name = StoredPathName(path);
        if (item.name.empty()) return;  // the root folder itself has no name to store
        item.name += '/';
        item.is_directory = true;
        Fill(item, st);
        Keep(std::move(item));
    }

    static void Fill(SourceItem& item, const PathInfo& st) {
        item.mtime = st.mtime;
        item.mode = st.mode;
        item.writable = st.writable;
    }

    // A later input with the same stored name takes the place of the earlier one, as a file
    // added to an archive replaces the entry of the same name.
    void Keep(SourceItem item) {
        auto [at, inserted] = by_name_.try_emplace(item.name, items_.size());
        if (!inserted) {
            SourceItem& earlier = items_[at->second];
            if (earlier.path == item.path) return;
            reporter_.Report(kDuplicateName, earlier.path + " and " + item.path + " would both be stored as " +
                                                 item.name + "; only " + item.path + " was kept");
            earlier.name.clear();
            at->second = items_.size();
        }
        items_.push_back(std::move(item));
    }

    const CollectOptions& options_;
    ProgressReporter& reporter_;
    std::vector<SourceItem> items_;
    std::map<std::string, std::size_t> by_name_;
    std::set<FileIdentity> visited_;
    bool reported_for_spec_ = false;
};

}  // namespace

std::string StoredPathName(const std::string& path) {
    std::string text = NativeSpec(path);
    if (text.size() >= 2 && text[1] == ':' && std::isalpha(static_cast<unsigned char>(text[0]))) text.erase(0, 2);
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('/', start);
        if (end == std::string::npos) end = text.size();
        std::string part = text.substr(start, end - start);
        if (part == "..") {
            // Resolved against the part before it; one with nothing before it is dropped.
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string& part : parts) result += (result.empty() ? "" : "/") + part;
    return result;
}

std::vector<SourceItem> CollectSources(const std::vector<std::string>& specs, const CollectOptions& options,
                                       ProgressReporter& reporter) {
    Collector collector(options, reporter);
    for (const std::string& spec : specs) {
        if (reporter.Cancelled()) throw CancelledByCaller{};
        collector.AddSpec(spec);
    }
    return collector.Result();
}

}  // namespace zipdll
