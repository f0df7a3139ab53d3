#include "ui/put_sources.h"

namespace kitforge {

namespace {

constexpr char kQuote = '"';

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

std::vector<std::string> SplitPutSources(std::string_view text) {
    std::vector<std::string> names;
    if (text.find(kQuote) == std::string_view::npos) {
        if (!text.empty()) names.emplace_back(text);
        return names;
    }
    std::size_t at = 0;
    while (at < text.size()) {
        std::string_view name;
        if (text[at] == kQuote) {
            const std::size_t close = text.find(kQuote, at + 1);
            const std::size_t end = close == std::string_view::npos ? text.size() : close;
            name = text.substr(at + 1, end - at - 1);
            at = close == std::string_view::npos ? text.size() : close + 1;
        } else {
            const std::size_t open = text.find(kQuote, at);
            const std::size_t end = open == std::string_view::npos ? text.size() : open;
            name = Trimmed(text.substr(at, end - at));
            at = end;
        }
        if (!name.empty()) names.emplace_back(name);
    }
    return names;
}

std::string FirstPutSource(std::string_view text) {
    auto names = SplitPutSources(text);
    return names.empty() ? std::string() : std::move(names.front());
}

std::string QuotedFileList(const std::vector<std::string>& paths) {
    std::string text;
    for (const auto& path : paths) {
        if (!text.empty()) text += ' ';
        text += kQuote;
        text += path;
        text += kQuote;
    }
    return text;
}

}  // namespace kitforge
