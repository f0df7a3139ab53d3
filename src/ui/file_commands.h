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

namespace kitforge {

// What the commands need of the place they run in.
struct EditorEnvironment {
    std::string program_folder;  // ends in a separator; stubs and readme.txt are found there
    std::string program_path;    // the running program's own file, read for About
    // Asks the desktop to open a file with its default viewer; the result is not looked at.
    std::function<void(const std::string& path)> open_document;
    // The windows of Build: its check before and its result after (see editor_build.h).
    BuildDialogs build_dialogs;

    // The running program's folder and file; no viewer.
    static EditorEnvironment ForThisProgram();
};

inline constexpr std::string_view kSaveChangesQuestion = "Save changes?";
inline constexpr std::string_view kScriptFilter = "Build Scripts|*.inf";
inline constexpr std::string_view kReadMeName = "readme.txt";

class FileCommands {
public:
    FileCommands(EditorProject& project, UiHost& host, EditorEnvironment environment);

    // True when the calling command may go on: nothing to save, No, or a successful write.
    // Cancel, or a cancelled save dialog, gives false. A failed write throws.
    bool SaveChanges(bool prompt);
    // The values of a new project in the five fields; no file name. List and caption stay.
    void ResetProject();

    void StartUp();
    void New();
    void OpenScript();
    void Save();
    void SaveAs();
    // The window is about to close: true lets it.
    bool CloseRequested();
    void Build();
    // Create SFX Zip: packs files the user picks into a self-extracting executable named after
    // the script file by default; independent of the script's contents.
    void CreateSFXZip();
    void ReadMe();
    void About();
    // The About box's text: "Kitforge v" + the version read from the program's own file, the
    // maker, two lines of rights, an empty line and the web address, lines ended by CR LF.
    std::string AboutText();

    TEPInfoExe& EPInfoExe1() noexcept { return version_reader_; }
    const EditorEnvironment& Environment() const noexcept { return environment_; }

private:
    FileDialogOptions SaveDialog1() const;
    FileDialogOptions OpenDialog1() const;

    EditorProject& project_;
    UiHost& host_;
    EditorEnvironment environment_;
    TEPInfoExe version_reader_;
};

}  // namespace kitforge
