// MS-DOS date and time of an entry to seconds since 1970, the same on every system.

#include <cstdint>
#include <ctime>
#include <optional>

#include "zipsfx/folder_writer.h"

namespace kitforge::zipsfx {

std::optional<std::int64_t> DosTimeToUnix(std::uint32_t dos_time) {
    std::tm fields{};
    fields.tm_sec = static_cast<int>((dos_time & 0x1F) * 2);
    fields.tm_min = static_cast<int>((dos_time >> 5) & 0x3F);
    fields.tm_hour = static_cast<int>((dos_time >> 11) & 0x1F);
    fields.tm_mday = static_cast<int>((dos_time >> 16) & 0x1F);
    fields.tm_mon = static_cast<int>((dos_time >> 21) & 0x0F) - 1;
    fields.tm_year = static_cast<int>((dos_time >> 25) & 0x7F) + 80;
    fields.tm_isdst = -1;
    if (fields.tm_mday < 1 || fields.tm_mon < 0 || fields.tm_mon > 11 || fields.tm_hour > 23 || fields.tm_min > 59 ||
        fields.tm_sec > 59) {
        return std::nullopt;
    }
    const std::time_t seconds = std::mktime(&fields);
    if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<std::int64_t>(seconds);
}

}  // namespace kitforge::zipsfx
