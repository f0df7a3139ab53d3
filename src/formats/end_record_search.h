#pragma once
// The search for the end-of-central-directory record in the tail of a file. The record has no
// fixed place: an archive comment of up to 65,535 bytes may follow it, and the comment may
// itself hold bytes that look like the record's signature. So the tail is searched backwards
// from the last place a whole record fits, and each reader decides which candidate it takes.
// How the tail is read (a file, a byte source, a volume) is the reader's business.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "formats/byte_order.h"
#include "formats/zip_records.h"

namespace kitforge::formats {

// How many bytes at the end of a file of `file_size` bytes can hold the end record: the
// longest comment and the record, or the whole file when it is shorter.
constexpr std::uint64_t EndSearchLength(std::uint64_t file_size) noexcept {
    return std::min<std::uint64_t>(file_size, kEndSearchWindow);
}

// Offers `accept` each place in `tail` that starts with the end record's signature and has room
// for the record's fixed part, the place nearest the end first, and gives the first place it
// accepts; nothing when it accepts none.
template <typename Accept>
std::optional<std::size_t> SearchEndRecord(std::span<const std::uint8_t> tail, Accept&& accept) {
    if (tail.size() < kEndRecordSize) return std::nullopt;
    for (std::size_t at = tail.size() - kEndRecordSize + 1; at-- > 0;) {
        if (GetU32LE(tail.data() + at) == kEndRecordSignature && accept(at)) return at;
    }
    return std::nullopt;
}

// The end record stored at `at` in `tail`, which holds all 22 of its bytes.
inline EndRecord EndRecordFrom(std::span<const std::uint8_t> tail, std::size_t at) noexcept {
    EndRecord record;
    std::copy_n(tail.begin() + static_cast<std::ptrdiff_t>(at), kEndRecordSize, record.bytes.begin());
    return record;
}

// True when the comment that the record at `at` announces ends inside `tail`.
inline bool CommentFitsTail(std::span<const std::uint8_t> tail, std::size_t at) noexcept {
    return at + kEndRecordSize + EndRecordFrom(tail, at).CommentSize() <= tail.size();
}

}  // namespace kitforge::formats
