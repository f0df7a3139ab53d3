#pragma once
// The installer payload: what follows the installer stub in an installer file. It is laid out
// to be read from the end of the file backwards, which is how the stub finds it: every length
// follows the bytes it counts, and every list is written last element first, so that a reader
// going backwards meets each list in its natural order. From the start of the payload:
//
//   file records   one per EXTRACT line, that of the last EXTRACT line first; each is
//                  contents, size (one number, or two for a file of 2 GiB or more: see
//                  below), name, name length (number)
//   file count     number
//   line records   one per script line, the last line first; each is the line's bytes, then
//                  their count (number)
//   line count     number
//   prompt, prompt length (number), title, title length (number)
//   mark           2E 22 6B 3D
//
// Every number is a 32-bit little-endian unsigned integer below 2^31; texts are raw 8-bit
// bytes without terminator, padding or alignment. The writer in the builder, the reader and
// the installer stub all take the layout from here.
//
// A file's size below 2^31 is one number, as in every installer ever built. A size of 2^31
// or more takes two 32-bit words: first the low 32 bits of the size, then a word whose top
// bit is set and whose low 31 bits are the high part (size >> 32). A reader going backwards
// reads the size word, sees the top bit, and reads the low word before it; an installer
// without such a file is byte for byte what it was before the long form existed. Every other
// number keeps the top bit clear. The high part stays below 2^30, so that no size or offset
// in an installer reaches 2^63, where the file positions of the systems that read it end.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "formats/byte_order.h"

namespace kitforge::formats {

// The last four bytes of every installer: full stop, double quote, small k, equals sign.
inline constexpr std::array<std::uint8_t, 4> kPayloadMark = {0x2E, 0x22, 0x6B, 0x3D};
inline constexpr std::size_t kPayloadMarkSize = kPayloadMark.size();
// Every length and count field.
inline constexpr std::size_t kPayloadNumberSize = 4;
// Lengths and counts are never negative on the machines that read them, so each stays below
// 2^31; a file of 2 GiB or more gives its size in the long form below.
inline constexpr std::uint32_t kPayloadMaxNumber = 0x7FFFFFFF;

// A file's size in the long form: the low word, then the size word (see above).
inline constexpr std::uint32_t kLongSizeFlag = 0x80000000;
inline constexpr std::size_t kLongSizeSize = 2 * kPayloadNumberSize;
// The largest file an installer holds: 2^62 - 1 bytes (high part below 2^30).
inline constexpr std::uint64_t kPayloadMaxFileSize = (std::uint64_t{1} << 62) - 1;

// The smallest payload: no files, no lines, empty prompt and title.
//   file count + line count + prompt length + title length + mark
inline constexpr std::size_t kMinimumPayloadSize = 4 * kPayloadNumberSize + kPayloadMarkSize;
// The smallest file record (empty contents and name) and line record (empty line).
inline constexpr std::size_t kMinimumFileRecordSize = 2 * kPayloadNumberSize;
inline constexpr std::size_t kMinimumLineRecordSize = kPayloadNumberSize;

// A length or count field as stored. The writer has checked it against kPayloadMaxNumber.
constexpr std::array<std::uint8_t, kPayloadNumberSize> PayloadNumber(std::uint32_t value) noexcept {
    return EncodeU32LE(value);
}
constexpr std::uint32_t GetPayloadNumber(const std::uint8_t* bytes) noexcept { return GetU32LE(bytes); }

// A file's size as stored, in file order: one number below 2^31, else the low word and the
// size word. `size` must be at most kPayloadMaxFileSize (the writer checks it).
struct StoredFileSize {
    std::array<std::uint8_t, kLongSizeSize> bytes{};
    std::size_t length = 0;
};
constexpr StoredFileSize EncodeFileSize(std::uint64_t size) noexcept {
    StoredFileSize stored;
    if (size <= kPayloadMaxNumber) {
        PutU32LE(stored.bytes.data(), static_cast<std::uint32_t>(size));
        stored.length = kPayloadNumberSize;
    } else {
        PutU32LE(stored.bytes.data(), static_cast<std::uint32_t>(size));
        PutU32LE(stored.bytes.data() + kPayloadNumberSize, kLongSizeFlag | static_cast<std::uint32_t>(size >> 32));
        stored.length = kLongSizeSize;
    }
    return stored;
}

// True when a file's size word says the low word of a long size lies before it.
constexpr bool IsLongSizeWord(std::uint32_t word) noexcept { return (word & kLongSizeFlag) != 0; }
// The high part a long size word carries.
constexpr std::uint32_t LongSizeHighPart(std::uint32_t word) noexcept { return word & ~kLongSizeFlag; }
// The size that a long size word and its low word give. A reader refuses a high part of 2^30
// or more (past kPayloadMaxFileSize) and a long form of a size below 2^31 (which has only
// the short form): neither is ever written.
constexpr std::uint64_t LongFileSize(std::uint32_t word, std::uint32_t low) noexcept {
    return (static_cast<std::uint64_t>(LongSizeHighPart(word)) << 32) | low;
}

// The command word of a line that puts a file, as the writer stores it.
inline constexpr std::string_view kExtractWord = "EXTRACT ";

// True when the first eight characters of `line`, compared without regard to ASCII letter
// case, are "EXTRACT " (the word and one blank). "extractx" and "EXTRACT" alone are not.
constexpr bool IsExtractLine(std::string_view line) noexcept {
    if (line.size() < kExtractWord.size()) return false;
    for (std::size_t i = 0; i < kExtractWord.size(); ++i) {
        const char c = line[i];
        const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        if (upper != kExtractWord[i]) return false;
    }
    return true;
}

// True for a stored file name that may be created inside a folder as it stands: not empty,
// not "." or "..", and without "/", "\", ":" or a control character (bytes below 0x20, NUL
// included, and 0x7F). Names are refused, never repaired.
constexpr bool IsSafeFileName(std::string_view name) noexcept {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name) {
        // Control characters (NUL included) could rewrite a terminal that shows the name.
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || c == ':' || byte < 0x20 || byte == 0x7F) return false;
    }
    return true;
}

}  // namespace kitforge::formats
