#pragma once
// The integer results of the zip component's operations, by name. The numbers are the ones
// callers have always been given; only the names are new.

namespace kitforge {

// The ErrCode that OnMessage carries with the component's own messages; library reports
// carry the library's code instead.
inline constexpr int kComponentMessageCode = 0;

// MakeSFX.
namespace sfx_result {
inline constexpr int kDone = 0;
inline constexpr int kCannotCreateOutput = -1;
// A write fell short, or the directory could not be moved.
inline constexpr int kWriteFailed = -2;
// The stub or the archive cannot be read.
inline constexpr int kCannotRead = -3;
// A precondition failed (and was reported), or the output's size does not add up.
inline constexpr int kRefused = -9;
}  // namespace sfx_result

// CopyChunked and WriteShiftedDirectory.
namespace copy_result {
inline constexpr int kDone = 0;
inline constexpr int kFailed = -2;
}  // namespace copy_result

// SpanArchive; every failure has been reported.
namespace span_result {
inline constexpr int kDone = 0;
inline constexpr int kZipFailure = -7;  // an EZipMaster
inline constexpr int kOutOfMemory = -8;
inline constexpr int kOtherFailure = -9;
}  // namespace span_result

// FormatDisk, and the result of a format while it runs.
namespace format_result {
inline constexpr int kFormatted = 0;
// The format failed, or another one is running.
inline constexpr int kFailed = -1;
inline constexpr int kCancelled = -2;
inline constexpr int kPending = -3;
}  // namespace format_result

// How far the format of a disk has come.
namespace format_state {
inline constexpr int kNotStarted = 0;
inline constexpr int kEnded = 2;
}  // namespace format_state

}  // namespace kitforge
