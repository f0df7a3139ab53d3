#include "zipsfx/sfx_options.h"

#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

namespace {

[[noreturn]] void Usage(const std::string& text) { throw SfxError(text, FailureKind::Usage); }

void SetAction(SfxOptions& options, SfxAction action, const std::string& argument) {
    if (options.action != SfxAction::Extract && options.action != action) {
        Usage(argument + " cannot be combined with another of -l and -t");
    }
    options.action = action;
}

void SetOverwrite(SfxOptions& options, OverwriteMode mode) {
    if (options.overwrite && *options.overwrite != mode) Usage("-o and -n cannot be combined");
    options.overwrite = mode;
}

}  // namespace

SfxOptions ParseSfxOptions(const std::vector<std::string>& arguments) {
    SfxOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h" || argument == "-?") {
            options.action = SfxAction::Help;
            return options;
        }
        if (argument == "--silent" || argument == "-s" || argument == "-q") {
            options.silent = true;
        } else if (argument == "--gui") {
            options.gui = true;
        } else if (argument == "--text") {
            options.text = true;
        } else if (argument == "-l" || argument == "--list") {
            SetAction(options, SfxAction::List, argument);
        } else if (argument == "-t" || argument == "--test") {
            SetAction(options, SfxAction::Test, argument);
        } else if (argument == "-o") {
            SetOverwrite(options, OverwriteMode::Always);
        } else if (argument == "-n") {
            SetOverwrite(options, OverwriteMode::Never);
        } else if (argument == "-d" || argument == "--dir") {
            if (i + 1 == arguments.size()) Usage(argument + " needs a folder");
            if (options.folder) Usage("the target folder is given twice");
            options.folder = arguments[++i];
            if (options.folder->empty()) Usage(argument + " needs a folder");
        } else if (argument.rfind("-d", 0) == 0 && argument.size() > 2 && argument[2] != '-') {
            if (options.folder) Usage("the target folder is given twice");
            options.folder = argument.substr(2);
        } else if (argument == "--password-file") {
            if (i + 1 == arguments.size() || arguments[i + 1].empty()) Usage(argument + " needs a file");
            if (options.password_file) Usage("the password file is given twice");
            options.password_file = arguments[++i];
        } else if (argument.rfind("--password-file=", 0) == 0 && argument.size() > 16) {
            if (options.password_file) Usage("the password file is given twice");
            options.password_file = argument.substr(16);
        } else if (argument.rfind("--dir=", 0) == 0 && argument.size() > 6) {
            if (options.folder) Usage("the target folder is given twice");
            options.folder = argument.substr(6);
        } else {
            Usage("unknown argument \"" + argument + "\" (--help lists the options)");
        }
    }
    if (options.gui && options.text) Usage("--gui and --text cannot be combined");
    return options;
}

std::string SfxUsage(const std::string& program, bool has_window) {
    const std::string window_text =
        has_window ? "Started without a terminal (from a file manager, say), it asks in a window when a\n"
                     "display can be opened; --silent, -l and -t never show one.\n"
                   : "This build has no window: it always asks on the terminal (--gui and --text are\n"
                     "accepted and change nothing).\n";
    return "Usage: " + program +
           " [OPTIONS]\n"
           "A self-extracting zip archive: run it to unpack the files it holds.\n"
           "\n"
           "  -d DIR, --dir DIR   extract into DIR (made when missing) instead of the archive's\n"
           "                      default folder or, without one, the folder this file is in\n"
           "  -l, --list          show what running this file would do (the folder it\n"
           "                      extracts to, the command it runs afterwards, whether it\n"
           "                      replaces existing files), list the files, and stop\n"
           "  -t, --test          check every file's data and CRC without writing anything\n"
           "  -o                  overwrite existing files without asking\n"
           "  -n                  never overwrite existing files\n"
           "  -s, --silent        ask nothing and print only failures; existing files are kept\n"
           "                      unless the archive or -o says to overwrite them; encrypted\n"
           "                      files need --password-file\n"
           "  --password-file FILE\n"
           "                      the password of encrypted files: the first line of FILE\n"
           "                      (- for standard input);\n"
           "                      without it, the password is asked for (3 tries per file)\n"
           "  --gui               ask in a window even when started from a terminal\n"
           "  --text              ask on the terminal (or standard input), never in a window\n"
           "  -h, --help          show this text\n"
           "\n" +
           window_text +
           "\n"
           "Files are unpacked under temporary names and renamed into place only when every\n"
           "file has unpacked with a correct CRC, so a damaged archive replaces nothing.\n"
           "Names that are absolute or climb out of the target folder are refused.\n"
           "Files stored or deflated, plain or with traditional zip encryption, are extracted;\n"
           "other methods (bzip2, LZMA, AES encryption, ...) are refused by name.\n"
           "\n"
           "Exit status: 0 success, 1 damaged archive or failed extraction, 2 bad usage,\n"
           "3 cancelled, 4 not enough free space, 5 the command run after extracting failed.";
}

}  // namespace kitforge::zipsfx
