#pragma once
// The installer payload: what follows the installer stub in an installer file. It is laid out
// to be read from the end of the file backwards, which is how the stub finds it: every length
// follows the bytes it counts, and every list is written last element first, so that a reader
// going backwards meets each list in its natural order. From the start of the payload:
//
//   file records   one per EXTRACT line, that of the last EXTRACT line first; each is
//                  contents, size (u32), name, name length (u32)
//   file count     u32
//   line records   one per script line, the last line first; each is the line's bytes, then
//                  their count (u32)
//   line count     u32
//   prompt, prompt length (u32), title, title length (u32)
//   mark           2E 22 6B 3D
//
// Every number is a 32-bit little-endian unsigned integer below 2^31; texts are raw 8-bit
// bytes without terminator, padding or alignment.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kitforge::payload {

// The last four bytes of every installer: full stop, double quote, small k, equals sign.
inline constexpr std::array<unsigned char, 4> kMark = {0x2E, 0x22, 0x6B, 0x3D};
inline constexpr std::size_t kMarkSize = kMark.size();
// Every length and count field.
inline constexpr std::size_t kNumberSize = 4;
// Lengths and counts are never negative on the machines that read them, so each stays below
// 2^31: a file of 2 GiB or more cannot go into an installer.
inline constexpr std::uint32_t kMaxStoredNumber = 0x7FFFFFFF;

// The smallest payload: no files, no lines, empty prompt and title.
//   file count + line count + prompt length + title length + mark
inline constexpr std::size_t kMinimumPayloadSize = 4 * kNumberSize + kMarkSize;
// The smallest file record (empty contents and name) and line record (empty line).
inline constexpr std::size_t kMinimumFileRecordSize = 2 * kNumberSize;
inline constexpr std::size_t kMinimumLineRecordSize = kNumberSize;

// The command word of a line that puts a file, as the writer stores it.
inline constexpr std::string_view kExtractWord = "EXTRACT ";

// True when the first eight characters of `line`, compared without regard to ASCII letter
// case, are "EXTRACT " (the word and one blank). "extractx" and "EXTRACT" alone are not.
bool IsExtractLine(std::string_view line) noexcept;

// The four bytes of `value` in little-endian order, and back.
std::array<unsigned char, kNumberSize> PutU32LE(std::uint32_t value) noexcept;
std::uint32_t GetU32LE(const unsigned char* bytes) noexcept;

// True for a stored file name that may be created inside a folder as it stands: not empty,
// not "." or "..", and without "/", "\", ":" or a control character (bytes below 0x20, NUL
// included, and 0x7F). Names are refused, never repaired.
bool IsSafeFileName(std::string_view name) noexcept;

}  // namespace kitforge::payload
