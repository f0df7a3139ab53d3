#include "setup/uninstaller_writer.h"

#include <algorithm>

#include "os/errors.h"
#include "platform/file_copy.h"
#include "setup/install_folder.h"
#include "setup/installed_item_remover.h"
#include "setup/program_image.h"
#include "setup/safe_extraction.h"
#include "setup/setup_errors.h"
#include "setup/uninstall_menu_entry.h"
#include "setup/uninstaller_record.h"

namespace kitforge::setup {

namespace {

using formats::InstallItem;
using formats::InstallItemKind;

void Add(std::vector<InstallItem>& items, const InstallItem& item) {
    if (item.kind == InstallItemKind::Folder) {
        if (std::find(items.begin(), items.end(), item) == items.end()) items.push_back(item);
        return;
    }
    std::erase_if(items,
                  [&](const InstallItem& old) { return old.kind != InstallItemKind::Folder && old.path == item.path; });
    items.push_back(item);
}

[[maybe_unused]] bool HasLaunchers(const std::vector<InstallItem>& items) {
    return std::any_of(items.begin(), items.end(),
                       [](const InstallItem& item) { return item.kind == InstallItemKind::Launcher; });
}

// The record of the uninstaller standing in `folder`, if any. `foreign` is set when a file of
// that name is there but is no uninstaller.
std::optional<formats::InstallRecord> EarlierRecord(const InstallFolder& folder, bool& foreign,
                                                    ProgressSink& progress) {
    int error = 0;
    std::optional<File> file = folder.folder.OpenFile(kUninstallerName, &error);
    if (!file) {
        foreign = error != ENOENT;
        return std::nullopt;
    }
    if (!HasUninstallerMark(*file)) {
        foreign = true;
        return std::nullopt;
    }
    try {
        return ReadUninstallerRecord(*file);
    } catch (const FileError& e) {
        progress.Warning(std::string(e.what()) +
                         "; it is replaced, and what the earlier installation wrote is not removed by the new one");
        return std::nullopt;
    }
}

}  // namespace

std::uint64_t InstallerImageSize(payload::ByteSource& source, const payload::Payload& payload) {
    const std::optional<std::uint64_t> image_end = ElfImageEnd(source);
    return image_end && *image_end <= payload.stub_size ? *image_end : payload.stub_size;
}

formats::InstallRecord MergeInstallRecords(const formats::InstallRecord& earlier, const formats::InstallRecord& later) {
    formats::InstallRecord merged = earlier;
    merged.title = later.title;
    merged.program_folder = later.program_folder;
    for (const auto& item : later.items) Add(merged.items, item);
    return merged;
}

std::optional<std::string> LeaveUninstaller(File& installer, std::uint64_t image_size, const std::string& title,
                                            const InstallSettings& settings, const std::vector<InstallItem>& items,
                                            ProgressSink& progress) {
    const std::string& program = settings.folders.program;
    const std::string path = program + "/" + kUninstallerName;
    formats::InstallRecord record{title, program, items};
    // The install folder is opened by its path, as the installation opened it.
    std::vector<std::string> made;
    const InstallFolder folder = OpenInstallFolder(program, {program}, true, &made);
    for (const auto& folder_made : made) Add(record.items, {InstallItemKind::Folder, folder_made, 0, {}});

    bool foreign = false;
    if (const auto earlier = EarlierRecord(folder, foreign, progress)) record = MergeInstallRecords(*earlier, record);
    if (foreign) {
        progress.Warning("no uninstaller was written: " + PrintablePath(path) + " is there already and is not one");
        return std::nullopt;
    }

    std::vector<InstallItem> menu_entry;
#ifdef _WIN32
    // Windows lists the uninstaller in Settings > Apps instead (see uninstall_entry.h).
    const bool wants_menu_entry = false;
#else
    const bool wants_menu_entry = HasLaunchers(record.items);
#endif
    if (wants_menu_entry) {
        menu_entry = WriteUninstallMenuEntry(title, path, settings.environment, settings.scope);
        for (const auto& item : menu_entry) Add(record.items, item);
    }
    Add(record.items, {InstallItemKind::Uninstaller, path, 0, {}});
    try {
        const std::optional<std::vector<std::uint8_t>> bytes = formats::EncodeInstallRecord(record);
        if (!bytes) throw Error("the record of what was installed is too large for an uninstaller");
        const auto trail = formats::UninstallerTrail(static_cast<std::uint32_t>(bytes->size()));
        WriteFileThroughTemporary(folder, kUninstallerName, 0755, [&](File& out) {
            if (installer.Seek(0) < 0) throw ReadError("read", installer.Path(), installer.LastError());
            CopyExactly(installer, out, image_size);
            out.WriteAll(bytes->data(), bytes->size());
            out.WriteAll(trail.data(), trail.size());
        });
    } catch (...) {
        RemoveRecordedItems(menu_entry, RemovalAnchors(settings.environment, program, menu_entry));
        throw;
    }
    return path;
}

}  // namespace kitforge::setup
