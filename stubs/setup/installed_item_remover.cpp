#include "setup/installed_item_remover.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "os/errors.h"
#include "setup/content_checksum.h"
#include "setup/folder_tokens.h"
#include "setup/install_folder.h"
#include "setup/setup_errors.h"

namespace kitforge::setup {

namespace {

using formats::InstallItem;
using formats::InstallItemKind;

bool Holds(const std::string& folder, const std::string& path) {
    if (folder.empty() || path.compare(0, folder.size(), folder) != 0) return false;
    return path.size() == folder.size() || folder == "/" || path[folder.size()] == '/';
}

std::string FolderPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

std::string NamePart(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::size_t Depth(const std::string& path) {
    return static_cast<std::size_t>(std::count(path.begin(), path.end(), '/'));
}

class Remover {
public:
    Remover(const std::vector<std::string>& anchors, RemovalOutcome& outcome) : anchors_(anchors), outcome_(outcome) {}

    void RemoveFile(const InstallItem& item) {
        std::optional<InstallFolder> folder = Reach(item.path);
        if (!folder) return;
        const std::string name = NamePart(item.path);
        int error = 0;
        std::optional<File> file = folder->folder.OpenFile(name, &error);
        if (!file) {
            if (error == ELOOP) return Fail(item.path, "it is now a link, not the file that was installed; it stays");
            if (error != ENOENT) Fail(item.path, SystemErrorText(error));
            return;
        }
        struct stat st {};
        if (::fstat(file->Descriptor(), &st) != 0 || !S_ISREG(st.st_mode)) {
            return Fail(item.path, "it is no longer a plain file; it stays");
        }
        if (item.kind == InstallItemKind::File && Changed(item, *file)) {
            outcome_.kept.push_back(item.path);
            return;
        }
        file.reset();
        error = folder->folder.Remove(name);
        if (error == 0)
            outcome_.removed.push_back(item.path);
        else if (error != ENOENT)
            Fail(item.path, SystemErrorText(error));
    }

    void RemoveFolder(const InstallItem& item) {
        std::optional<InstallFolder> parent = Reach(item.path);
        if (!parent) return;
        const int error = parent->folder.RemoveFolder(NamePart(item.path));
        if (error == 0) outcome_.removed.push_back(item.path);
        // A folder that holds anything now is someone's: it stays, as what is in it does.
        else if (error == ENOTDIR)
            Fail(item.path, "it is now a link or a file, not the folder that was made; it stays");
        else if (error != ENOENT && error != ENOTEMPTY && error != EEXIST)
            Fail(item.path, SystemErrorText(error));
    }

private:
    // The open folder that holds `path`; nothing when it is gone (nothing to remove) or cannot
    // be reached without following a link (a failure).
    std::optional<InstallFolder> Reach(const std::string& path) {
        try {
            return OpenInstallFolder(FolderPart(path), anchors_, false);
        } catch (const FileError& e) {
            if (e.Code() == ELOOP || e.Code() == ENOTDIR) {
                Fail(path,
                     PrintablePath(e.Path()) + " is now a link or a file, not a folder; nothing is removed through it");
            } else if (e.Code() != ENOENT) {
                Fail(path, e.what());
            }
            return std::nullopt;
        }
    }

    bool Changed(const InstallItem& item, File& file) {
        int error = 0;
        const std::optional<ContentSummary> now = SummariseContents(file, &error);
        return !now || now->size != item.size || now->checksum != item.checksum;
    }

    void Fail(const std::string& path, const std::string& reason) {
        outcome_.failures.push_back(PrintablePath(path) + " was not removed: " + reason);
    }

    const std::vector<std::string>& anchors_;
    RemovalOutcome& outcome_;
};

}  // namespace

std::vector<std::string> RemovalAnchors(const SetupEnvironment& environment, const std::string& program_folder,
                                        const std::vector<formats::InstallItem>& items) {
    std::vector<std::string> candidates = {program_folder, environment.home, environment.data_home,
                                           environment.config_home};
#ifdef _WIN32
    // Each token has a folder of its own on Windows.
    const std::vector<std::string_view> tokens = SpecialFolderTokens();
#else
    const std::vector<std::string_view> tokens = {"DESKTOP", "PROGRAMS", "STARTUP", "PERSONAL", "TEMPLATES"};
#endif
    for (const std::string_view token : tokens) {
        for (InstallScope scope : {InstallScope::PerUser, InstallScope::SystemWide}) {
            const SpecialFolder special = ResolveSpecialFolder(token, environment, scope);
            if (special.kind == SpecialFolder::Kind::Folder) candidates.push_back(special.folder);
        }
    }
    // The installation entered each folder it made from the one above, which was there before
    // it: that one it reached by its path, and so does removal.
    for (const auto& item : items) {
        if (item.kind == InstallItemKind::Folder) candidates.push_back(FolderPart(item.path));
    }
    std::vector<std::string> anchors;
    for (const auto& candidate : candidates) {
        if (candidate.empty()) continue;
        const bool made = std::any_of(items.begin(), items.end(), [&](const InstallItem& item) {
            return item.kind == InstallItemKind::Folder && Holds(item.path, candidate);
        });
        if (!made) anchors.push_back(candidate);
    }
    return anchors;
}

RemovalOutcome RemoveRecordedItems(const std::vector<formats::InstallItem>& items,
                                   const std::vector<std::string>& anchors,
                                   const std::function<void(const formats::InstallItem&)>& announce) {
    RemovalOutcome outcome;
    Remover remover(anchors, outcome);
    std::vector<const InstallItem*> folders;
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        if (it->kind == InstallItemKind::Folder) {
            folders.push_back(&*it);
            continue;
        }
        if (announce) announce(*it);
        remover.RemoveFile(*it);
    }
    std::stable_sort(folders.begin(), folders.end(),
                     [](const InstallItem* a, const InstallItem* b) { return Depth(a->path) > Depth(b->path); });
    for (const InstallItem* folder : folders) {
        if (announce) announce(*folder);
        remover.RemoveFolder(*folder);
    }
    return outcome;
}

}  // namespace kitforge::setup
