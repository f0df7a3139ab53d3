#include <string>
#include <string_view>

#include "installer/expand_app_path.h"

namespace kitforge {

namespace {

constexpr std::string_view kAppPathToken = "%apppath%";

bool IsSlash(char c) noexcept { return c == '\\' || c == '/'; }

}  // namespace

std::string ExpandAppPath(std::string_view path, std::string_view folder) {
    std::string expanded;
    expanded.reserve(path.size() + folder.size());
    for (;;) {
        const auto token = path.find(kAppPathToken);
        if (token == std::string_view::npos) break;
        expanded.append(path.substr(0, token));
        expanded.append(folder);
        path.remove_prefix(token + kAppPathToken.size());
    }
    expanded.append(path);

    // The script folder ends in a separator and the author writes one after the token, so the
    // two meet doubled; a doubled separator anywhere else is a slip of the author's. Windows
    // paths double "\", paths of this platform "/", and a script folder of this platform
    // before a Windows-style "\files" gives the mixed "/\": each run becomes its first
    // character.
    std::string collapsed;
    collapsed.reserve(expanded.size());
    for (char c : expanded) {
        if (IsSlash(c) && !collapsed.empty() && IsSlash(collapsed.back())) continue;
        collapsed += c;
    }
    return collapsed;
}

}  // namespace kitforge
