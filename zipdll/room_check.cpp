#include "room_check.h"

#include <cstdio>

#include "formats/zip_records.h"

namespace zipdll {

namespace {

// "1.5 GB": a size as people read it, in decimal units like the file managers that show free space.
std::string Readable(std::uint64_t bytes) {
    const char* units[] = {"bytes", "kB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1000 && unit < 4) {
        value /= 1000;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", value, units[unit]);
    return text;
}

}  // namespace

std::uint64_t BytesCertainlyWritten(const ExistingArchive& existing, const std::vector<PlanItem>& plan) {
    std::uint64_t bytes = existing.prefix_size + kitforge::formats::kEndRecordSize + existing.comment.size();
    for (const PlanItem& item : plan) {
        // An entry that a file is to replace stays only when the file cannot be read.
        if (item.existing != nullptr && item.source == nullptr)
            bytes += item.existing->extent + item.existing->central.size();
    }
    return bytes;
}

void CheckRoom(std::uint64_t needed, const std::vector<std::string>& folders, const FreeBytesQuery& free_bytes) {
    for (const std::string& folder : folders) {
        const std::optional<std::uint64_t> free = free_bytes(folder);
        if (free && *free < needed)
            throw NoRoom("The new archive needs at least " + Readable(needed) + " but only " + Readable(*free) +
                         " are free in " + folder);
    }
}

}  // namespace zipdll
