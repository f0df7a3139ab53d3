#pragma once
// File-name patterns of file specifications: "*" stands for any run of characters and "?"
// for exactly one; every other character stands for itself (names are case-sensitive here).

#include <string_view>

namespace zipdll {

bool HasWildcards(std::string_view text) noexcept;
bool MatchesWildcard(std::string_view pattern, std::string_view name) noexcept;

}  // namespace zipdll
