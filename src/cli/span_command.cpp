// kitforge-cli span ARCHIVE OUTPUT: copies an existing zip archive onto the volumes of a
// multi-volume set through the zip component. On a fixed drive the volumes are numbered files
// beside OUTPUT; on a removable drive each is a disk, asked for on the terminal.

#include <unistd.h>

#include <iostream>
#include <limits>

#include "cli/commands.h"
#include "os/errors.h"
#include "os/file.h"
#include "os/native_path.h"
#include "zip/zip_master.h"

namespace kitforge::cli {

namespace {

struct SpanArguments {
    std::string archive;
    std::string output;
    int max_volume = 0;
    int keep_free = 0;
    int min_volume = 65536;
    bool overwrite = false;
};

// The console host, except that a disk prompt waits for the user at the terminal: Enter once
// the disk is in, "q" to stop. Without a terminal nobody can swap disks, so it stops.
class DiskPromptHost : public UiHost {
public:
    explicit DiskPromptHost(ConsoleUiHost& console) : console_(console) {}

    Answer ShowMessage(MessageKind kind, std::string_view text, std::string_view caption, Buttons buttons,
                       std::optional<Answer> default_button = std::nullopt) override {
        if (buttons != Buttons::OkCancel) return console_.ShowMessage(kind, text, caption, buttons, default_button);
        std::string shown(text);
        for (char& c : shown) {
            if (c == '\r') c = ' ';
        }
        std::cerr << shown << '\n';
        if (!isatty(STDIN_FILENO)) return Answer::Cancel;
        std::cerr << "Press Enter when the disk is in the drive, or q and Enter to stop: " << std::flush;
        std::string line;
        if (!std::getline(std::cin, line) || line == "q" || line == "Q") return Answer::Cancel;
        return Answer::Ok;
    }
    std::optional<std::vector<std::string>> OpenFiles(const FileDialogOptions& o) override {
        return console_.OpenFiles(o);
    }
    std::optional<std::string> SaveFile(const FileDialogOptions& o) override { return console_.SaveFile(o); }
    std::optional<std::string> InputBox(std::string_view c, std::string_view p, std::string_view i) override {
        return console_.InputBox(c, p, i);
    }
    std::optional<std::string> PickFolder(std::string_view c, std::string_view i) override {
        return console_.PickFolder(c, i);
    }
    void ProcessMessages() override { console_.ProcessMessages(); }

protected:
    void SetBusy(bool) override {}

private:
    ConsoleUiHost& console_;
};

void RunSpan(const SpanArguments& arguments, CommandContext& context) {
    // Every volume would be smaller than the least a volume may hold: each would be refused as
    // if the disk were full.
    if (arguments.max_volume > 0 && arguments.max_volume < arguments.min_volume) {
        throw CLI::ValidationError("--max-volume", "--max-volume " + std::to_string(arguments.max_volume) +
                                                       " is below --min-volume " +
                                                       std::to_string(arguments.min_volume) +
                                                       ": no volume could be written; lower --min-volume or raise "
                                                       "--max-volume");
    }
    if (!FileExists(arguments.archive)) throw ReadError("open", arguments.archive, ENOENT);
    File::OpenRead(arguments.archive).Close();  // an unreadable archive fails here, with the reason
    if (arguments.overwrite) context.host.standing_answer = Answer::Yes;
    // The disk prompts wait on the terminal; so does the overwrite question, whose Enter is No.
    context.host.ask_on_terminal = true;
    DiskPromptHost host(context.host);
    TZipMaster zip(host);
    zip.SetMaxVolumeSize(arguments.max_volume);
    zip.SetKeepFreeOnDisk1(arguments.keep_free);
    zip.SetMinFreeVolumeSize(arguments.min_volume);
    int volumes = 0;
    zip.OnProgress = [&volumes](TZipMaster& sender, ProgressType type, const std::string&, std::int64_t) {
        if (type == ProgressAdvance) volumes = sender.CurrentDisk() + 1;
    };
    if (zip.SpanArchive(arguments.archive, arguments.output) != span_result::kDone) {
        throw Error("the multi-volume archive " + DisplayPath(arguments.output) +
                    " was not completed; volumes already written "
                    "were left as they are");
    }
    std::cout << DisplayPath(arguments.output) << ": " << volumes << (volumes == 1 ? " volume" : " volumes")
              << " written\n";
    context.status = kSuccess;
}

}  // namespace

void AddSpanCommand(CLI::App& app, CommandContext& context) {
    auto arguments = std::make_shared<SpanArguments>();
    auto* span = app.add_subcommand(
        "span",
        "Copy a zip archive onto the volumes of a multi-volume set. On a fixed or network drive the volumes are "
        "files beside OUTPUT with the volume number in front of the extension (arch.zip gives arch001.zip, "
        "arch002.zip, ...). On a removable drive every volume is a disk of its own, named OUTPUT and labelled "
        "PKBACK# 001, PKBACK# 002, ...; each disk is asked for on the terminal. Local headers, central records "
        "and the end record are never split between volumes; only entry data is. An existing volume file is "
        "replaced with --overwrite; otherwise the question waits on the terminal (y replaces it, Enter or n "
        "keeps it), and without a terminal nothing is replaced. Prints the number of volumes written.");
    span->add_option("ARCHIVE", arguments->archive, "the zip archive to copy (it is not changed)")->required();
    span->add_option("OUTPUT", arguments->output, "the name of the set, such as /backup/arch.zip")->required();
    span->add_option("--max-volume", arguments->max_volume,
                     "the most bytes per volume, at least --min-volume (default: the free space)")
        ->check(CLI::Range(1, std::numeric_limits<int>::max()));
    span->add_option("--keep-free", arguments->keep_free, "bytes left free on the first volume (default 0)")
        ->check(CLI::Range(0, std::numeric_limits<int>::max()));
    span->add_option("--min-volume", arguments->min_volume,
                     "a volume with less room than this is refused (default 65536)")
        ->check(CLI::Range(1, std::numeric_limits<int>::max()));
    span->add_flag("--overwrite", arguments->overwrite, "replace existing volume files without asking");
    span->callback([arguments, &context] { RunSpan(*arguments, context); });
}

}  // namespace kitforge::cli
