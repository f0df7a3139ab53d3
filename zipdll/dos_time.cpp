#include "dos_time.h"

#include <cstdlib>

#ifdef _WIN32
#define timegm _mkgmtime
#endif

namespace zipdll {

namespace {
constexpr int kFirstYear = 1980;
constexpr int kLastYear = 2107;
}  // namespace

std::optional<std::time_t> ParseSourceDateEpoch(std::string_view text) noexcept {
    if (text.empty() || text.size() > 18) return std::nullopt;
    std::time_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

TimePolicy TimePolicy::FromEnvironment() {
    TimePolicy policy;
    if (const char* text = std::getenv("SOURCE_DATE_EPOCH")) policy.source_date_epoch = ParseSourceDateEpoch(text);
    return policy;
}

std::time_t TimePolicy::EntryTime(std::time_t mtime) const noexcept {
    if (source_date_epoch && mtime > *source_date_epoch) return *source_date_epoch;
    return mtime;
}

std::uint32_t ToDosDateTime(std::time_t time, bool utc) noexcept {
    std::tm parts{};
    bool ok = utc ? gmtime_r(&time, &parts) != nullptr : localtime_r(&time, &parts) != nullptr;
    int year = parts.tm_year + 1900;
    if (!ok || year < kFirstYear) return (0u << 25) | (1u << 21) | (1u << 16);  // 1980-01-01 00:00:00
    if (year > kLastYear) return (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
    std::uint32_t date = (static_cast<std::uint32_t>(year - kFirstYear) << 9) |
                         (static_cast<std::uint32_t>(parts.tm_mon + 1) << 5) |
                         static_cast<std::uint32_t>(parts.tm_mday);
    std::uint32_t clock = (static_cast<std::uint32_t>(parts.tm_hour) << 11) |
                          (static_cast<std::uint32_t>(parts.tm_min) << 5) |
                          static_cast<std::uint32_t>(parts.tm_sec / 2);
    return (date << 16) | clock;
}

std::time_t FromDosDateTime(std::uint32_t dos, bool utc) noexcept {
    std::tm parts{};
    parts.tm_year = static_cast<int>((dos >> 25) & 0x7F) + kFirstYear - 1900;
    parts.tm_mon = static_cast<int>((dos >> 21) & 0x0F) - 1;
    parts.tm_mday = static_cast<int>((dos >> 16) & 0x1F);
    parts.tm_hour = static_cast<int>((dos >> 11) & 0x1F);
    parts.tm_min = static_cast<int>((dos >> 5) & 0x3F);
    parts.tm_sec = static_cast<int>(dos & 0x1F) * 2;
    parts.tm_isdst = -1;
    return utc ? timegm(&parts) : mktime(&parts);
}

}  // namespace zipdll
