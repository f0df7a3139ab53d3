#pragma once
// The integer syntax that build-script keys are read with.

#include <cstdint>
#include <optional>
#include <string_view>

namespace kitforge {

// Optional leading blanks, then either an optional sign and decimal digits, or one of the
// prefixes "$", "x" or "0x" (either letter case) and hexadecimal digits. Nothing may follow
// the digits and the value must fit a signed 32-bit integer; otherwise nothing is given.
std::optional<std::int32_t> ParsePlatformInteger(std::string_view text);

}  // namespace kitforge
