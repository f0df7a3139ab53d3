#include "ui/file_commands.h"

#include <unistd.h>

#include <climits>
#include <vector>

#include "installer/build_command.h"
#include "installer/sfx_zip_command.h"
#include "model/script_diagnosis.h"
#include "model/script_encoding.h"
#include "model/script_file.h"
#include "os/file.h"
#include "platform/dialog_start_folder.h"
#include "platform/paths.h"
#include "ui/program_identity.h"
#include "ui/script_open_messages.h"

namespace kitforge {

namespace {

constexpr std::string_view kLineBreak = "\r\n";

std::string OwnExecutablePath() {
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string("/proc/self/exe");
}

}  // namespace

EditorEnvironment EditorEnvironment::ForThisProgram() {
    EditorEnvironment environment;
    environment.program_folder = ProgramFolder();
    environment.program_path = OwnExecutablePath();
    return environment;
}

FileCommands::FileCommands(EditorProject& project, UiHost& host, EditorEnvironment environment)
    : project_(project), host_(host), environment_(std::move(environment)), recent_(environment_.recent_files_store) {}

FileDialogOptions FileCommands::SaveDialog1(std::string_view beside) const {
    FileDialogOptions options;
    options.title = "Save Script";
    options.filter = kScriptFilter;
    options.default_extension = "inf";
    options.initial_folder = DialogStartFolder(beside);
    options.folder_must_exist = true;
    return options;
}

FileDialogOptions FileCommands::OpenDialog1() const {
    FileDialogOptions options;
    options.title = "Load Build Script";
    options.filter = kScriptFilter;
    options.default_extension = "inf";
    options.initial_folder = DialogStartFolder(project_.ScriptFileName());
    options.file_must_exist = true;
    options.folder_must_exist = true;
    return options;
}

bool FileCommands::SaveChanges(bool prompt, std::string_view dialog_beside) {
    if (!project_.Changed()) return true;
    if (prompt) {
        const Answer answer =
            host_.ShowMessage(MessageKind::Confirmation, SaveChangesQuestion(project_.ScriptFileName()),
                              kApplicationTitle, Buttons::YesNoCancel);
        if (answer == Answer::No) return true;
        if (answer != Answer::Yes) return false;
    }
    // The texts go back into the encoding the file was read in; a character it cannot hold
    // stops the save before a name is asked for, and the project stays changed.
    const BuildScript script = EncodeScript(project_.Script(), project_.Encoding(), project_.ScriptFileName());
    if (project_.ScriptFileName().empty()) {
        const auto chosen = host_.SaveFile(SaveDialog1(dialog_beside));
        if (!chosen || chosen->empty()) return false;
        project_.SetScriptFileName(*chosen);
    }
    WriteScriptFile(project_.ScriptFileName(), script);
    project_.SetChanged(false);
    project_.SetCaption(EditorProject::CaptionFor(project_.ScriptFileName()));
    recent_.Add(project_.ScriptFileName());
    return true;
}

void FileCommands::ResetProject() {
    project_.SetProjectFields(NewBuildScript());
    project_.SetScriptFileName({});
    project_.SetEncoding(TextEncoding::Utf8);
}

void FileCommands::StartUp() {
    ResetProject();
    project_.SetChanged(false);
}

void FileCommands::New() {
    if (!SaveChanges(true)) return;
    // Nothing of the previous project may ship with the new one: no rows, no file name in
    // the caption.
    ResetProject();
    project_.Rows().Clear();
    project_.SetCaption(std::string(EditorProject::kCaption));
    project_.SetChanged(false);
}

void FileCommands::OpenScript() {
    if (!SaveChanges(true)) return;
    const auto chosen = host_.OpenFiles(OpenDialog1());
    if (!chosen || chosen->empty()) return;
    LoadScript(chosen->front());
}

void FileCommands::OpenPath(const std::string& path) {
    if (SaveChanges(true)) LoadScript(path);
}

void FileCommands::OpenRecent(const std::string& path) {
    if (!FileExists(path)) {
        recent_.Remove(path);
        host_.ShowMessage(MessageKind::Warning, MissingRecentFileMessage(path), kApplicationTitle, Buttons::Ok);
        return;
    }
    OpenPath(path);
}

void FileCommands::LoadScript(const std::string& path) {
    // The file is read before anything is emptied: a file that cannot be read leaves the
    // window as it was, instead of an empty project that a later save would write over it.
    const std::string text = ReadScriptText(path);
    // Any file reads as some project, so a binary opened by mistake would be replaced by a
    // few lines of script at the next save: ask first.
    const ScriptDiagnosis diagnosis = DiagnoseScript(text);
    if (diagnosis.verdict != ScriptVerdict::Script &&
        host_.ShowMessage(MessageKind::Warning, NotAScriptQuestion(path, diagnosis.verdict), kApplicationTitle,
                          Buttons::YesNo, Answer::No) != Answer::Yes) {
        return;
    }
    // A script made on Windows may hold code page 1252: its texts are shown and edited as
    // UTF-8 and written back in 1252, so untouched texts keep their bytes.
    const BuildScript file_script = ParseScriptFile(text);
    const TextEncoding encoding = ScriptEncoding(file_script);
    const BuildScript script = DecodeScript(file_script, encoding);

    project_.SetField(ProjectField::Title, "");
    project_.SetField(ProjectField::Prompt, "");
    project_.SetField(ProjectField::Notes, "");
    project_.SetCompressed(false);
    project_.SetField(ProjectField::Output, "");
    project_.Rows().Clear();
    project_.SetScriptFileName(path);
    project_.SetEncoding(encoding);
    project_.SetProjectFields(script);
    for (const auto& command : script.Commands) project_.Rows().Append(command);
    project_.SetChanged(false);
    project_.SetCaption(EditorProject::CaptionFor(path));
    recent_.Add(path);
    // Lines that became empty rows or lost text would vanish at the next save: say which.
    if (const std::string report = UnreadLinesReport(path, diagnosis); !report.empty()) {
        if (show_project_) show_project_();
        host_.ShowMessage(MessageKind::Warning, report, kApplicationTitle, Buttons::Ok);
    }
}

void FileCommands::Save() { SaveChanges(false); }

void FileCommands::SaveAs() {
    const std::string previous = project_.ScriptFileName();
    project_.SetScriptFileName({});
    project_.SetChanged(true);
    if (!SaveChanges(false, previous)) project_.SetScriptFileName(previous);
}

bool FileCommands::CloseRequested() { return SaveChanges(true); }

void FileCommands::Build() {
    if (!SaveChanges(true)) return;
    RunEditorBuild(host_, project_, environment_.program_folder, environment_.build_dialogs);
}

void FileCommands::CreateSFXZip() { RunCreateSfxZip(host_, project_.ScriptFileName(), environment_.program_folder); }

std::string FileCommands::ReadMePath() const { return environment_.program_folder + std::string(kReadMeName); }

bool FileCommands::ReadMe() { return environment_.open_document && environment_.open_document(ReadMePath()); }

std::string FileCommands::AboutText() {
    version_reader_.SetExeName(environment_.program_path);
    version_reader_.SetLangId(std::string(program_identity::kVersionLanguage));
    version_reader_.ReadVersionInfo();
    std::string text = "Kitforge v" + version_reader_.FileVersion();
    for (const std::string_view line :
         {program_identity::kMakerName, program_identity::kRightsLine1, program_identity::kRightsLine2,
          std::string_view(), program_identity::kWebAddress}) {
        text += kLineBreak;
        text += line;
    }
    return text;
}

void FileCommands::About() { host_.ShowMessage(MessageKind::Information, AboutText(), kApplicationTitle, Buttons::Ok); }

}  // namespace kitforge
