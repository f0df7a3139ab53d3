#include "setup/script_interpreter.h"

#include <limits.h>
#include <sys/stat.h>

#include <cerrno>
#include <functional>

#include "os/errors.h"
#include "os/file_names.h"
#include "os/native_path.h"
#include "platform/file_copy.h"
#include "setup/desktop_launcher.h"
#include "setup/launcher_location.h"
#include "setup/program_runner.h"
#include "setup/safe_extraction.h"
#include "setup/setup_cancel.h"
#include "setup/setup_errors.h"
#include "setup/windows_shortcut.h"
#include "setup/written_item.h"

namespace kitforge::setup {

namespace {

#ifdef NAME_MAX
constexpr std::size_t kMaxNameShown = NAME_MAX;
#else
constexpr std::size_t kMaxNameShown = 255;
#endif

#ifdef _WIN32
constexpr const char* kLauncherWord = "shortcut";
#else
constexpr const char* kLauncherWord = "launcher";
#endif

constexpr std::string_view kArchivePrefix = "!install";
constexpr std::string_view kArchiveSuffix = ".exe";
// Enough to tell a script ("#!") or an ELF program from other contents.
constexpr std::size_t kHeadSize = 4;

[[noreturn]] void Fail(const ScriptStep& step, std::string_view reason) {
    throw ScriptError(step.line_number, step.line, reason);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const auto& word : words) {
        // The program is a path; the arguments are the script's own words, shown as written.
        const std::string shown = text.empty() ? DisplayPath(word) : word;
        if (!text.empty()) text += ' ';
        text += shown.find(' ') == std::string::npos && !shown.empty() ? shown : "\"" + shown + "\"";
    }
    return Printable(text);
}

// A copy that gives way to Ctrl+C between chunks, and reports each chunk to `progress` when
// given one.
CopyOptions CancellableCopy(std::function<void(std::uint64_t)> progress = {}) {
    CopyOptions options;
    options.kernel_chunk = 1u << 20;
    options.between_chunks = [progress = std::move(progress)](std::uint64_t copied) {
        ThrowIfCancelled();
        if (progress) progress(copied);
    };
    return options;
}

std::size_t CountUntilQuit(const std::vector<ScriptStep>& steps) {
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (steps[i].word == CommandWord::Quit) return i + 1;
    }
    return steps.size();
}

}  // namespace

bool IsInstallArchiveName(const std::string& name) {
    if (name.size() <= kArchivePrefix.size() + kArchiveSuffix.size()) return false;
    if (name.compare(0, kArchivePrefix.size(), kArchivePrefix) != 0) return false;
    if (name.compare(name.size() - kArchiveSuffix.size(), kArchiveSuffix.size(), kArchiveSuffix) != 0) return false;
    for (std::size_t i = kArchivePrefix.size(); i < name.size() - kArchiveSuffix.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return false;
    }
    return true;
}

ScriptInterpreter::ScriptInterpreter(const payload::Payload& payload, File& installer, InstallSettings settings,
                                     ProgressSink& progress)
    : payload_(payload), installer_(installer), settings_(std::move(settings)), progress_(progress) {}

void ScriptInterpreter::Run(const std::vector<ScriptStep>& steps) {
    step_count_ = CountUntilQuit(steps);
    bytes_total_ = 0;
    bytes_done_ = 0;
    for (std::size_t i = 0; i < step_count_; ++i) {
        if (steps[i].word == CommandWord::Extract) bytes_total_ += payload_.files.at(steps[i].file_index).size;
    }
    for (std::size_t i = 0; i < step_count_; ++i) {
        ThrowIfCancelled();
        step_number_ = i + 1;
        const ScriptStep& step = steps[i];
        try {
            Carry(step);
        } catch (const ScriptError&) {
            throw;
        } catch (const SetupCancelled&) {
            throw;
        } catch (const Error& e) {
            Fail(step, e.what());
        }
    }
}

std::vector<std::string> ScriptInterpreter::WrittenFiles() const { return written_; }

void ScriptInterpreter::Carry(const ScriptStep& step) {
    switch (step.word) {
        case CommandWord::Extract: Extract(step); break;
        case CommandWord::Execute: Execute(step); break;
        case CommandWord::Run: Start(step); break;
        case CommandWord::Copy: Copy(step); break;
        case CommandWord::Link: Link(step); break;
        case CommandWord::Cleanup: Cleanup(step); break;
        case CommandWord::Quit: Announce("Quit: the script ends here"); break;
        case CommandWord::Unknown:
            progress_.Warning("line " + std::to_string(step.line_number) + " (" + Printable(step.line) +
                              "): not a command this installer knows; skipped");
            break;
    }
}

void ScriptInterpreter::Announce(const std::string& text) { progress_.Step(step_number_, step_count_, text); }

void ScriptInterpreter::Remember(const std::string& folder, const std::string& name, const FileIdentity& file) {
    const std::string path = folder == "/" ? "/" + name : folder + "/" + name;
    written_.push_back(path);
    written_identity_[path] = file;
    if (const auto stamp = StampOf(folder)) placed_.push_back({stamp->identity, folder, name});
}

InstallFolder ScriptInterpreter::OpenTarget(const std::string& folder, const std::vector<std::string>& anchors) {
    std::vector<std::string> made;
    // A folder made before a failure is this run's all the same.
    auto keep_made = [&] {
        for (const auto& path : made) {
            if (!InRunFolder(path)) recorded_.push_back({formats::InstallItemKind::Folder, path, 0, {}});
        }
    };
    try {
        InstallFolder open = OpenInstallFolder(folder, anchors, true, &made);
        keep_made();
        return open;
    } catch (...) {
        keep_made();
        throw;
    }
}

void ScriptInterpreter::Record(const InstallFolder& folder, const std::string& name, const FileIdentity& identity,
                               formats::InstallItemKind kind) {
    if (InRunFolder(folder.path)) return;
    formats::InstallItem item = WrittenItem(folder, name, identity, kind);
    Forget(item.path);
    recorded_.push_back(std::move(item));
}

void ScriptInterpreter::Forget(const std::string& path) {
    std::erase_if(recorded_, [&](const formats::InstallItem& item) {
        return item.path == path && item.kind != formats::InstallItemKind::Folder;
    });
}

bool ScriptInterpreter::InRunFolder(const std::string& path) const {
    const std::string& wtemp = settings_.folders.wtemp;
    if (wtemp.empty() || path.compare(0, wtemp.size(), wtemp) != 0) return false;
    return path.size() == wtemp.size() || path[wtemp.size()] == '/';
}

std::vector<std::string> ScriptInterpreter::Anchors() const {
    return {settings_.folders.program, settings_.folders.wtemp, settings_.folders.common, settings_.folders.system,
            settings_.environment.home};
}

File ScriptInterpreter::WrittenProgram(const std::string& path) const {
    const auto written = written_identity_.find(path);
    if (written == written_identity_.end()) return File();
    return OpenWrittenProgram(path, written->second, Anchors());
}

std::vector<std::string> ScriptInterpreter::MachineWords(const std::vector<std::string>& words) const {
    std::vector<std::string> machine;
    machine.reserve(words.size());
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string expanded = ExpandFolderMacros(words[i], settings_.folders);
        const bool is_path =
            i == 0 ? expanded.find_first_of("/\\") != std::string::npos : StartsWithFolderMacro(words[i]);
        machine.push_back(is_path ? ResolveScriptPath(words[i], settings_.folders) : expanded);
    }
    return machine;
}

void ScriptInterpreter::Extract(const ScriptStep& step) {
    const payload::PayloadFile& record = payload_.files.at(step.file_index);
    const std::string folder = ResolveScriptPath(step.folder, settings_.folders);
    Announce("Extracting " + Printable(record.name, kMaxNameShown) + " to " + PrintablePath(folder));

    std::string head(static_cast<std::size_t>(std::min<std::uint64_t>(kHeadSize, record.size)), '\0');
    if (installer_.Seek(static_cast<std::int64_t>(record.offset)) < 0) {
        throw ReadError("read", installer_.Path(), installer_.LastError());
    }
    installer_.ReadExact(head.data(), head.size());

    const InstallFolder open = OpenTarget(folder, Anchors());
    const FileIdentity written = WriteFileThroughTemporary(open, record.name, ExtractedFileMode(head), [&](File& out) {
        if (installer_.Seek(static_cast<std::int64_t>(record.offset)) < 0) {
            throw ReadError("read", installer_.Path(), installer_.LastError());
        }
        CopyExactly(installer_, out, record.size, CancellableCopy([&](std::uint64_t copied) {
                        progress_.Bytes(bytes_done_ + copied, bytes_total_, record.name);
                    }));
    });
    bytes_done_ += record.size;
    progress_.Bytes(bytes_done_, bytes_total_, record.name);
    Remember(folder, record.name, written);
    Record(open, record.name, written, formats::InstallItemKind::File);
}

void ScriptInterpreter::Execute(const ScriptStep& step) {
    const std::vector<std::string> words = MachineWords(step.words);
    Announce("Executing " + Joined(words));
    const File program = WrittenProgram(words.front());
    const ProgramOutcome outcome = RunAndWait(words, FolderOf(words.front()), program.Descriptor());
    ThrowIfCancelled();
    if (!outcome.Succeeded()) Fail(step, PrintablePath(words.front()) + " " + outcome.Describe());
}

void ScriptInterpreter::Start(const ScriptStep& step) {
    const std::vector<std::string> words = MachineWords(step.words);
    Announce("Starting " + Joined(words));
    const File program = WrittenProgram(words.front());
    const int error = StartWithoutWaiting(words, FolderOf(words.front()), program.Descriptor());
    if (error != 0) Fail(step, PrintablePath(words.front()) + " cannot be started: " + SystemErrorText(error));
}

void ScriptInterpreter::Copy(const ScriptStep& step) {
    const std::string source = ResolveScriptPath(step.source, settings_.folders);
    const std::string folder = ResolveScriptPath(step.folder, settings_.folders);
    const std::string name = source.substr(source.rfind('/') + 1);
    Announce("Copying " + PrintablePath(source) + " to " + PrintablePath(folder));
    if (name.empty() || name == "." || name == "..")
        Fail(step, "the source " + PrintablePath(source) + " names no file");

    File from = File::OpenRead(source);
    struct stat st {};
    const unsigned mode = ::fstat(from.Descriptor(), &st) == 0 ? (st.st_mode & 0777) : 0644;
    const InstallFolder open = OpenTarget(folder, Anchors());
    const FileIdentity written = WriteFileThroughTemporary(open, name, mode, [&](File& out) {
        const CopyOutcome outcome = CopyBytes(from, out, std::nullopt, CancellableCopy());
        if (outcome.read_error != 0) throw ReadError("read", source, outcome.read_error);
        if (outcome.write_error != 0) throw InOutError("write", folder + "/" + name, outcome.write_error);
    });
    Remember(folder, name, written);
    Record(open, name, written, formats::InstallItemKind::File);
}

void ScriptInterpreter::Link(const ScriptStep& step) {
    const LauncherLocation location =
        ResolveLauncherLocation(step.location, settings_.folders, settings_.environment, settings_.scope);
    const std::string line = "line " + std::to_string(step.line_number) + " (" + Printable(step.line) + "): ";
    if (location.kind == LauncherLocation::Kind::UnknownToken) {
        progress_.Warning(line + "the folder token " + Printable(location.token) + " is unknown; the " + kLauncherWord +
                          " is skipped");
        return;
    }
    if (location.kind == LauncherLocation::Kind::NoCounterpart) {
        progress_.Warning(line + "the folder " + Printable(location.token) + " has no place for " + kLauncherWord +
                          "s on this system; the " + kLauncherWord + " is skipped");
        return;
    }
    Launcher launcher;
    launcher.name = LauncherDisplayName(location.name);
    if (launcher.name.empty()) Fail(step, std::string("the ") + kLauncherWord + " has no name");
    launcher.words = MachineWords(step.words);
    launcher.working_folder = FolderOf(launcher.words.front());
#ifdef _WIN32
    const std::string file_name = ShortcutFileName(location.name);
#else
    const std::string file_name = LauncherFileName(location.name);
#endif
    Announce(std::string("Creating the ") + kLauncherWord + " " + PrintablePath(location.folder + "/" + file_name));

    const std::string text = LauncherFileText(launcher, file_name);
    // The folder a token stands for is the user's or the system's choice (a desktop folder
    // may well be a link); only the folders below it are entered without following links.
    std::vector<std::string> anchors = Anchors();
    anchors.push_back(location.base);
    const InstallFolder open = OpenTarget(location.folder, anchors);
    // Desktops start only launchers marked executable, so every launcher is.
    const FileIdentity written =
        WriteFileThroughTemporary(open, file_name, 0755, [&](File& out) { out.WriteAll(text); });
    Remember(location.folder, file_name, written);
    Record(open, file_name, written, formats::InstallItemKind::Launcher);
}

std::string ScriptInterpreter::LauncherFileText(const Launcher& launcher, const std::string& file_name) const {
#ifdef _WIN32
    // The shell saves a link only under a name of its own choosing: it is made in this run's
    // temporary folder, and its bytes are put in place like those of any installed file.
    Shortcut shortcut;
    shortcut.target = launcher.words.front();
    shortcut.arguments = WindowsCommandLine(std::vector<std::string>(launcher.words.begin() + 1, launcher.words.end()));
    shortcut.working_folder = launcher.working_folder;
    shortcut.description = launcher.name;
    const std::string& scratch =
        settings_.folders.wtemp.empty() ? settings_.environment.temp_root : settings_.folders.wtemp;
    const std::string made = scratch + "/" + file_name;
    RemoveFile(made);
    SaveShortcut(shortcut, made);
    std::string text;
    {
        File file = File::OpenRead(made);
        const std::int64_t size = file.Size();
        if (size < 0) throw ReadError("read", made, file.LastError());
        text.resize(static_cast<std::size_t>(size));
        file.ReadExact(text.data(), text.size());
    }
    RemoveFile(made);
    return text;
#else
    (void)file_name;
    return DesktopEntryText(launcher);
#endif
}

void ScriptInterpreter::Cleanup(const ScriptStep& step) {
    const std::string folder = ResolveScriptPath(step.folder, settings_.folders);
    Announce("Cleaning up " + PrintablePath(folder));
    const auto stamp = StampOf(folder);
    if (!stamp) return;
    for (auto it = placed_.begin(); it != placed_.end();) {
        const bool ours = it->folder_identity == stamp->identity && IsInstallArchiveName(it->name);
        if (!ours) {
            ++it;
            continue;
        }
        const std::string path = it->folder + "/" + it->name;
        const int error = RemoveInstalledFile(it->folder, it->name, Anchors());
        if (error != 0 && error != ENOENT) {
            progress_.Warning("cannot remove " + PrintablePath(path) + ": " + SystemErrorText(error));
        } else {
            Forget(path);
        }
        it = placed_.erase(it);
    }
}

}  // namespace kitforge::setup
