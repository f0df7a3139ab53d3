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
#include "os/native_path.h"
#include "platform/file_copy.h"
#include "platform/paths.h"
#include "os/safe_file_writer.h"
#include "platform/trash.h"
#include "zip/central_record_move.h"
#include "zip/sfx_stub_header.h"
#include "zip/zip64_end_search.h"
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
    if (outcome.read_error != 0)
        return "Cannot read " + DisplayPath(source.Path()) + ": " + SystemErrorText(outcome.read_error);
    return "Cannot write " + DisplayPath(target.Path()) + ": " + SystemErrorText(outcome.write_error);
}

// The same for a single write that fell short.
std::string WriteFailureText(const File& target) {
    return "Cannot write " + DisplayPath(target.Path()) + ": " + SystemErrorText(target.LastError());
}

void CopyRecordTail(TZipMaster& zip, File& target, std::uint64_t count, int failure_id) {
    if (count == 0) return;
    File& input = ZipMasterInternals::Directory(zip).InputHandle;
    const CopyOutcome outcome = CopyBytes(input, target, count, ChunkedCopyOptions(*zip.OwnerWindow()));
    if (outcome.Failed()) ZipMasterInternals::Operation(zip).LastFileFailure = CopyFailureText(outcome, input, target);
    if (outcome.Failed() || outcome.copied != count) throw EZipMaster::Silent(failure_id);
}

// The directory of the archive being converted, as its end record gives it, or its zip64
// end record when it has one.
struct SourceDirectory {
    std::uint64_t entries = 0;
    std::uint64_t central_start = 0;  // as recorded
    std::optional<Zip64End> zip64;
};

SourceDirectory SourceDirectoryOf(TZipMaster& zip, const EndRecord& end_record) {
    DirectoryState& directory = ZipMasterInternals::Directory(zip);
    SourceDirectory source{end_record.TotalEntries(), end_record.CentralStart(),
                           FindZip64End(directory.InputHandle, directory.EndRecordOffset)};
    if (source.zip64) {
        source.entries = source.zip64->record.TotalEntries();
        source.central_start = source.zip64->record.CentralStart();
    }
    return source;
}

// Reads the whole central record at the input's position into `record`; raises the id of
// what is wrong with it.
void ReadCentralRecord(File& input, std::vector<std::uint8_t>& record) {
    record.resize(kCentralHeaderSize);
    if (input.Read(record.data(), record.size()) != record.size()) {
        throw EZipMaster::Silent(zip_msg::kCentralHeaderShort);
    }
    if (GetU32LE(record.data() + central::kSignature) != kCentralHeaderSignature) {
        throw EZipMaster::Silent(zip_msg::kCentralSignatureWrong);
    }
    const std::size_t tail = std::size_t{GetU16LE(record.data() + central::kNameLength)} +
                             GetU16LE(record.data() + central::kExtraLength) +
                             GetU16LE(record.data() + central::kCommentLength);
    record.resize(kCentralHeaderSize + tail);
    if (input.Read(record.data() + kCentralHeaderSize, tail) != tail) {
        throw EZipMaster::Silent(zip_msg::kCentralCopyFailed);
    }
}

std::string EntryNameOf(const std::vector<std::uint8_t>& record) {
    const auto* name = reinterpret_cast<const char*>(record.data() + kCentralHeaderSize);
    return std::string(name, GetU16LE(record.data() + central::kNameLength));
}

// Reads the whole central directory (the input positioned at its first record) and checks
// that every record can be moved by `shift`, before the archive's data is copied: a damaged
// directory is refused without a copy of the archive first. Gives a copy_result, with the
// reason in LastFileFailure.
int CheckDirectoryMove(TZipMaster& zip, const SourceDirectory& source, std::int64_t shift) {
    File& input = ZipMasterInternals::Directory(zip).InputHandle;
    std::string& failure = ZipMasterInternals::Operation(zip).LastFileFailure;
    const std::string damaged = "Cannot move the offsets of " + zip.ZipFilename() + ": ";
    std::vector<std::uint8_t> record;
    for (std::uint64_t n = 1; n <= source.entries; ++n) {
        const std::string which = "central record " + std::to_string(n);
        try {
            ReadCentralRecord(input, record);
        } catch (const EZipMaster& e) {
            failure = damaged + which +
                      (e.MessageId == zip_msg::kCentralSignatureWrong
                           ? " has no central record signature; the directory is damaged"
                           : " is cut short; the directory is damaged");
            return copy_result::kFailed;
        }
        const auto figures = CentralRecordFigures(record);
        const std::string entry = which + " (\"" + EntryNameOf(record) + "\")";
        if (!figures) {
            failure = damaged + entry + " leaves figures to a zip64 field it lacks or that is too short";
            return copy_result::kFailed;
        }
        if (figures->local_offset >= source.central_start) {
            failure = damaged + entry + " places its local header at " + std::to_string(figures->local_offset) +
                      ", not before the central directory at " + std::to_string(source.central_start);
            return copy_result::kFailed;
        }
        const MovedRecord moved =
            MoveCentralRecord(record, figures->local_offset + static_cast<std::uint64_t>(shift), figures->start_disk);
        if (!moved.failure.empty()) {
            failure = damaged + entry + ": " + moved.failure;
            return copy_result::kFailed;
        }
    }
    return copy_result::kDone;
}

// Writes the central directory of the input (positioned at its first record) with every
// local-header offset moved by `shift`, then the end records with the directory's new start,
// then the archive comment. An offset that passes 4 GiB on the way goes to the record's zip64
// field, and a directory that starts past 4 GiB gets a zip64 end record and locator when it
// had none. `growth` gets the bytes the moved archive has more than the source (or fewer:
// extensible data of a zip64 end record is left out).
int MoveDirectory(TZipMaster& zip, File& target, const EndRecord& end_record, std::int64_t shift,
                  std::int64_t& growth) {
    DirectoryState& directory = ZipMasterInternals::Directory(zip);
    std::string& failure = ZipMasterInternals::Operation(zip).LastFileFailure;
    File& input = directory.InputHandle;
    const auto write = [&](const std::vector<std::uint8_t>& bytes, int failure_id) {
        if (target.Write(bytes.data(), bytes.size()) != bytes.size()) {
            failure = WriteFailureText(target);
            throw EZipMaster::Silent(failure_id);
        }
    };
    try {
        const SourceDirectory source = SourceDirectoryOf(zip, end_record);
        std::vector<std::uint8_t> record;
        std::uint64_t read = 0;
        std::uint64_t written = 0;
        for (std::uint64_t n = 0; n < source.entries; ++n) {
            ReadCentralRecord(input, record);
            const auto figures = CentralRecordFigures(record);
            if (!figures) throw EZipMaster::Silent(zip_msg::kCentralWriteFailed);
            const MovedRecord moved = MoveCentralRecord(
                record, figures->local_offset + static_cast<std::uint64_t>(shift), figures->start_disk);
            if (!moved.failure.empty()) throw EZipMaster::Silent(zip_msg::kCentralWriteFailed);
            write(moved.bytes, zip_msg::kCentralWriteFailed);
            read += record.size();
            written += moved.bytes.size();
        }
        growth = static_cast<std::int64_t>(written) - static_cast<std::int64_t>(read);

        const std::uint64_t start = source.central_start + static_cast<std::uint64_t>(shift);
        if (source.zip64 || start > zip64::kLargest32 || written > zip64::kLargest32) {
            const std::int64_t record_at = target.Position();
            if (record_at < 0) throw EZipMaster::Silent(zip_msg::kEndRecordWriteFailed);
            Zip64EndRecord zip64_record = Zip64EndRecord::Make(source.entries, written, start);
            Zip64Locator locator = Zip64Locator::Make(static_cast<std::uint64_t>(record_at));
            if (source.zip64) {
                zip64_record = source.zip64->record;
                growth -= static_cast<std::int64_t>(
                    std::min<std::uint64_t>(zip64_record.RecordSize() - (zip64::kEndRecordSize - 12), INT64_MAX));
                PutU64LE<zip64::end_record::kRecordSize>(zip64_record.bytes, zip64::kEndRecordSize - 12);
                PutU64LE<zip64::end_record::kCentralSize>(zip64_record.bytes, written);
                zip64_record.SetCentralStart(start);
                locator = source.zip64->locator;
                locator.SetEndRecordOffset(static_cast<std::uint64_t>(record_at));
            } else {
                growth += static_cast<std::int64_t>(zip64::kEndRecordSize + zip64::kLocatorSize);
            }
            write(std::vector<std::uint8_t>(zip64_record.bytes.begin(), zip64_record.bytes.end()),
                  zip_msg::kEndRecordWriteFailed);
            write(std::vector<std::uint8_t>(locator.bytes.begin(), locator.bytes.end()),
                  zip_msg::kEndRecordWriteFailed);
        }

        // A classic field the source saturated stays so; one that no longer holds its figure
        // is saturated, the zip64 record holding it.
        EndRecord moved_end = end_record;
        if (end_record.CentralStart() != zip64::kSaturated32) {
            moved_end.SetCentralStart(Classic32(start, start > zip64::kLargest32));
        }
        if (end_record.CentralSize() != zip64::kSaturated32) {
            PutU32LE<end_record::kCentralSize>(moved_end.bytes, Classic32(written, written > zip64::kLargest32));
        }
        const std::int64_t end_at = directory.EndRecordOffset + static_cast<std::int64_t>(kEndRecordSize);
        if (input.Seek(end_at) != end_at) throw EZipMaster::Silent(zip_msg::kEndRecordSkipFailed);
        write(std::vector<std::uint8_t>(moved_end.bytes.begin(), moved_end.bytes.end()),
              zip_msg::kEndRecordWriteFailed);
        CopyRecordTail(zip, target, end_record.CommentSize(), zip_msg::kCommentCopyFailed);
        return copy_result::kDone;
    } catch (const EZipMaster&) {
        return copy_result::kFailed;
    }
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
        if (zip.OffsetsShifted()) {
            if (directory.InputHandle.Seek(0) != 0) throw EZipMaster::Silent(zip_msg::kSeekFailed);
            result = ZipMasterInternals::CopyChunked(zip, directory.InputHandle, out, -1);
            archive_size = zip.PhysicalSize();
        } else {
            const std::int64_t shift = stub_size + static_cast<std::int64_t>(kSFXStubHeaderSize);
            const SourceDirectory source = SourceDirectoryOf(zip, end_record);
            const auto central_start =
                static_cast<std::int64_t>(std::min<std::uint64_t>(source.central_start, INT64_MAX));
            // The directory is checked before the archive's data is copied.
            if (directory.InputHandle.Seek(central_start) != central_start) {
                throw EZipMaster::Silent(zip_msg::kSeekFailed);
            }
            result = CheckDirectoryMove(zip, source, shift);
            // Bytes between the directory and the end records would make the output not add up
            // to the archive: that too is known before the copy.
            const std::int64_t directory_end = source.zip64 ? source.zip64->record_at : directory.EndRecordOffset;
            if (result == copy_result::kDone && directory.InputHandle.Position() != directory_end) {
                failure = "Cannot move the offsets of " + zip.ZipFilename() +
                          ": its central directory does not end where its end record begins";
                result = sfx_result::kRefused;
            }
            if (result == copy_result::kDone && directory.InputHandle.Seek(0) != 0) {
                throw EZipMaster::Silent(zip_msg::kSeekFailed);
            }
            if (result == copy_result::kDone) {
                result = ZipMasterInternals::CopyChunked(zip, directory.InputHandle, out, central_start);
            }
            std::int64_t growth = 0;
            if (result == copy_result::kDone) result = MoveDirectory(zip, out, end_record, shift, growth);
            archive_size = zip.ArchiveSize() + growth;
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
        failure = "Cannot open " + DisplayPath(zip.SFXPath()) + ": " + SystemErrorText(open_error);
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
    std::int64_t growth = 0;
    return MoveDirectory(*this, target, end_record, shift, growth);
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
