// The names of the volumes of a multi-volume set.

#include "zip/volume_names.h"

#include <cstdio>

#include "platform/paths.h"

namespace kitforge {

namespace {

constexpr std::string_view kLabelPrefix = "PKBACK# ";

}  // namespace

std::string VolumeNumberText(int disk) {
    char text[16];
    std::snprintf(text, sizeof text, "%03d", disk + 1);
    return text;
}

std::string SpanVolumeLabel(int disk) { return std::string(kLabelPrefix) + VolumeNumberText(disk); }

std::optional<int> SpanLabelNumber(std::string_view label) {
    if (label.substr(0, kLabelPrefix.size()) != kLabelPrefix) return std::nullopt;
    std::string_view digits = label.substr(kLabelPrefix.size(), 3);
    // Some systems pad labels with blanks.
    while (!digits.empty() && digits.back() == ' ') digits.remove_suffix(1);
    if (digits.empty()) return std::nullopt;
    int number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + (c - '0');
    }
    return number;
}

std::string NumberedVolumeName(std::string_view path, int disk) {
    const std::size_t name_start = path.size() - FileNamePart(path).size();
    const std::size_t dot = path.rfind('.');
    const std::size_t cut = dot != std::string_view::npos && dot >= name_start ? dot : path.size();
    return std::string(path.substr(0, cut)) + VolumeNumberText(disk) + std::string(path.substr(cut));
}

}  // namespace kitforge
