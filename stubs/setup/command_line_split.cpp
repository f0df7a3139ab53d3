#include "setup/command_line_split.h"

namespace kitforge::setup {

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool in_word = false;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            in_word = true;
            if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                word += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (in_word) words.push_back(std::move(word));
            word.clear();
            in_word = false;
        } else {
            word += c;
            in_word = true;
        }
    }
    if (in_word) words.push_back(std::move(word));
    return words;
}

std::vector<std::string> QuotedGroups(std::string_view text) {
    std::vector<std::string> groups;
    while (true) {
        const std::size_t open = text.find('"');
        if (open == std::string_view::npos) break;
        const std::size_t close = text.find('"', open + 1);
        if (close == std::string_view::npos) break;
        groups.emplace_back(text.substr(open + 1, close - open - 1));
        text.remove_prefix(close + 1);
    }
    return groups;
}

}  // namespace kitforge::setup
