#pragma once
// Texts read from files that someone else made (installer titles, script lines, names in
// archives) are printed to a terminal only through Printable, so they cannot move the cursor,
// retitle the window or hide a line from the person reading the listing.

#include <cstddef>
#include <string>
#include <string_view>

namespace kitforge {

// The length of the well-formed UTF-8 sequence at the start of `text` (which must not be
// empty) and its code point, or 0 when the bytes there are not one: overlong forms,
// surrogates and values past U+10FFFF are not well-formed.
std::size_t Utf8Sequence(std::string_view text, char32_t& code_point);

// The text with every control character (C0, DEL and C1) and every byte that is not part of
// well-formed UTF-8 shown as "?", so that texts from a file cannot move the cursor or change
// the terminal when printed. A text longer than `limit` bytes is cut there and ends in "...".
std::string Printable(std::string_view text, std::size_t limit = std::string_view::npos);

// A path for a message: Printable of its DisplayPath, so a Windows user reads "\" in it.
std::string PrintablePath(std::string_view path, std::size_t limit = std::string_view::npos);

}  // namespace kitforge
