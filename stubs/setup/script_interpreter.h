#pragma once
// Carries out the steps of an installer's script, one line after the other, until a QUIT line
// or the end. Every write lands in a folder that the macros or the script name, under a name
// that is a plain file name; every failure stops the installation with the line and the reason.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "formats/install_record.h"
#include "payload/payload_reader.h"
#include "os/file.h"
#include "platform/file_stamp.h"
#include "setup/desktop_launcher.h"
#include "setup/folder_macros.h"
#include "setup/install_folder.h"
#include "setup/script_plan.h"
#include "setup/setup_environment.h"

namespace kitforge::setup {

// Where the installer tells the user what it does: one step per line carried out, and
// warnings for lines it skips.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    // Step `number` of `count` is starting; `text` says what it does.
    virtual void Step(std::size_t number, std::size_t count, const std::string& text) = 0;
    virtual void Warning(const std::string& text) = 0;
    // The contents of the files being put in place: `done` of `total` bytes so far, `file` the
    // name of the one being written. Called often; a terminal ignores it.
    virtual void Bytes(std::uint64_t done, std::uint64_t total, const std::string& file) {
        (void)done, (void)total, (void)file;
    }
};

struct InstallSettings {
    MacroFolders folders;  // %wtemp% included
    SetupEnvironment environment;
    InstallScope scope = InstallScope::PerUser;
};

// True for "!install<digits>.exe", the name of a packed group that a compressed build puts in
// place, runs and cleans up.
bool IsInstallArchiveName(const std::string& name);

class ScriptInterpreter {
public:
    // `installer` is the open installer file that holds the contents of `payload`'s files.
    ScriptInterpreter(const payload::Payload& payload, File& installer, InstallSettings settings,
                      ProgressSink& progress);

    // Carries out `steps` (from PlanScript of the same payload) in order, up to and including
    // the first QUIT line. Throws ScriptError for the first line that fails, and
    // SetupCancelled when a cancel is requested.
    void Run(const std::vector<ScriptStep>& steps);

    // The files this installer has written so far, as full paths, in order.
    std::vector<std::string> WrittenFiles() const;

    // What this run has put in place so far and is still there, for the install record: the
    // folders it made, then each file (size and checksum as written) and launcher, in order.
    // What lies in %wtemp% (gone at the end) and the packed groups CLEANUP removed are left out.
    const std::vector<formats::InstallItem>& RecordedItems() const { return recorded_; }

private:
    // One file extracted by this run, known by its folder's identity so that CLEANUP finds
    // it however the script spells that folder.
    struct Placed {
        FileIdentity folder_identity;
        std::string folder;
        std::string name;
    };

    void Carry(const ScriptStep& step);
    void Extract(const ScriptStep& step);
    void Execute(const ScriptStep& step);
    void Start(const ScriptStep& step);
    void Copy(const ScriptStep& step);
    void Link(const ScriptStep& step);
    // The bytes of the file a LINK line puts in place: a desktop entry, or on Windows a shell link.
    std::string LauncherFileText(const Launcher& launcher, const std::string& file_name) const;
    void Cleanup(const ScriptStep& step);

    // The words of a command line on this machine: macros expanded, the program's path read
    // with "\" as a separator and a relative one taken inside %program%, and arguments that
    // start with a macro read as paths too.
    std::vector<std::string> MachineWords(const std::vector<std::string>& words) const;
    void Announce(const std::string& text);
    void Remember(const std::string& folder, const std::string& name, const FileIdentity& file);
    // Opens `folder` (made when missing) and records the folders that took.
    InstallFolder OpenTarget(const std::string& folder, const std::vector<std::string>& anchors);
    // Records the file `name` just written into `folder` as `identity`, with its contents.
    void Record(const InstallFolder& folder, const std::string& name, const FileIdentity& identity,
                formats::InstallItemKind kind);
    void Forget(const std::string& path);
    bool InRunFolder(const std::string& path) const;
    // The folders that others are entered from without following links (see OpenInstallFolder).
    std::vector<std::string> Anchors() const;
    // The program of a command line, opened when this run wrote it (see OpenWrittenProgram).
    File WrittenProgram(const std::string& path) const;

    const payload::Payload& payload_;
    File& installer_;
    InstallSettings settings_;
    ProgressSink& progress_;
    std::size_t step_number_ = 0;
    std::size_t step_count_ = 0;
    // Bytes of file contents this run puts in place, and how many are written so far.
    std::uint64_t bytes_total_ = 0;
    std::uint64_t bytes_done_ = 0;
    std::vector<Placed> placed_;
    std::vector<std::string> written_;
    // Which file each path written so far held when it was written.
    std::map<std::string, FileIdentity> written_identity_;
    std::vector<formats::InstallItem> recorded_;
};

}  // namespace kitforge::setup
