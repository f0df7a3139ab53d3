// kitforge-cli add ZIP FILE... : adds files to a zip archive (or a self-extracting one) through
// the zip component and ZIPDLL.DLL, with a progress bar on a terminal. Ctrl+C stops the Add and
// leaves the archive exactly as it was.

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <limits>

#include "cli/add_password.h"
#include "cli/commands.h"
#include "installer/build_compressed_group.h"
#include "os/native_path.h"
#include "platform/ascii_case.h"
#include "os/errors.h"
#include "os/file.h"
#include "platform/paths.h"
#include "zip/zip_master.h"

namespace kitforge::cli {

namespace {

struct AddCommandArguments {
    std::string archive;
    std::vector<std::string> files;
    bool recurse = false;
    bool dir_names = false;
    bool separate_dirs = false;
    bool hidden = false;
    bool move = false;
    bool update = false;
    bool freshen = false;
    bool zip_time = false;
    bool encrypt = false;
    bool quiet = false;
    std::string password;
    std::string password_file;
    PasswordSource password_source;
    std::string temp_dir;
    int level = 9;
    bool span = false;
    int max_volume = 0;
    int keep_free = 0;
};

std::atomic<bool> interrupted{false};

extern "C" void OnInterrupt(int) { interrupted = true; }

// Restores the previous Ctrl+C handling when the command ends.
class InterruptGuard {
public:
    InterruptGuard() { previous_ = std::signal(SIGINT, OnInterrupt); }
    ~InterruptGuard() { std::signal(SIGINT, previous_); }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    void (*previous_)(int) = SIG_DFL;
};

std::string FromCurrentFolder(const std::string& path) {
    if (path.empty() || IsAbsolutePath(path)) return path;
    return std::filesystem::current_path().string() + "/" + path;
}

bool HasExeExtension(const std::string& path) {
    const std::string name = FileNamePart(path);
    const auto dot = name.rfind('.');
    return dot != std::string::npos && EqualIgnoringAsciiCase(std::string_view(name).substr(dot), ".exe");
}

// One line on the terminal, redrawn at most ten times a second.
class ProgressBar {
public:
    explicit ProgressBar(bool enabled) : enabled_(enabled) {}

    void Update(kitforge::ProgressType type, const std::string& name, std::int64_t size) {
        switch (type) {
            case ProgressByteTotal: total_ = static_cast<std::uint64_t>(size); break;
            case ProgressFileStart: name_ = name; break;
            case ProgressAdvance: done_ += static_cast<std::uint64_t>(size); break;
            case ProgressBatchEnd: Finish(); return;
            default: break;
        }
        Draw(false);
    }

    void Finish() {
        if (!enabled_ || !drawn_) return;
        Draw(true);
        std::fputc('\n', stderr);
        drawn_ = false;
    }

private:
    void Draw(bool force) {
        if (!enabled_) return;
        auto now = std::chrono::steady_clock::now();
        if (!force && drawn_ && now - last_ < std::chrono::milliseconds(100)) return;
        last_ = now;
        drawn_ = true;
        constexpr int kWidth = 30;
        int percent = total_ > 0 ? static_cast<int>(100 * std::min(done_, total_) / total_) : 0;
        int filled = percent * kWidth / 100;
        std::string shown = name_.size() > 40 ? "..." + name_.substr(name_.size() - 37) : name_;
        std::fprintf(stderr, "\r[%s%s] %3d%% %-40s", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                     std::string(static_cast<std::size_t>(kWidth - filled), ' ').c_str(), percent, shown.c_str());
        std::fflush(stderr);
    }

    bool enabled_;
    bool drawn_ = false;
    std::uint64_t total_ = 0, done_ = 0;
    std::string name_;
    std::chrono::steady_clock::time_point last_{};
};

AddOpts OptionsOf(const AddCommandArguments& a) {
    AddOpts options;
    if (a.dir_names) options.Include(AddDirNames);
    if (a.recurse) options.Include(AddRecurseDirs);
    if (a.move) options.Include(AddMove);
    if (a.freshen) options.Include(AddFreshen);
    if (a.update) options.Include(AddUpdate);
    if (a.zip_time) options.Include(AddZipTime);
    if (a.hidden) options.Include(AddHiddenFiles);
    if (a.encrypt) options.Include(AddEncrypt);
    if (a.separate_dirs) options.Include(AddSeparateDirs);
    if (a.span) options.Include(AddDiskSpan);
    return options;
}

void RunAdd(const AddCommandArguments& arguments, CommandContext& context) {
    const std::string archive = FromCurrentFolder(arguments.archive);
    const std::string password = arguments.encrypt ? AddPassword(arguments.password_source) : std::string();
    const bool new_executable = HasExeExtension(archive) && !FileExists(archive);
    TZipMaster zip(context.host);
    ProgressBar bar(!arguments.quiet && isatty(STDERR_FILENO));
    int problems = 0;
    zip.OnProgress = [&bar](TZipMaster& sender, ProgressType type, const std::string& name, std::int64_t size) {
        if (interrupted) sender.SetCancelRequested(true);
        bar.Update(type, name, size);
    };
    // The component's own messages are shown by the host already (error code 0); the library's
    // reports about single files arrive only here.
    zip.OnMessage = [&bar, &problems](TZipMaster&, int code, const std::string& text) {
        if (code == 0) return;
        bar.Finish();
        std::cerr << "kitforge-cli: " << NativePath(text) << '\n';
        ++problems;
    };
    zip.SetDLLDirectory(WithoutTrailingSeparator(ProgramFolder()));
    zip.SetAddCompLevel(arguments.level);
    zip.SetAddOptions(OptionsOf(arguments));
    zip.SetPassword(password);
    // A new .exe gets the stub installed beside kitforge-cli, as the other commands use; the
    // component's own default name, ZipSFX.bin, need not match it letter for letter.
    zip.SetSFXPath(ProgramSelfExtractorStub(ProgramFolder()));
    zip.SetMaxVolumeSize(arguments.max_volume);
    zip.SetKeepFreeOnDisk1(arguments.keep_free);
    zip.SetTempDir(arguments.temp_dir.empty() ? std::string() : FromCurrentFolder(arguments.temp_dir));
    zip.SetZipFilename(archive);
    // Specifications stay as typed: with -D, relative ones give relative stored names.
    for (const std::string& file : arguments.files) zip.FSpecArgs().push_back(file);

    InterruptGuard guard;
    interrupted = false;
    zip.Add();
    bar.Finish();
    if (zip.AddedCount() <= 0) {
        if (interrupted) throw Error("Stopped; " + DisplayPath(archive) + " was left as it was");
        if (new_executable && !arguments.span && !FileExists(archive)) {
            throw Error("Cannot make the self-extracting archive " + DisplayPath(archive));
        }
        throw Error("Nothing was added to " + DisplayPath(archive));
    }
    std::cout << DisplayPath(archive) << ": " << zip.AddedCount() << (zip.AddedCount() == 1 ? " entry" : " entries")
              << " added\n";
    context.status = kSuccess;
}

}  // namespace

void AddAddCommand(CLI::App& app, CommandContext& context) {
    auto arguments = std::make_shared<AddCommandArguments>();
    auto* add = app.add_subcommand(
        "add",
        "Add files to a zip archive through ZIPDLL.DLL, the zip library beside kitforge-cli. A missing archive is "
        "created; an archive named .exe that does not exist yet becomes a self-extracting archive. A file whose "
        "stored name is already in the archive replaces that entry. The new archive is written beside the old one "
        "and put in its place only when complete, so a failure or Ctrl+C leaves the old archive as it was. Files "
        "that cannot be added are reported on stderr and skipped. On success the archive and the number of "
        "entries added are printed on stdout.");
    add->add_option("ZIP", arguments->archive, "the archive to create or add to")->required();
    add->add_option("FILE", arguments->files, "files, folders (with -r) or patterns with * and ? in their last part")
        ->required();
    add->add_flag("-r,--recurse", arguments->recurse, "enter folders, and match patterns in every folder below");
    add->add_flag("-D,--dir-names", arguments->dir_names, "store folder names (default: the file name only)");
    add->add_flag("--dir-entries", arguments->separate_dirs, "store an entry for each folder (with -D)");
    add->add_flag("--hidden", arguments->hidden, "take hidden files (names beginning with .) in folders and patterns");
    for (int level = 0; level <= 9; ++level) {
        add->add_flag_callback(
            "-" + std::to_string(level), [arguments, level] { arguments->level = level; },
            level == 0   ? "store without compression"
            : level == 1 ? "compress fastest"
            : level == 9 ? "compress best (default)"
                         : "compression level " + std::to_string(level));
    }
    add->add_flag("-m,--move", arguments->move, "delete the files once the archive is safely written");
    auto* update = add->add_flag("-u,--update", arguments->update, "add new files and replace older entries only");
    auto* freshen = add->add_flag("-f,--freshen", arguments->freshen, "replace older entries only; add nothing new");
    update->excludes(freshen);
    auto* encrypt = add->add_flag("-e,--encrypt", arguments->encrypt,
                                  "encrypt with the zip format's traditional encryption (weak: keeps out the curious, "
                                  "not an attacker)");
    auto* password = add->add_option("--password", arguments->password,
                                     "the password for -e (at most 80 characters); other users can see it in the "
                                     "process list, so prefer --password-file or the question on a terminal")
                         ->type_name("PASSWORD");
    auto* password_file = add->add_option("--password-file", arguments->password_file,
                                          "read the password for -e from the first line of FILE (- for standard "
                                          "input); without either option -e asks for it twice on a terminal")
                              ->type_name("FILE");
    password->needs(encrypt);
    password_file->needs(encrypt);
    password->excludes(password_file);
    add->add_option("--temp", arguments->temp_dir,
                    "folder for the archive while it is written (default: beside it); with --span the whole "
                    "archive is written there first and then copied onto the volumes (default: $TMPDIR, else /tmp)");
    add->add_flag("-q,--quiet", arguments->quiet, "no progress bar");
    auto* span = add->add_flag("--span", arguments->span,
                               "write a new multi-volume archive: numbered volumes beside ZIP (arch.zip gives "
                               "arch001.zip, arch002.zip, ...), or one disk each, labelled PKBACK# 001, ..., on a "
                               "removable drive; cannot be combined with -u or -f");
    add->add_option("--max-volume", arguments->max_volume,
                    "with --span: the most bytes per volume (default: the free space)")
        ->check(CLI::Range(1, std::numeric_limits<int>::max()))
        ->needs(span);
    add->add_option("--keep-free", arguments->keep_free, "with --span: bytes left free on the first volume")
        ->check(CLI::Range(0, std::numeric_limits<int>::max()))
        ->needs(span);
    add->callback([arguments, password, password_file, &context] {
        if (password->count() > 0) arguments->password_source.text = arguments->password;
        if (password_file->count() > 0) arguments->password_source.file = arguments->password_file;
        RunAdd(*arguments, context);
    });
}

}  // namespace kitforge::cli
