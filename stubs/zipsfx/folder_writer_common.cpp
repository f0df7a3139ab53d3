// The two phases of FolderWriter, the same on every system over the OS layer's Folder. How the
// target itself is made and what a finished file is given are in folder_writer_posix.cpp and
// folder_writer_win32.cpp.
#include <cerrno>
#include <cstdio>

#include "os/errors.h"
#include "os/file_names.h"
#include "os/native_path.h"
#include "zipsfx/entry_names.h"
#include "zipsfx/folder_writer.h"
#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

namespace {

std::string Failure(const std::string& action, const std::string& path, int error) {
    return "cannot " + action + " " + DisplayPath(path) + ": " + SystemReason(error);
}

std::pair<std::string, std::string> SplitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {"", path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

// A full disk or quota is a want of room, not damage: the caller can say how much was needed.
SfxError WriteFailure(const std::string& shown, int error) {
#ifdef EDQUOT
    const bool no_room = error == ENOSPC || error == EDQUOT;
#else
    const bool no_room = error == ENOSPC;
#endif
    return SfxError(Failure("write", shown, error), no_room ? FailureKind::NoSpace : FailureKind::Damaged);
}

}  // namespace

FolderWriter::~FolderWriter() {
    if (!committed_) Discard();
}

std::string FolderWriter::Shown(const std::string& path) const {
    return PrintablePath(path.empty() ? root_ : root_ + "/" + path);
}

const Folder& FolderWriter::Reach(const std::string& folder, bool create, std::optional<Folder>& held) {
    const Folder* current = &root_folder_;
    std::string walked;
    std::size_t start = 0;
    while (start < folder.size()) {
        std::size_t slash = folder.find('/', start);
        if (slash == std::string::npos) slash = folder.size();
        const std::string part = folder.substr(start, slash - start);
        walked += (walked.empty() ? "" : "/") + part;
        if (create) {
            if (const int error = current->MakeFolder(part); error == 0) {
                made_folders_.push_back(root_ + "/" + walked);
            } else if (error != EEXIST) {
                throw SfxError(Failure("make the folder", Shown(walked), error));
            }
        }
        int error = 0;
        std::optional<Folder> next = current->Enter(part, &error);
        if (!next) {
            if (error == ELOOP || error == ENOTDIR) {
                throw SfxError("cannot extract into " + Shown(walked) + ": it is not a folder (a file or a link)");
            }
            throw SfxError(Failure("open the folder", Shown(walked), error));
        }
        held = std::move(next);
        current = &*held;
        start = slash + 1;
    }
    return *current;
}

void FolderWriter::MakeFolder(const std::string& path) {
    std::optional<Folder> held;
    Reach(path, true, held);
}

void FolderWriter::StageFile(const std::string& path, std::optional<std::uint32_t> mode, std::uint32_t dos_time,
                             const std::function<void(const ByteSink&)>& fill) {
    auto [folder_name, name] = SplitPath(path);
    std::optional<Folder> held;
    const Folder& folder = Reach(folder_name, true, held);
    const std::string shown = Shown(path);
    Staged staged{folder_name, "", name};
    std::optional<File> file;
    for (int attempt = 0; !file; ++attempt) {
        char temporary[64];
        std::snprintf(temporary, sizeof temporary, ".zipsfx-%lu-%u.tmp", CurrentProcessId(), counter_++);
        int error = 0;
        file = folder.CreateFile(temporary, 0600, &error);
        if (!file && (error != EEXIST || attempt > 1000)) throw SfxError(Failure("create", shown, error));
        staged.temporary = temporary;
    }
    staged_.push_back(staged);

    fill([&](const std::uint8_t* data, std::size_t size) {
        if (file->Write(data, size) != size) throw WriteFailure(shown, file->LastError());
    });
    FinishStagedFile(*file, mode, dos_time, shown);
}

void FolderWriter::Commit() {
    for (Staged& staged : staged_) {
        if (staged.done) continue;
        const std::string path = staged.folder.empty() ? staged.name : staged.folder + "/" + staged.name;
        try {
            std::optional<Folder> held;
            const Folder& folder = Reach(staged.folder, false, held);
            if (const int error = folder.Rename(staged.temporary, staged.name); error != 0)
                throw SfxError(Failure("put in place", Shown(path), error));
        } catch (const SfxError&) {
            Discard();
            throw;
        }
        staged.done = true;
    }
    committed_ = true;
}

void FolderWriter::Discard() noexcept {
    for (Staged& staged : staged_) {
        if (staged.done) continue;
        try {
            std::optional<Folder> held;
            Reach(staged.folder, false, held).Remove(staged.temporary);
        } catch (...) {
            // The folder is gone or unusable: nothing of ours is left in it to remove.
        }
        staged.done = true;
    }
    for (auto it = made_folders_.rbegin(); it != made_folders_.rend(); ++it) RemoveEmptyFolder(*it);
    made_folders_.clear();
}

}  // namespace kitforge::zipsfx
