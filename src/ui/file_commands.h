#pragma once
// The File and Help menu commands of the main window, without the window: the save-changes
// gate that every command which could lose edits passes, New, Open, Save, Save As, closing,
// Build, Create SFX Zip, Read Me and About. Failures are thrown as kitforge::Error; the window
// shows them in its standard error box and the command that met them ends there.

#include <functional>
#include <string>

#include "platform/ui_host.h"
#include "platform/version_resource.h"
#include "ui/editor_build.h"
#include "ui/editor_project.h"
#include "ui/recent_files.h"

namespace kitforge {

// What the commands need of the place they run in.
struct EditorEnvironment {
    std::string program_folder;  // ends in a separator; stubs and readme.txt are found there
    std::string program_path;    // the running program's own file, read for About
    // Asks the desktop to open a file with its default viewer: false when it has none.
    std::function<bool(const std::string& path)> open_document;
    // Where the recent-files list is kept between runs; none keeps it for this window only.
    RecentFilesStore recent_files_store;
    // The windows of Build: its check before and its result after (see editor_build.h).
    BuildDialogs build_dialogs;

    // The running program's folder and file; no viewer.
    static EditorEnvironment ForThisProgram();
};

inline constexpr std::string_view kScriptFilter = "Build Scripts|*.inf";
inline constexpr std::string_view kReadMeName = "readme.txt";

class FileCommands {
public:
    FileCommands(EditorProject& project, UiHost& host, EditorEnvironment environment);

    // True when the calling command may go on: nothing to save, No, or a successful write.
    // Cancel, or a cancelled save dialog, gives false. A failed write throws. A save dialog
    // starts in the folder of `dialog_beside` (Save As: the script it saves anew), else in
    // the home folder.
    bool SaveChanges(bool prompt, std::string_view dialog_beside = {});
    // The values of a new project in the five fields; no file name. List and caption stay.
    void ResetProject();

    void StartUp();
    // A new project: the new values in the fields, no rows, no file, the caption "Kitforge".
    void New();
    void OpenScript();
    // Opens the script at `path` through the save-changes gate: a file named on the command
    // line or dropped onto the window. Warns before a file that is not a build script and
    // lists the lines the project does not hold, as Open does.
    void OpenPath(const std::string& path);
    // Opens a file of the recent-files list; one that no longer exists is taken off it.
    void OpenRecent(const std::string& path);
    void Save();
    void SaveAs();
    // The window is about to close: true lets it.
    bool CloseRequested();
    void Build();
    // Create SFX Zip: packs files the user picks into a self-extracting executable named after
    // the script file by default; independent of the script's contents.
    void CreateSFXZip();
    // Asks the desktop to open readme.txt: false when it has no viewer, so the window shows
    // the file itself.
    bool ReadMe();
    std::string ReadMePath() const;
    void About();
    // The About box's text: "Kitforge v" + the version read from the program's own file, the
    // maker, two lines of rights, an empty line and the web address, lines ended by CR LF.
    std::string AboutText();

    TEPInfoExe& EPInfoExe1() noexcept { return version_reader_; }
    const EditorEnvironment& Environment() const noexcept { return environment_; }
    const RecentFiles& Recent() const noexcept { return recent_; }
    // Lets the window show an opened project before a message about it appears.
    void SetShowProject(std::function<void()> show) { show_project_ = std::move(show); }

private:
    FileDialogOptions SaveDialog1(std::string_view beside) const;
    FileDialogOptions OpenDialog1() const;
    // Reads the file into the project. A file that is not a build script is opened only
    // when the user says so; otherwise nothing changes.
    void LoadScript(const std::string& path);

    EditorProject& project_;
    UiHost& host_;
    EditorEnvironment environment_;
    TEPInfoExe version_reader_;
    RecentFiles recent_;
    std::function<void()> show_project_;
};

}  // namespace kitforge
