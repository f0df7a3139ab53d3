#pragma once
// TZipMaster, the zip component: the settings of an archive operation as properties, an
// in-memory directory of the current archive, and numbered messages to its host.
//
// A published property P is read with P() and assigned with SetP(value). The component talks
// to the person in front of the program only through the UiHost it is given: every message
// goes to a message box unless Unattended is set, and always to OnMessage. Operations report
// their own failures and never raise to their callers; inside, failures are EZipMaster.
//
// Its state (the directory and drive, the multi-volume writer's, the loaded zip library) lives
// in private objects: directory_state.h, span_state.h, zip_library_binding.h. Callers read the
// figures a reading or an operation leaves through the accessors below.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/zip_records.h"
#include "os/file.h"
#include "platform/ui_host.h"
#include "platform/volumes.h"
#include "zip/directory_state.h"
#include "zip/ezip_master.h"
#include "zip/span_state.h"
#include "formats/zip_call_records.h"
#include "zip/zip_dir_entry.h"
#include "zip/zip_library_binding.h"
#include "zip/zip_messages.h"
#include "zip/zip_options.h"
#include "zip/zip_results.h"

namespace kitforge {

class TZipMaster;
class ZipMasterInternals;
struct AddCallBuffers;

using TNotifyEvent = std::function<void(TZipMaster& sender)>;
using TProgressEvent =
    std::function<void(TZipMaster& sender, ProgressType type, const std::string& file_name, std::int64_t file_size)>;
using TMessageEvent = std::function<void(TZipMaster& sender, int err_code, const std::string& message)>;

class TZipMaster {
public:
    static constexpr std::string_view kVersionInfo = "1.52 M";
    static constexpr std::size_t kMaxPasswordLength = 255;

    // `host` receives every message box, question and busy cursor; `volumes` answers what the
    // component asks about drives (the system's, or a simulated drive in tests).
    explicit TZipMaster(UiHost& host, Volumes& volumes = SystemVolumes());
    ~TZipMaster();
    TZipMaster(const TZipMaster&) = delete;
    TZipMaster& operator=(const TZipMaster&) = delete;

    // ---- Published properties -------------------------------------------------------------
    bool Verbose() const noexcept { return verbose_; }
    void SetVerbose(bool value) noexcept { verbose_ = value; }
    bool Trace() const noexcept { return trace_; }
    void SetTrace(bool value) noexcept { trace_ = value; }
    int AddCompLevel() const noexcept { return add_comp_level_; }
    void SetAddCompLevel(int value) noexcept { add_comp_level_ = value; }
    AddOpts AddOptions() const noexcept { return add_options_; }
    void SetAddOptions(AddOpts value) noexcept { add_options_ = value; }
    const std::string& ExtrBaseDir() const noexcept { return extr_base_dir_; }
    void SetExtrBaseDir(std::string value) { extr_base_dir_ = std::move(value); }
    ExtrOpts ExtrOptions() const noexcept { return extr_options_; }
    void SetExtrOptions(ExtrOpts value) noexcept { extr_options_ = value; }
    SFXOpts SFXOptions() const noexcept { return sfx_options_; }
    void SetSFXOptions(SFXOpts value) noexcept { sfx_options_ = value; }
    // The file specifications of the next Add; callers append to the list directly.
    std::vector<std::string>& FSpecArgs() noexcept { return fspec_args_; }
    const std::vector<std::string>& FSpecArgs() const noexcept { return fspec_args_; }
    // Copies the lines into the component's own list.
    void SetFSpecArgs(const std::vector<std::string>& value) { fspec_args_ = value; }
    bool Unattended() const noexcept { return unattended_; }
    void SetUnattended(bool value) noexcept { unattended_ = value; }
    const std::string& ZipFilename() const noexcept { return zip_filename_; }
    // Stores the name and reads the archive's directory, every time, even when the name is
    // the one already stored.
    void SetZipFilename(std::string value);
    const std::string& Password() const noexcept { return password_; }
    // Keeps at most the first 255 characters.
    void SetPassword(std::string value);
    const std::string& SFXPath() const noexcept { return sfx_path_; }
    void SetSFXPath(std::string value) { sfx_path_ = std::move(value); }
    const std::string& DLLDirectory() const noexcept { return dll_directory_; }
    // A value that differs from the stored one loses one trailing separator ("\" or "/").
    void SetDLLDirectory(std::string value);
    OvrOpts SFXOverWriteMode() const noexcept { return sfx_overwrite_mode_; }
    void SetSFXOverWriteMode(OvrOpts value) noexcept { sfx_overwrite_mode_ = value; }
    const std::string& SFXCaption() const noexcept { return sfx_caption_; }
    void SetSFXCaption(std::string value) { sfx_caption_ = std::move(value); }
    const std::string& SFXDefaultDir() const noexcept { return sfx_default_dir_; }
    void SetSFXDefaultDir(std::string value) { sfx_default_dir_ = std::move(value); }
    const std::string& SFXCommandLine() const noexcept { return sfx_command_line_; }
    void SetSFXCommandLine(std::string value) { sfx_command_line_ = std::move(value); }
    const std::string& TempDir() const noexcept { return temp_dir_; }
    void SetTempDir(std::string value) { temp_dir_ = std::move(value); }
    int KeepFreeOnDisk1() const noexcept { return keep_free_on_disk1_; }
    void SetKeepFreeOnDisk1(int value) noexcept { keep_free_on_disk1_ = value; }
    int MaxVolumeSize() const noexcept { return max_volume_size_; }
    void SetMaxVolumeSize(int value) noexcept { max_volume_size_ = value; }
    int MinFreeVolumeSize() const noexcept { return min_free_volume_size_; }
    void SetMinFreeVolumeSize(int value) noexcept { min_free_volume_size_ = value; }
    bool ConfirmErase() const noexcept { return confirm_erase_; }
    void SetConfirmErase(bool value) noexcept { confirm_erase_ = value; }
    CodePageOpts CodePage() const noexcept { return code_page_; }
    void SetCodePage(CodePageOpts value) noexcept { code_page_ = value; }
    DeleteOpts HowToDelete() const noexcept { return how_to_delete_; }
    void SetHowToDelete(DeleteOpts value) noexcept { how_to_delete_ = value; }
    // Read-only: assigning it changes nothing.
    std::string VersionInfo() const { return std::string(kVersionInfo); }
    void SetVersionInfo(std::string_view) noexcept {}

    // ---- Events ---------------------------------------------------------------------------
    TProgressEvent OnProgress;
    TMessageEvent OnMessage;
    // Fired once at the end of every directory reading: successful, failed or without a file.
    TNotifyEvent OnDirUpdate;

    // ---- Messages -------------------------------------------------------------------------
    // Reports message `id` with `extra` appended: a box unless Unattended, then OnMessage
    // with ErrCode 0 (kComponentMessageCode). Never raises.
    void ReportMessage(int id, std::string_view extra = {});
    // Reports a caught EZipMaster (with `extra` appended): a box when it is to be displayed
    // and the component is not Unattended, then OnMessage. Never raises.
    void ReportException(const EZipMaster& failure, std::string_view extra = {});
    // The id and full text of the last message reported (0 and empty before the first).
    int LastMessageId() const noexcept { return operation_.LastMessageId; }
    const std::string& LastMessage() const noexcept { return operation_.LastMessage; }

    // ---- The directory of the current archive (directory_reader.cpp) ----------------------
    // Reads the directory of ZipFilename into Entries and the figures below; reports its own
    // failures (after which ZipFilename is empty) and fires OnDirUpdate.
    void ReadDirectory();
    // One entry per file of the archive, in the directory's order; names use "\".
    const std::vector<ZipDirEntry>& Entries() const noexcept { return directory_.Entries; }
    // The size of the file, and of the archive in it (without bytes after its comment).
    std::int64_t PhysicalSize() const noexcept { return directory_.PhysicalSize; }
    std::int64_t ArchiveSize() const noexcept { return directory_.ArchiveSize; }
    // Where the central directory stands in the file.
    std::int64_t CentralOffset() const noexcept { return directory_.CentralOffset; }
    // What precedes the first entry: the program of a self-extracting archive, or 0.
    std::int64_t StubSize() const noexcept { return directory_.StubSize; }
    const std::string& ArchiveComment() const noexcept { return directory_.ArchiveComment; }
    // The stored offsets are off by the stub: it was put in front of the archive later.
    bool OffsetsShifted() const noexcept { return directory_.OffsetsShifted; }
    // The file is a volume of a multi-volume set.
    bool SpannedArchive() const noexcept { return directory_.SpannedArchive; }
    // The number of the last disk of a set (0 for one file), and of the disk now in use.
    int TotalDisks() const noexcept { return directory_.TotalDisks; }
    int CurrentDisk() const noexcept { return directory_.CurrentDisk; }
    // `text` converted from the OEM code page when the host system and version (and the
    // CodePage property) say it was stored in one; the result has the length of the input.
    std::string OemToAnsiName(std::string_view text, std::uint8_t host_system, std::uint8_t spec_version) const;
    // Disposes every entry, from the last to the first.
    void ClearEntries() noexcept;

    // ---- Self-extracting conversion (sfx_converter.cpp) -----------------------------------
    // Turns the archive ZipFilename into a self-extracting executable of the same name with
    // ".exe": the stub, the 256-byte header and the archive with its offsets moved. Called by
    // Add for a new ".exe", it writes an executable holding an empty archive under ZipFilename
    // itself (EmptySFXMode).
    // Gives a sfx_result: kDone (0), or kCannotCreateOutput (-1), kWriteFailed (-2, a write
    // fell short, or the directory cannot be moved), kCannotRead (-3, the stub or the archive)
    // or kRefused (-9, a precondition, reported, or an output whose size does not add up).
    int MakeSFX();
    // Why the last file operation of MakeSFX failed, as the system gave it ("Cannot write
    // /a/b.exe: No space left on device (error 28)"), or empty when it did not say. Set
    // alongside the results -1 to -3, so that a caller can name the file and the reason.
    const std::string& LastFileFailure() const noexcept { return operation_.LastFileFailure; }

    // ---- The zip library and Add (add_operation.cpp, zip_library_binding.cpp, zip_callback.cpp)
    // Adds the files of FSpecArgs to ZipFilename through the zip library. The outcome is
    // AddedCount: the number of files the library processed, 0 after any failure (which has
    // been reported). FSpecArgs is consumed once the library step is reached.
    void Add();
    int AddedCount() const noexcept { return operation_.AddedCount; }
    // Loads ZIPDLL.DLL from DLLDirectory, else through the platform's search, and resolves its
    // two exports; reports 10604, 10601, 10602 and 10603. The library stays loaded.
    void LoadZipLibrary();
    void UnloadZipLibrary() noexcept;
    bool LibraryLoaded() const noexcept { return library_.Loaded(); }
    // The loaded library's version (loading it for this call when none is loaded), or 0.
    int LibraryVersion();

    // ---- Multi-volume sets (span_writer.cpp, volume_write.cpp, disk_prompts.cpp,
    //      disk_request.cpp, format_disk.cpp) ------------------------------------------------
    // Copies the archive `input_path` onto the volumes of `output_path`: numbered files
    // (arch001.zip, ...) on a fixed or network drive, one disk each, all named `output_path`
    // and labelled "PKBACK# 001", ..., on a removable drive. Gives a span_result: kDone (0),
    // or after reporting the failure kZipFailure (-7, an EZipMaster), kOutOfMemory (-8) or
    // kOtherFailure (-9, anything else).
    int SpanArchive(const std::string& input_path, const std::string& output_path);

    // ---- Run-time state -------------------------------------------------------------------
    // The window that owns the component's boxes and prompts: its host.
    UiHost* OwnerWindow() const noexcept { return &host_; }
    // Set by the host (from an event handler) to stop the running operation; Add clears it at
    // its start and end.
    bool CancelRequested() const noexcept { return operation_.CancelRequested; }
    void SetCancelRequested(bool value) noexcept { operation_.CancelRequested = value; }
    // An Add or a SpanArchive is running.
    bool OperationActive() const noexcept { return operation_.OperationActive; }

private:
    friend class ZipMasterInternals;

    // Messages.
    void Deliver(int id, MessageKind kind, const std::string& text, bool show) noexcept;
    // ".\nFile: " and the archive's path, appended to reports about the archive file.
    std::string FileNote() const;

    // The directory reader, the end-record search and the drive check (directory_reader.cpp,
    // end_record_locator.cpp, drive_check.cpp).
    // The directory figures that the reading goes by, from the end record or its zip64 form.
    struct DirectoryFigures {
        std::uint64_t total_entries = 0;
        std::uint64_t central_size = 0;
        std::uint64_t central_start = 0;
        std::int64_t directory_end = 0;  // where the central directory must end in this file
        std::uint32_t last_disk = 0;     // the disk of the end record: the set's last
        std::uint32_t central_disk = 0;  // the disk on which the central directory starts
    };
    void ReadDirectorySteps(std::int64_t& central_position);
    DirectoryFigures FiguresOf(const formats::EndRecord& end_record);
    void ReadCentralEntries(const DirectoryFigures& figures);
    // Opens InputPath into InputHandle (left open for the caller), finds the end record and
    // copies it into `end_record`; sets PhysicalSize, ArchiveSize, EndRecordOffset,
    // ArchiveComment and perhaps SpannedArchive. Raises EZipMaster, or Error for an
    // impossible file, when there is no usable end record.
    bool LocateEndRecord(formats::EndRecord& end_record);
    bool SearchEndRecord(formats::EndRecord& end_record, bool spanned_signature, int volume_number);
    // Whether OemToAnsiName converts names of this host system and version.
    bool IsOemName(std::uint8_t host_system, std::uint8_t spec_version) const noexcept;
    // Checks the drive of DriveRoot and reads VolumeLabel, DiskSize and DiskFree. Raises
    // EZipMaster 11003 or 11004 for a drive letter that is bad or absent.
    bool CheckDrive();
    // `which` holds disk_figure bits: kFree updates DiskFree, kSize DiskSize.
    void QueryDiskSpace(int which);
    // Makes disk `disk` of a multi-volume set the open input: closes InputHandle, sets
    // CurrentDisk, has the user put the disk in the drive and reopens InputPath. Raises
    // EZipMaster when the user gives up (not displayed) or the file cannot be had.
    void RequestDisk(int disk);
    // Closes InputHandle if it is open.
    void CloseInput() noexcept;

    // The self-extracting conversion (sfx_converter.cpp).
    // Copies `count` bytes, or everything to the end when it is negative, from the current
    // position of `source` to that of `target`, letting queued messages run between chunks.
    // Gives a copy_result: kDone, or kFailed when a read or write fails; a source that ends
    // early is no failure.
    int CopyChunked(File& source, File& target, std::int64_t count);
    // Writes the central directory of InputHandle (positioned at its first record) and the
    // end record `end_record`, each offset moved by `shift`, then the archive comment. Gives
    // a copy_result.
    int WriteShiftedDirectory(File& target, const formats::EndRecord& end_record, std::int64_t shift);
    // Deletes one file to the trash (htdAllowUndo) or for good (htdFinal). Gives 0, -1 when the
    // file does not exist, or the system's error code.
    int ShellDeleteFile(const std::string& path, DeleteOpts how);

    // Add and the library (add_operation.cpp, zip_callback.cpp).
    // Step 11 of Add: builds the call record of the library's layout and calls the library.
    void CallLibrary(int version, const std::string& target, AddCallBuffers& buffers);
    // Fills the common part of a call record from the properties; `buffers` receives the texts
    // the record points to, which must outlive the call.
    void FillAddParams(ZipCallHeader& header, const std::string& target_name, AddCallBuffers& buffers);
    // The function the library calls back (its record's caller is the component).
    static std::int32_t ZIPDLL_CALL ZipCallback(ZipCallbackRecord* record);

    // Multi-volume sets.
    void SpanArchiveSteps(const std::string& input_path);
    void CheckSpanSource(const formats::EndRecord& end_record);
    void CopyLocalEntries(std::uint64_t total_entries);
    void CopyDataDescriptor(const SourceEntry* entry, bool wide_sizes);
    void CopyCentralDirectory(const formats::EndRecord& end_record);
    void WriteSpanEndRecord(formats::EndRecord end_record);
    // Writes `count` bytes to the volumes, after making sure that `fit_size` bytes fit on the
    // current volume (0: no condition). Opens, asks for and finishes volumes as needed.
    void VolumeWrite(const void* data, std::int64_t count, std::int64_t fit_size);
    // Copies `count` bytes from InputHandle to the volumes; raises `message_id` when the
    // input ends early.
    void CopyToVolumes(std::int64_t count, int message_id);
    void NoteVolumeWrite(std::int64_t count);
    // Makes sure a volume is open and `fit_size` bytes fit on it.
    void PlaceOnVolume(std::int64_t fit_size);
    void OpenVolume();
    bool ConfirmOverwrite(const std::string& volume_name);
    void FinishVolume();
    void StampAndCloseVolume();
    void CloseOutputVolume() noexcept;
    std::string FailureNote(int id) const;
    // Has the user insert a disk on a removable drive; gives the type of DriveRoot's drive.
    DriveType AskForDisk();
    // Whether the volume now at hand is CurrentDisk of the set; on a fixed or network drive
    // it points InputPath at that volume's numbered file and says yes.
    bool IsExpectedDisk(DriveType drive_type);
    // Formats the disk in DriveRoot's drive with VolumeLabel as its label: a format_result,
    // kCancelled, kFailed (or another format is running) or kFormatted.
    int FormatDisk();

    // What the running or last operation left for its caller.
    struct OperationState {
        bool CancelRequested = false;
        // On only while Add has MakeSFX write a new self-extracting archive.
        bool EmptySFXMode = false;
        bool OperationActive = false;
        int AddedCount = 0;
        int LastMessageId = 0;
        std::string LastMessage;
        std::string LastFileFailure;
    };

    UiHost& host_;
    Volumes& volumes_;
    OperationState operation_;
    DirectoryState directory_;
    SpanState span_;
    ZipLibraryBinding library_;

    bool verbose_ = false;
    bool trace_ = false;
    int add_comp_level_ = 9;
    AddOpts add_options_;
    std::string extr_base_dir_;
    ExtrOpts extr_options_;
    SFXOpts sfx_options_{SFXCheckSize};
    std::vector<std::string> fspec_args_;
    bool unattended_ = false;
    std::string zip_filename_;
    std::string password_;
    std::string sfx_path_ = "ZipSFX.bin";
    std::string dll_directory_;
    OvrOpts sfx_overwrite_mode_ = OvrConfirm;
    std::string sfx_caption_ = "Self-extracting Archive";
    std::string sfx_default_dir_;
    std::string sfx_command_line_;
    std::string temp_dir_;
    int keep_free_on_disk1_ = 0;
    int max_volume_size_ = 0;
    int min_free_volume_size_ = 65536;
    bool confirm_erase_ = true;
    CodePageOpts code_page_ = cpAuto;
    DeleteOpts how_to_delete_ = htdAllowUndo;
};

// `path` with a backslash appended when its last character is not a separator ("\" or, on
// this platform, "/").
std::string WithTrailingBackslash(std::string_view path);

// `text` with every "/" replaced by "\" (same length).
std::string ToBackslashes(std::string_view text);

}  // namespace kitforge
