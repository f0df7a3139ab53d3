#include "installer/line_list.h"

#include "formats/installer_payload.h"
#include "installer/expand_app_path.h"
#include "model/command_text.h"

namespace kitforge {

std::vector<std::string> ReadLineList(const IniProfile& profile) {
    std::vector<std::string> lines;
    for (const auto& key : profile.KeyNames(kScriptSection)) {
        std::string value = profile.String(kScriptSection, key);
        if (!value.empty()) lines.push_back(std::move(value));
    }
    return lines;
}

bool IsCompressedBuild(const IniProfile& profile) {
    return profile.Integer(kInfoSection, "compressed").value_or(0) != 0;
}

std::vector<std::string> SourcePaths(const std::vector<std::string>& lines, const std::string& script_folder) {
    std::vector<std::string> sources;
    for (const auto& line : lines) {
        if (formats::IsExtractLine(line)) sources.push_back(ExpandAppPath(QuotedParameter(line, 1), script_folder));
    }
    return sources;
}

}  // namespace kitforge
