#include "wildcard.h"

namespace zipdll {

bool HasWildcards(std::string_view text) noexcept { return text.find_first_of("*?") != std::string_view::npos; }

// Greedy matching with one backtrack point: the position after the last "*" seen. Linear in
// practice and never exponential, whatever the pattern.
bool MatchesWildcard(std::string_view pattern, std::string_view name) noexcept {
    std::size_t p = 0, n = 0;
    std::size_t star = std::string_view::npos, star_name = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            star_name = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++star_name;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace zipdll
