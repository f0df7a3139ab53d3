#include "os/system_message.h"

namespace kitforge {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string TidySystemMessage(std::string_view text) {
    std::string tidy;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && IsDigit(text[i + 1]) && text[i + 1] != '0') {
            while (i + 1 < text.size() && IsDigit(text[i + 1])) ++i;
            tidy += "it";
            continue;
        }
        tidy += text[i];
    }
    while (!tidy.empty() && (tidy.back() == '\n' || tidy.back() == '\r' || tidy.back() == ' ' || tidy.back() == '.'))
        tidy.pop_back();
    return tidy;
}

}  // namespace kitforge
