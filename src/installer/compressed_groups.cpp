#include "installer/compressed_groups.h"

#include <algorithm>
#include <map>

#include "formats/installer_payload.h"
#include "model/command_text.h"
#include "os/errors.h"
#include "os/native_path.h"
#include "platform/paths.h"

namespace kitforge {

namespace {

std::string AsciiCapitals(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return result;
}

bool HoldsBlank(std::string_view text) { return text.find_first_of(" \t") != std::string_view::npos; }

}  // namespace

std::vector<CompressedGroup> TakeCompressedGroups(std::vector<std::string>& lines) {
    std::vector<CompressedGroup> groups;
    for (std::size_t i = lines.size(); i-- > 0;) {
        if (!formats::IsExtractLine(lines[i])) continue;
        const std::string_view rest = std::string_view(lines[i]).substr(formats::kExtractWord.size());
        std::string target = QuotedParameter(rest, 2);
        std::string source = QuotedParameter(rest, 1);
        const std::string key = AsciiCapitals(target);
        const auto match = std::find_if(groups.begin(), groups.end(), [&](const CompressedGroup& group) {
            return AsciiCapitals(group.target) == key;
        });
        if (match != groups.end()) {
            match->sources.push_back(std::move(source));
        } else {
            groups.push_back({std::move(target), {std::move(source)}});
        }
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return groups;
}

std::string GroupBaseName(std::string_view script_folder, std::size_t number) {
    return std::string(script_folder) + "!install" + std::to_string(number);
}

std::vector<std::string> GroupLines(std::string_view script_folder, std::size_t number, std::string_view target) {
    const std::string executable = "!install" + std::to_string(number) + ".exe";
    const std::string t(target);
    // The installer splits a run line into words at blanks; a target folder with a blank in
    // it would otherwise name a program that does not exist.
    std::string run_path = t + "\\" + executable;
    if (HoldsBlank(run_path)) run_path = "\"" + run_path + "\"";
    return {
        std::string(formats::kExtractWord) + "\"" + std::string(script_folder) + executable + "\" \"" + t + "\"",
        "EXECUTE " + run_path,
        "CLEANUP " + t,
    };
}

void InsertGroupLines(std::vector<std::string>& lines, const std::vector<CompressedGroup>& groups,
                      std::string_view script_folder) {
    for (std::size_t i = 0; i < groups.size(); ++i) {
        const auto three = GroupLines(script_folder, i, groups[i].target);
        lines.insert(lines.begin(), three.begin(), three.end());
    }
}

void RefuseSharedFileNames(const std::vector<std::string>& paths, std::string_view target) {
    std::map<std::string, std::string> first_with_name;
    for (const auto& path : paths) {
        const auto [place, added] = first_with_name.emplace(FileNamePart(path), path);
        if (added || place->second == path) continue;
        throw Error("Cannot pack " + DisplayPath(place->second) + " and " + DisplayPath(path) +
                    " into one compressed group for " + std::string(target) + ": both are called \"" + place->first +
                    "\", and the group's archive keeps file names without their folders, so one would be lost. "
                    "Rename one of them or put them into different folders.");
    }
}

std::vector<std::string> WithoutRepeats(const std::vector<std::string>& paths) {
    std::vector<std::string> result;
    for (const auto& path : paths) {
        if (std::find(result.begin(), result.end(), path) == result.end()) result.push_back(path);
    }
    return result;
}

}  // namespace kitforge
