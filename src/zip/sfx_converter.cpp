// MakeSFX: a zip archive becomes a self-extracting executable, the stub, the 256-byte header
// and the archive with every stored offset moved by the length of the two pieces before it.
// The archive's file data is never parsed: it is copied in one run, and only the central
// directory is read record by record.

#include <array>
#include <cstdint>
#include <exception>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "os/errors.h"
#include "os/file.h"
#include "platform/file_copy.h"
#include "platform/paths.h"
#include "os/safe_file_writer.h"
#include "platform/trash.h"
#include "zip/sfx_stub_header.h"
#include "zip/zip_master_internals.h"

namespace kitforge {

namespace {

using namespace formats;

constexpr std::string_view kDefaultStubName = "ZipSFX.bin";
// Where a system-wide installation keeps shared program files: the stand-ins here for the
// Windows system folder and the Windows folder of the stub search.
constexpr std::string_view kSystemFolder = "/usr/local/lib/kitforge";
constexpr std::string_view kWindowsFolder = "/usr/lib/kitforge";
// The read/write loop's buffer, and the most the kernel copies between two looks at the
// message queue: a few MiB keep the window live without slowing the copy.
constexpr std::size_t kCopyBuffer = 8192;
constexpr std::size_t kKernelCopyChunk = 4u << 20;
constexpr std::uint64_t kLargestOffset = std::numeric_limits<std::uint32_t>::max();

// The extension of `path`: from the last "." of its file-name part, or "" without one.
std::string ExtensionOf(const std::string& path) {
    const std::string name = FileNamePart(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string UpperCase(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

// `offset` moved by `shift`, or nothing when it no longer fits the 32-bit field (or is the
// zip64 marker, which must not be moved).
std::optional<std::uint32_t> Shifted(std::uint32_t offset, std::int64_t shift) {
    if (offset == kLargestOffset) return std::nullopt;
    const std::int64_t moved = static_cast<std::int64_t>(offset) + shift;
    if (moved < 0 || static_cast<std::uint64_t>(moved) > kLargestOffset) return std::nullopt;
    return static_cast<std::uint32_t>(moved);
}

CopyOptions ChunkedCopyOptions(UiHost& host) {
    CopyOptions options;
    options.buffer_size = kCopyBuffer;
    options.kernel_chunk = kKernelCopyChunk;
    options.between_chunks = [&host](std::uint64_t) { host.ProcessMessages(); };
    return options;
}

// Copies exactly `count` bytes of the input that follow a directory record (its name, extra
// field and comment) or the end record (the archive comment); anything less is a failure.
// The system's words for a failed copy: which file, and why.
std::string CopyFailureText(const CopyOutcome& outcome, const File& source, const File& target) {
    if (outcome.read_error != 0) return "Cannot read " + source.Path() + ": " + SystemErrorText(outcome.read_error);
    return "Cannot write " + target.Path() + ": " + SystemErrorText(outcome.write_error);
}

// The same for a single write that fell short.
std::string WriteFailureText(const File& target) {
    return "Cannot write " + target.Path() + ": " + SystemErrorText(target.LastError());
}

void CopyRecordTail(TZipMaster& zip, File& target, std::uint64_t count, int failure_id) {
    if (count == 0) return;
    File& input = ZipMasterInternals::Directory(zip).InputHandle;
    const CopyOutcome outcome = CopyBytes(input, target, count, ChunkedCopyOptions(*zip.OwnerWindow()));
    if (outcome.Failed()) ZipMasterInternals::Operation(zip).LastFileFailure = CopyFailureText(outcome, input, target);
    if (outcome.Failed() || outcome.copied != count) throw EZipMaster::Silent(failure_id);
}

// The first place of the search that holds a file; SFXPath keeps it, or is emptied.
bool FindSFXStub(TZipMaster& zip) {
    const std::string name(kDefaultStubName);
    std::vector<std::string> candidates = {
        zip.SFXPath(),
        name,
        ProgramFolder() + name,
        std::string(kSystemFolder) + "\\" + name,
        std::string(kWindowsFolder) + "\\" + name,
    };
    if (!zip.DLLDirectory().empty()) candidates.push_back(zip.DLLDirectory() + "\\" + name);
    for (const std::string& candidate : candidates) {
        if (!candidate.empty() && FileExists(candidate)) {
            zip.SetSFXPath(candidate);
            return true;
        }
    }
    zip.SetSFXPath("");
    return false;
}

// Writes the empty archive: an end record whose directory would start right after the header.
int WriteEmptyEndRecord(TZipMaster& zip, File& out, std::int64_t stub_size) {
    if (stub_size < 0) return sfx_result::kWriteFailed;
    const auto central_start = Shifted(0, stub_size + static_cast<std::int64_t>(kSFXStubHeaderSize));
    if (!central_start) return sfx_result::kWriteFailed;
    EndRecord end = EndRecord::Empty();
    end.SetCentralStart(*central_start);
    if (out.Write(end.bytes.data(), kEndRecordSize) == kEndRecordSize) return sfx_result::kDone;
    ZipMasterInternals::Operation(zip).LastFileFailure = WriteFailureText(out);
    return sfx_result::kWriteFailed;
}

// Copies the source archive behind the header, moving its offsets unless they are moved
// already, and gives the length the archive should take in `archive_size`. A failure to
// find or read the archive is -3; the copy's own results pass through.
int CopyArchive(TZipMaster& zip, File& out, std::int64_t stub_size, std::int64_t& archive_size) {
    int result = sfx_result::kDone;
    DirectoryState& directory = ZipMasterInternals::Directory(zip);
    std::string& failure = ZipMasterInternals::Operation(zip).LastFileFailure;
    try {
        directory.InputPath = zip.ZipFilename();
        EndRecord end_record;
        ZipMasterInternals::LocateEndRecord(zip, end_record);
        if (directory.InputHandle.Seek(0) != 0) throw EZipMaster::Silent(zip_msg::kSeekFailed);
        if (zip.OffsetsShifted()) {
            result = ZipMasterInternals::CopyChunked(zip, directory.InputHandle, out, -1);
            archive_size = zip.PhysicalSize();
        } else {
            result = ZipMasterInternals::CopyChunked(zip, directory.InputHandle, out, end_record.CentralStart());
            if (result == copy_result::kDone) {
                result = ZipMasterInternals::WriteShiftedDirectory(
                    zip, out, end_record, stub_size + static_cast<std::int64_t>(kSFXStubHeaderSize));
            }
            archive_size = zip.ArchiveSize();
        }
    } catch (const std::exception& e) {
        if (failure.empty()) failure = e.what();
        result = sfx_result::kCannotRead;
    } catch (...) {
        result = sfx_result::kCannotRead;
    }
    ZipMasterInternals::CloseInput(zip);
    return result;
}

// Steps 9 to 14 of the conversion: the stub, the header and the archive are written to `out`,
// which is closed, and the result checked against what they should add up to.
int FillSFXFile(TZipMaster& zip, File& out, const SFXStubHeader& header) {
    int result = sfx_result::kDone;
    std::int64_t stub_size = -1;
    std::int64_t archive_size = -1;
    int open_error = 0;
    std::string& failure = ZipMasterInternals::Operation(zip).LastFileFailure;
    const bool empty_archive = ZipMasterInternals::Operation(zip).EmptySFXMode;
    if (auto stub = File::TryOpenRead(zip.SFXPath(), &open_error)) {
        result = ZipMasterInternals::CopyChunked(zip, *stub, out, -1);
        stub_size = stub->Position();
    } else {
        failure = "Cannot open " + zip.SFXPath() + ": " + SystemErrorText(open_error);
        result = sfx_result::kCannotRead;
    }
    if (result == sfx_result::kDone && out.Write(header.data(), header.size()) != header.size()) {
        failure = WriteFailureText(out);
        result = sfx_result::kWriteFailed;
    }
    if (result == sfx_result::kDone) {
        result =
            empty_archive ? WriteEmptyEndRecord(zip, out, stub_size) : CopyArchive(zip, out, stub_size, archive_size);
    }
    const std::int64_t output_size = out.Position();
    try {
        out.Close();
    } catch (const Error& e) {
        if (result == sfx_result::kDone) {
            failure = e.what();
            result = sfx_result::kWriteFailed;  // a write that failed late
        }
    }
    if (result == sfx_result::kDone && !empty_archive &&
        (stub_size < 0 || archive_size < 0 || output_size < 0 ||
         stub_size + static_cast<std::int64_t>(kSFXStubHeaderSize) + archive_size != output_size)) {
        result = sfx_result::kRefused;
    }
    return result;
}

// Thrown out of the writer to abandon an output whose result is already set.
struct AbandonedOutput {};

// Steps 8 to 14: the executable is written under a new temporary name in the output's folder
// and renamed into place only once it is complete. The output's own name is never opened, so
// a link planted there is not followed, and a failure leaves nothing under that name.
int WriteSFXFile(TZipMaster& zip, const std::string& output, const SFXStubHeader& header) {
    int result = sfx_result::kDone;
    std::string& failure = ZipMasterInternals::Operation(zip).LastFileFailure;
    try {
        // The executable is meant to be run: it gets the execute bits that the umask allows.
        WriteNewFileSafely(output, 0777, [&](File& out) {
            result = FillSFXFile(zip, out, header);
            if (result == sfx_result::kDone) return;
            // The user knows the executable by its own name, not by the temporary one.
            for (std::size_t at = 0; (at = failure.find(out.Path(), at)) != std::string::npos; at += output.size()) {
                failure.replace(at, out.Path().size(), output);
            }
            throw AbandonedOutput{};
        });
    } catch (const AbandonedOutput&) {
    } catch (const Error& e) {
        // The temporary file could not be made, or not be given the output's name.
        failure = e.what();
        result = sfx_result::kCannotCreateOutput;
    }
    return result;
}

}  // namespace

int TZipMaster::CopyChunked(File& source, File& target, std::int64_t count) {
    try {
        const std::optional<std::uint64_t> wanted =
            count < 0 ? std::nullopt : std::optional<std::uint64_t>(static_cast<std::uint64_t>(count));
        const CopyOutcome outcome = CopyBytes(source, target, wanted, ChunkedCopyOptions(host_));
        if (!outcome.Failed()) return copy_result::kDone;
        operation_.LastFileFailure = CopyFailureText(outcome, source, target);
        return copy_result::kFailed;
    } catch (const std::exception& e) {
        operation_.LastFileFailure = e.what();
        return copy_result::kFailed;
    } catch (...) {
        return copy_result::kFailed;
    }
}

int TZipMaster::WriteShiftedDirectory(File& target, const EndRecord& end_record, std::int64_t shift) {
    try {
        // An archive that keeps its real figures in a zip64 end record cannot be moved by
        // rewriting 32-bit fields.
        if (DefersToZip64(end_record)) {
            throw EZipMaster::Silent(zip_msg::kCentralWriteFailed);
        }
        for (std::uint32_t i = 0; i < end_record.TotalEntries(); ++i) {
            std::array<std::uint8_t, kCentralHeaderSize> record{};
            if (directory_.InputHandle.Read(record.data(), record.size()) != record.size()) {
                throw EZipMaster::Silent(zip_msg::kCentralHeaderShort);
            }
            if (GetU32LE<central::kSignature>(record) != kCentralHeaderSignature) {
                throw EZipMaster::Silent(zip_msg::kCentralSignatureWrong);
            }
            const auto moved = Shifted(GetU32LE<central::kLocalHeaderOffset>(record), shift);
            if (!moved) throw EZipMaster::Silent(zip_msg::kCentralWriteFailed);
            PutU32LE<central::kLocalHeaderOffset>(record, *moved);
            if (target.Write(record.data(), record.size()) != record.size()) {
                operation_.LastFileFailure = WriteFailureText(target);
                throw EZipMaster::Silent(zip_msg::kCentralWriteFailed);
            }
            const std::uint64_t tail = std::uint64_t{GetU16LE<central::kNameLength>(record)} +
                                       GetU16LE<central::kExtraLength>(record) +
                                       GetU16LE<central::kCommentLength>(record);
            CopyRecordTail(*this, target, tail, zip_msg::kCentralCopyFailed);
        }
        if (directory_.InputHandle.Seek(static_cast<std::int64_t>(kEndRecordSize), File::Whence::Current) < 0) {
            throw EZipMaster::Silent(zip_msg::kEndRecordSkipFailed);
        }
        EndRecord moved_end = end_record;
        const auto central_start = Shifted(end_record.CentralStart(), shift);
        if (!central_start) throw EZipMaster::Silent(zip_msg::kEndRecordWriteFailed);
        moved_end.SetCentralStart(*central_start);
        if (target.Write(moved_end.bytes.data(), kEndRecordSize) != kEndRecordSize) {
            operation_.LastFileFailure = WriteFailureText(target);
            throw EZipMaster::Silent(zip_msg::kEndRecordWriteFailed);
        }
        CopyRecordTail(*this, target, end_record.CommentSize(), zip_msg::kCommentCopyFailed);
        return copy_result::kDone;
    } catch (const EZipMaster&) {
        return copy_result::kFailed;
    }
}

int TZipMaster::ShellDeleteFile(const std::string& path, DeleteOpts how) {
    return kitforge::ShellDeleteFile(path, how == htdAllowUndo);
}

int TZipMaster::MakeSFX() {
    operation_.LastFileFailure.clear();
    // The checks run in this order, so the first thing wrong is the one reported.
    if (!operation_.EmptySFXMode && !FileExists(zip_filename_)) {
        ReportMessage(zip_msg::kNoArchiveName);
        return sfx_result::kRefused;
    }
    const std::size_t text_length = sfx_caption_.size() + sfx_default_dir_.size() + sfx_command_line_.size();
    if (text_length > kSFXMaxTextLength) {
        ReportMessage(zip_msg::kSfxTextsTooLong,
                      "\r\nSFXCaption + SFXDefaultDir + SFXCommandLine = " + std::to_string(text_length));
        return sfx_result::kRefused;
    }
    if (!FindSFXStub(*this)) {
        ReportMessage(zip_msg::kSfxStubNotFound);
        return sfx_result::kRefused;
    }

    const BusyCursor busy(host_);
    const SFXStubHeader header =
        BuildSFXStubHeader(sfx_options_, sfx_overwrite_mode_, sfx_caption_, sfx_default_dir_, sfx_command_line_);

    std::string output = zip_filename_;
    if (!operation_.EmptySFXMode) {
        const std::string extension = ExtensionOf(zip_filename_);
        if (UpperCase(extension) != ".ZIP") {
            ReportMessage(zip_msg::kSfxSourceNotZip);
            return sfx_result::kRefused;
        }
        output = zip_filename_.substr(0, zip_filename_.size() - extension.size()) + ".exe";
    }
    if (FileExists(output)) ShellDeleteFile(output, how_to_delete_);

    const int result = WriteSFXFile(*this, output, header);
    if (result != sfx_result::kDone) return result;
    if (!operation_.EmptySFXMode) {
        ShellDeleteFile(zip_filename_, how_to_delete_);
        SetZipFilename(output);
    }
    return sfx_result::kDone;
}

}  // namespace kitforge
