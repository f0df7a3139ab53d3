#include "setup/launcher_location.h"

#include <vector>

#include "os/errors.h"
#include "setup/folder_tokens.h"

namespace kitforge::setup {

namespace {

std::vector<std::string> PathParts(std::string_view text) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : text) {
        if (c == '\\' || c == '/') {
            if (!part.empty()) parts.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(std::move(part));
    return parts;
}

LauncherLocation UnderToken(std::string_view location, const SetupEnvironment& environment, InstallScope scope) {
    LauncherLocation result;
    const std::size_t close = location.find('>');
    if (close == std::string_view::npos) throw Error("the folder token " + std::string(location) + " has no closing >");
    result.token = std::string(location.substr(0, close + 1));
    const SpecialFolder special = ResolveSpecialFolder(location.substr(1, close - 1), environment, scope);
    if (special.kind == SpecialFolder::Kind::Unknown) {
        result.kind = LauncherLocation::Kind::UnknownToken;
        return result;
    }
    if (special.kind == SpecialFolder::Kind::NoCounterpart) {
        result.kind = LauncherLocation::Kind::NoCounterpart;
        return result;
    }
    std::vector<std::string> parts = PathParts(location.substr(close + 1));
    if (parts.empty()) throw Error("the launcher has no name after " + result.token);
    for (const auto& part : parts) {
        if (part == "." || part == "..") throw Error("the launcher's name may not hold \"" + part + "\" parts");
    }
    result.name = parts.back();
    parts.pop_back();
    result.folder = special.folder;
    result.base = special.folder;
    for (const auto& part : parts) result.folder += "/" + part;
    return result;
}

}  // namespace

LauncherLocation ResolveLauncherLocation(std::string_view location, const MacroFolders& folders,
                                         const SetupEnvironment& environment, InstallScope scope) {
    if (!location.empty() && location.front() == '<') return UnderToken(location, environment, scope);
    const std::string path = ResolveScriptPath(location, folders);
    const std::size_t slash = path.rfind('/');
    LauncherLocation result;
    result.folder = slash == 0 ? std::string("/") : path.substr(0, slash);
    result.name = path.substr(slash + 1);
    if (result.name.empty() || result.name == "." || result.name == "..") {
        throw Error("the launcher location " + path + " names no launcher");
    }
    return result;
}

}  // namespace kitforge::setup
