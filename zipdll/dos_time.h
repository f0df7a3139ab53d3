#pragma once
// Entry times. Zip entries carry an MS-DOS date and time (two-second steps, years 1980 to
// 2107) in the machine's local time. For reproducible archives SOURCE_DATE_EPOCH, when set,
// caps every entry time, and the conversion then uses UTC so that the bytes do not depend
// on the time zone of the machine that made them.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string_view>

namespace zipdll {

// The rules for one run, read from the environment once.
struct TimePolicy {
    std::optional<std::time_t> source_date_epoch;

    static TimePolicy FromEnvironment();
    bool UsesUtc() const noexcept { return source_date_epoch.has_value(); }
    // The time an entry records for a file modified at `mtime`.
    std::time_t EntryTime(std::time_t mtime) const noexcept;
};

// Parses a SOURCE_DATE_EPOCH value: decimal digits only, else nothing.
std::optional<std::time_t> ParseSourceDateEpoch(std::string_view text) noexcept;

// Date in the high 16 bits, time in the low 16 bits. Times before 1980 give 1980-01-01 00:00,
// times after 2107 the last representable moment.
std::uint32_t ToDosDateTime(std::time_t time, bool utc) noexcept;
std::time_t FromDosDateTime(std::uint32_t dos, bool utc) noexcept;

}  // namespace zipdll
