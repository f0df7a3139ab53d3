#pragma once
// The numbered messages of the zip component: their ids, the English text bound to each, the
// fixed text shown for an id that has none, and the small formatter that fills a message's
// disk number or drive into its text.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/ui_host.h"

namespace kitforge {

namespace zip_msg {
// Adding files and loading the zip library.
inline constexpr int kAddFailed = 10101;
inline constexpr int kNoArchiveName = 10102;
inline constexpr int kOutOfMemory = 10103;
inline constexpr int kCopying = 10105;
// Reading an archive's directory.
inline constexpr int kDirectorySeekFailed = 10201;
inline constexpr int kDirectoryReadFailed = 10202;
inline constexpr int kOffsetsShifted = 10203;
inline constexpr int kBytesAfterComment = 10204;
inline constexpr int kNothingToAdd = 10301;
inline constexpr int kPasswordNeeded = 10302;
inline constexpr int kSpanWithFreshenOrUpdate = 10303;
inline constexpr int kLibraryLoaded = 10601;
inline constexpr int kNoZipDllExec = 10602;
inline constexpr int kNoGetZipDllVersion = 10603;
inline constexpr int kLibraryLoadFailed = 10604;
// Self-extracting conversion.
inline constexpr int kSfxTextsTooLong = 10801;
inline constexpr int kSfxStubNotFound = 10802;
inline constexpr int kSfxSourceNotZip = 10803;
// Archive files, drives and volumes.
inline constexpr int kCannotOpenArchive = 11001;
inline constexpr int kDriveNotLetter = 11003;
inline constexpr int kDriveNotReady = 11004;
inline constexpr int kCannotSetLabel = 11005;
inline constexpr int kFreeSpaceBoxFailed = 11006;
inline constexpr int kStopped = 11007;
inline constexpr int kSeekFailed = 11008;
inline constexpr int kCannotCreateVolume = 11009;
inline constexpr int kVolumeWriteFailed = 11010;
inline constexpr int kEndSearchReadShort = 11011;
inline constexpr int kLocalHeaderShort = 11012;
inline constexpr int kCentralHeaderShort = 11013;
inline constexpr int kLocalSignatureWrong = 11014;
inline constexpr int kCentralSignatureWrong = 11015;
inline constexpr int kLocalNameShort = 11016;
inline constexpr int kCentralNameShort = 11017;
inline constexpr int kLocalExtraShort = 11018;
inline constexpr int kCentralExtraShort = 11019;
inline constexpr int kDataDescriptorShort = 11020;
inline constexpr int kEntryDataShort = 11021;
inline constexpr int kFileCommentShort = 11022;
inline constexpr int kArchiveCommentShort = 11023;
inline constexpr int kSpanFailed = 11024;
inline constexpr int kPromptWhileUnattended = 11025;
inline constexpr int kCentralWithoutLocal = 11026;
inline constexpr int kCentralWriteFailed = 11029;
inline constexpr int kEndRecordWriteFailed = 11030;
inline constexpr int kNotEnoughFreeSpace = 11032;
inline constexpr int kInsertDiskOf = 11034;
inline constexpr int kInDrive = 11035;
inline constexpr int kNotAZipArchive = 11036;
inline constexpr int kFirstDiskOfSet = 11037;
inline constexpr int kDiskOfSet = 11038;
inline constexpr int kOverwriteFile = 11039;
inline constexpr int kOverwriteDisk = 11040;
inline constexpr int kSpanToExe = 11041;
inline constexpr int kCentralCopyFailed = 11042;
inline constexpr int kEndRecordSkipFailed = 11043;
inline constexpr int kCommentCopyFailed = 11044;
inline constexpr int kNotLastPartOfSet = 11045;
inline constexpr int kInsertDisk = 11046;
}  // namespace zip_msg

// The English text bound to `id`, or nothing when no text is bound to it.
std::optional<std::string_view> BoundMessageText(int id);

// What is shown for an id without a bound text: "ZipMsgXX.res is probably not bound to
// executable", a line feed, "Missing String ID is: " and the id in decimal.
std::string MissingMessageText(int id);

// The bound text of `id`, or `default_text` when none is bound.
std::string MessageText(int id, std::string_view default_text);

// The bound text of `id`, or the missing-text rule when none is bound.
std::string MessageTextOrMissing(int id);

// The kind of box a message is shown in: the two reading warnings and the disk and copy
// notes are warnings and information, the library trace is information, the rest errors.
MessageKind MessageKindOf(int id);

using MessageArgument = std::variant<std::int64_t, std::string>;

// Fills `format` with `arguments` in order: "%d" (with an optional width, which is ignored,
// and ".precision", the least number of digits) takes a number, "%s" a text, "%%" is a percent sign. A directive
// with no argument left, or one this formatter does not know, is kept as it stands, so a
// message with a wrong argument still shows and never reads past its arguments.
std::string FormatMessageText(std::string_view format, std::initializer_list<MessageArgument> arguments);

}  // namespace kitforge
