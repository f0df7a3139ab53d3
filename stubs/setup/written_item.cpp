#include "setup/written_item.h"

#include "os/errors.h"
#include "setup/content_checksum.h"

namespace kitforge::setup {

formats::InstallItem WrittenItem(const InstallFolder& folder, const std::string& name, const FileIdentity& identity,
                                 formats::InstallItemKind kind) {
    const std::string path = folder.path == "/" ? "/" + name : folder.path + "/" + name;
    // Read through the open folder: the record must hold what is there now, and a file swapped
    // in since the rename is not taken for ours.
    int error = 0;
    std::optional<File> file = folder.folder.OpenFile(name, &error);
    if (!file) throw ReadError("read", path, error);
    const std::optional<FileStamp> stamp = StampOf(*file);
    if (stamp && identity != FileIdentity{} && stamp->identity != identity) {
        throw ReadError("read", path, 0, "another file took its place just after it was written");
    }
    const std::optional<ContentSummary> summary = SummariseContents(*file, &error);
    if (!summary) throw ReadError("read", path, error);
    return {kind, path, summary->size, summary->checksum};
}

}  // namespace kitforge::setup
