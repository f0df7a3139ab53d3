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
#include "zip/zip_master.h"

namespace kitforge {

namespace {

using namespace zip_format;

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
    const CopyOutcome outcome = CopyBytes(zip.InputHandle, target, count, ChunkedCopyOptions(*zip.OwnerWindow));
    if (outcome.Failed()) zip.LastFileFailure = CopyFailureText(outcome, zip.InputHandle, target);
    if (outcome.Failed() || outcome.copied != count) throw EZipMaster(failure_id, false);
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
    if (stub_size < 0) return -2;
    const auto central_start = Shifted(0, stub_size + static_cast<std::int64_t>(kSFXStubHeaderSize));
    if (!central_start) return -2;
    EndRecord end = EndRecord::Empty();
    end.SetCentralStart(*central_start);
    if (out.Write(end.bytes.data(), kEndRecordSize) == kEndRecordSize) return 0;
    zip.LastFileFailure = WriteFailureText(out);
    return -2;
}

// Copies the source archive behind the header, moving its offsets unless they are moved
// already, and gives the length the archive should take in `archive_size`. A failure to
// find or read the archive is -3; the copy's own results pass through.
int CopyArchive(TZipMaster& zip, File& out, std::int64_t stub_size, std::int64_t& archive_size) {
    int result = 0;
    try {
        zip.InputPath = zip.ZipFilename();
        EndRecord end_record;
        zip.LocateEndRecord(end_record);
        if (zip.InputHandle.Seek(0) != 0) throw EZipMaster(zip_msg::kSeekFailed, false);
        if (zip.OffsetsShifted) {
            result = zip.CopyChunked(zip.InputHandle, out, -1);
            archive_size = zip.PhysicalSize;
        } else {
            result = zip.CopyChunked(zip.InputHandle, out, end_record.CentralStart());
            if (result == 0) {
                result = zip.WriteShiftedDirectory(out, end_record,
                                                   stub_size + static_cast<std::int64_t>(kSFXStubHeaderSize));
            }
            archive_size = zip.ArchiveSize;
        }
    } catch (const std::exception& e) {
        if (zip.LastFileFailure.empty()) zip.LastFileFailure = e.what();
        result = -3;
    } catch (...) {
        result = -3;
    }
    zip.CloseInput();
    return result;
}

// Steps 9 to 14 of the conversion: the stub, the header and the archive are written to `out`,
// which is closed, and the result checked against what they should add up to.
int FillSFXFile(TZipMaster& zip, File& out, const SFXStubHeader& header) {
    int result = 0;
    std::int64_t stub_size = -1;
    std::int64_t archive_size = -1;
    int open_error = 0;
    if (auto stub = File::TryOpenRead(zip.SFXPath(), &open_error)) {
        result = zip.CopyChunked(*stub, out, -1);
        stub_size = stub->Position();
    } else {
        zip.LastFileFailure = "Cannot open " + zip.SFXPath() + ": " + SystemErrorText(open_error);
        result = -3;
    }
    if (result == 0 && out.Write(header.data(), header.size()) != header.size()) {
        zip.LastFileFailure = WriteFailureText(out);
        result = -2;
    }
    if (result == 0) {
        result = zip.EmptySFXMode ? WriteEmptyEndRecord(zip, out, stub_size) : CopyArchive(zip, out, stub_size, archive_size);
    }
    const std::int64_t output_size = out.Position();
    try {
        out.Close();
    } catch (const Error& e) {
        if (result == 0) {
            zip.LastFileFailure = e.what();
            result = -2;  // a write that failed late
        }
    }
    if (result == 0 && !zip.EmptySFXMode &&
        (stub_size < 0 || archive_size < 0 || output_size < 0 ||
         stub_size + static_cast<std::int64_t>(kSFXStubHeaderSize) + archive_size != output_size)) {
        result = -9;
    }
    return result;
}

// Thrown out of the writer to abandon an output whose result is already set.
struct AbandonedOutput {};

// Steps 8 to 14: the executable is written under a new temporary name in the output's folder
// and renamed into place only once it is complete. The output's own name is never opened, so
// a link planted there is not followed, and a failure leaves nothing under that name.
int WriteSFXFile(TZipMaster& zip, const std::string& output, const SFXStubHeader& header) {
    int result = 0;
    try {
        // The executable is meant to be run: it gets the execute bits that the umask allows.
        WriteNewFileSafely(output, 0777, [&](File& out) {
            result = FillSFXFile(zip, out, header);
            if (result == 0) return;
            // The user knows the executable by its own name, not by the temporary one.
            for (std::size_t at = 0; (at = zip.LastFileFailure.find(out.Path(), at)) != std::string::npos;
                 at += output.size()) {
                zip.LastFileFailure.replace(at, out.Path().size(), output);
            }
            throw AbandonedOutput{};
        });
    } catch (const AbandonedOutput&) {
    } catch (const Error& e) {
        // The temporary file could not be made, or not be given the output's name.
        zip.LastFileFailure = e.what();
        result = -1;
    }
    return result;
}

}  // namespace

int TZipMaster::CopyChunked(File& source, File& target, std::int64_t count) {
    try {
        const std::optional<std::uint64_t> wanted =
            count < 0 ? std::nullopt : std::optional<std::uint64_t>(static_cast<std::uint64_t>(count));
        const CopyOutcome outcome = CopyBytes(source, target, wanted, ChunkedCopyOptions(host_));
        if (!outcome.Failed()) return 0;
        LastFileFailure = CopyFailureText(outcome, source, target);
        return -2;
    } catch (const std::exception& e) {
        LastFileFailure = e.what();
        return -2;
    } catch (...) {
        return -2;
    }
}

int TZipMaster::WriteShiftedDirectory(File& target, const EndRecord& end_record, std::int64_t shift) {
    try {
        // An archive that keeps its real figures in a zip64 end record cannot be moved by
        // rewriting 32-bit fields.
        if (DefersToZip64(end_record)) {
            throw EZipMaster(zip_msg::kCentralWriteFailed, false);
        }
        for (std::uint32_t i = 0; i < end_record.TotalEntries(); ++i) {
            std::array<std::uint8_t, kCentralHeaderSize> record{};
            if (InputHandle.Read(record.data(), record.size()) != record.size()) {
                throw EZipMaster(zip_msg::kCentralHeaderShort, false);
            }
            if (GetU32LE<central::kSignature>(record) != kCentralHeaderSignature) {
                throw EZipMaster(zip_msg::kCentralSignatureWrong, false);
            }
            const auto moved = Shifted(GetU32LE<central::kLocalHeaderOffset>(record), shift);
            if (!moved) throw EZipMaster(zip_msg::kCentralWriteFailed, false);
            PutU32LE<central::kLocalHeaderOffset>(record, *moved);
            if (target.Write(record.data(), record.size()) != record.size()) {
                LastFileFailure = WriteFailureText(target);
                throw EZipMaster(zip_msg::kCentralWriteFailed, false);
            }
            const std::uint64_t tail = std::uint64_t{GetU16LE<central::kNameLength>(record)} +
                                       GetU16LE<central::kExtraLength>(record) +
                                       GetU16LE<central::kCommentLength>(record);
            CopyRecordTail(*this, target, tail, zip_msg::kCentralCopyFailed);
        }
        if (InputHandle.Seek(static_cast<std::int64_t>(kEndRecordSize), File::Whence::Current) < 0) {
            throw EZipMaster(zip_msg::kEndRecordSkipFailed, false);
        }
        EndRecord moved_end = end_record;
        const auto central_start = Shifted(end_record.CentralStart(), shift);
        if (!central_start) throw EZipMaster(zip_msg::kEndRecordWriteFailed, false);
        moved_end.SetCentralStart(*central_start);
        if (target.Write(moved_end.bytes.data(), kEndRecordSize) != kEndRecordSize) {
            LastFileFailure = WriteFailureText(target);
            throw EZipMaster(zip_msg::kEndRecordWriteFailed, false);
        }
        CopyRecordTail(*this, target, end_record.CommentSize(), zip_msg::kCommentCopyFailed);
        return 0;
    } catch (const EZipMaster&) {
        return -2;
    }
}

int TZipMaster::ShellDeleteFile(const std::string& path, DeleteOpts how) {
    return kitforge::ShellDeleteFile(path, how == htdAllowUndo);
}

int TZipMaster::MakeSFX() {
    LastFileFailure.clear();
    // The checks run in this order, so the first thing wrong is the one reported.
    if (!EmptySFXMode && !FileExists(zip_filename_)) {
        ReportMessage(zip_msg::kNoArchiveName);
        return -9;
    }
    const std::size_t text_length = sfx_caption_.size() + sfx_default_dir_.size() + sfx_command_line_.size();
    if (text_length > kSFXMaxTextLength) {
        ReportMessage(zip_msg::kSfxTextsTooLong,
                      "\r\nSFXCaption + SFXDefaultDir + SFXCommandLine = " + std::to_string(text_length));
        return -9;
    }
    if (!FindSFXStub(*this)) {
        ReportMessage(zip_msg::kSfxStubNotFound);
        return -9;
    }

    const BusyCursor busy(host_);
    const SFXStubHeader header =
        BuildSFXStubHeader(sfx_options_, sfx_overwrite_mode_, sfx_caption_, sfx_default_dir_, sfx_command_line_);

    std::string output = zip_filename_;
    if (!EmptySFXMode) {
        const std::string extension = ExtensionOf(zip_filename_);
        if (UpperCase(extension) != ".ZIP") {
            ReportMessage(zip_msg::kSfxSourceNotZip);
            return -9;
        }
        output = zip_filename_.substr(0, zip_filename_.size() - extension.size()) + ".exe";
    }
    if (FileExists(output)) ShellDeleteFile(output, how_to_delete_);

    const int result = WriteSFXFile(*this, output, header);
    if (result != 0) return result;
    if (!EmptySFXMode) {
        ShellDeleteFile(zip_filename_, how_to_delete_);
        SetZipFilename(output);
    }
    return 0;
}

}  // namespace kitforge
