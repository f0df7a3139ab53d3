#pragma once
// How the volumes of a multi-volume set are named: the numbered files on a fixed or network
// drive and the disk labels on a removable one.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kitforge {

// The longest entry name a multi-volume archive is written with; longer names are refused
// before the first volume is written.
inline constexpr std::size_t kMaxSpanNameLength = 255;

// The volume number as volumes show it: counted from 1, in three digits ("001" for volume 0).
std::string VolumeNumberText(int disk);
// The label of volume `disk` on a removable drive: "PKBACK# " and its number text.
std::string SpanVolumeLabel(int disk);
// The volume number a disk label carries: "PKBACK# " followed by up to three digits (blanks
// after them ignored), so "PKBACK# 002" and "PKBACK# 2" both give 2. Nothing for any other
// label. Every reader of labels goes by this.
std::optional<int> SpanLabelNumber(std::string_view label);
// The file of volume `disk` on a fixed or network drive: `path` with the volume number text
// put in front of its extension (arch.zip, volume 1: arch002.zip).
std::string NumberedVolumeName(std::string_view path, int disk);

// The most volumes a set can have: their numbers are three digits.
inline constexpr int kMaxVolumes = 999;

}  // namespace kitforge
