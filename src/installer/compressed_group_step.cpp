#include "installer/compressed_group_step.h"

#include "installer/build_compressed_group.h"
#include "installer/compressed_groups.h"
#include "installer/expand_app_path.h"
#include "os/errors.h"
#include "os/file.h"
#include "os/native_path.h"
#include "platform/paths.h"

namespace kitforge {

namespace {

// The uncompressed build says this when a source is missing; a compressed one must not leave
// a missing file to the zip library, which would only skip it.
void RequireSourceFiles(const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        if (!FileExists(path)) throw Error("File not found: " + DisplayPath(path));
    }
}

}  // namespace

std::size_t RewriteCompressedGroups(std::vector<std::string>& lines, const std::string& script_path,
                                    const GroupMaker& make_group) {
    const std::string script_folder = FolderPart(script_path);
    const std::vector<CompressedGroup> groups = TakeCompressedGroups(lines);
    if (groups.empty()) return 0;

    std::vector<std::vector<std::string>> expanded(groups.size());
    for (std::size_t i = 0; i < groups.size(); ++i) {
        for (const auto& source : groups[i].sources) expanded[i].push_back(ExpandAppPath(source, script_folder));
        expanded[i] = WithoutRepeats(expanded[i]);
        RefuseSharedFileNames(expanded[i], groups[i].target);
        RequireSourceFiles(expanded[i]);
    }

    InsertGroupLines(lines, groups, script_folder);
    for (std::size_t i = 0; i < groups.size(); ++i) make_group(GroupBaseName(script_folder, i), expanded[i]);
    return groups.size();
}

std::size_t MakeCompressedGroups(UiHost& host, std::vector<std::string>& lines, const std::string& script_path,
                                 const std::string& program_folder) {
    return RewriteCompressedGroups(lines, script_path,
                                   [&](const std::string& base_name, const std::vector<std::string>& sources) {
                                       BuildCompressedGroup(host, base_name, sources, program_folder);
                                   });
}

}  // namespace kitforge
