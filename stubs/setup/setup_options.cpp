#include "setup/setup_options.h"

namespace kitforge::setup {

namespace {

constexpr std::string_view kTargetOption = "--target";

void SetTarget(SetupOptions& options, std::string_view value, bool& target_given) {
    if (target_given) throw UsageError("--target is given more than once");
    if (value.empty()) throw UsageError("--target needs a folder");
    options.target = std::string(value);
    target_given = true;
}

}  // namespace

SetupOptions ParseSetupOptions(const std::vector<std::string>& arguments) {
    SetupOptions options;
    bool target_given = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--silent" || argument == "/S" || argument == "/s") {
            options.silent = true;
        } else if (argument == kTargetOption) {
            if (i + 1 >= arguments.size()) throw UsageError("--target needs a folder");
            SetTarget(options, arguments[++i], target_given);
        } else if (argument.compare(0, kTargetOption.size() + 1, std::string(kTargetOption) + "=") == 0) {
            SetTarget(options, std::string_view(argument).substr(kTargetOption.size() + 1), target_given);
        } else if (argument == "--list") {
            options.list = true;
        } else if (argument == "--check") {
            options.check = true;
        } else if (argument == "--user") {
            options.per_user = true;
        } else if (argument == "--force") {
            options.force = true;
        } else if (argument == "--gui") {
            options.gui = true;
        } else if (argument == "--text") {
            options.text = true;
        } else if (argument == "--help" || argument == "-h" || argument == "/?") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else {
            throw UsageError("unknown option '" + argument + "'");
        }
    }
    if (options.list && options.check) throw UsageError("--list and --check cannot be combined");
    if (options.gui && options.text) throw UsageError("--gui and --text cannot be combined");
    return options;
}

std::string SetupHelpText(std::string_view program_name, bool has_window) {
    const std::string name(program_name);
    const std::string window_text =
        has_window ? "Started\n"
                     "without a terminal (from a file manager) it shows a window instead, when a display can\n"
                     "be opened.\n"
                   : "This\n"
                     "build has no window: it always asks on the terminal (--gui warns and changes nothing).\n";
    return "Usage: " + name +
           " [--silent] [--target DIR] [--user] [--force] [--gui | --text]\n"
           "       " +
           name +
           " --list | --check | --help | --version\n"
           "\n"
           "Installs the program this installer holds. Without --silent it shows the title and\n"
           "the prompt and asks whether to INSTALL or EXIT (answer on the terminal or on standard\n"
           "input). Progress goes to standard output, one line per command carried out. " +
           window_text +
           "\n"
           "Options:\n"
           "  --silent, /S    install without asking (never shows a window)\n"
           "  --gui           show the window even when started from a terminal\n"
           "  --text          ask on the terminal (or standard input), never in a window\n"
           "  --target DIR    install into DIR: the folder that %program% stands for\n"
#ifdef _WIN32
           "                  (default %LOCALAPPDATA%\\Programs\\<title>, or\n"
           "                  %ProgramFiles%\\<title> when run as administrator)\n"
           "  --user          use your own folders even when run as administrator\n"
#else
           "                  (default ~/.local/opt/<title>, or /opt/<title> as root)\n"
           "  --user          use your own folders even when run as root\n"
           "  --force         install as root even into a folder that another user owns or\n"
           "                  may write (the installer refuses that otherwise: that user could\n"
           "                  swap a folder for a link and send root's files elsewhere)\n"
#endif
           "  --list          print the title, the prompt, the script and the files held\n"
           "  --check         only verify that the installer is complete and sound, and that\n"
           "                  its contents match the checksum stored when it was built (every\n"
           "                  installation checks that too, before it writes anything)\n"
           "  --help, -h      print this text\n"
           "  --version       print the version of the installer program\n"
           "\n"
           "Folders: %program% the install folder; %wtemp% a temporary folder removed at the end;\n"
#ifdef _WIN32
           "%common% %APPDATA% (administrator: %ProgramData%); %system%\n"
           "%LOCALAPPDATA%\\Programs\\bin (administrator: the Windows system folder).\n"
           "LINK lines make shortcuts (.lnk) on the desktop, in the Start menu or Startup as the\n"
           "script asks (administrator: those of every user). The installation leaves\n"
           "%program%\\uninstall.exe and lists it in Settings > Apps.\n"
#else
           "%common% ~/.local/share (root: /usr/local/share); %system% ~/.local/bin\n"
           "(root: /usr/local/bin). Launchers go to the desktop, the applications menu or\n"
           "autostart as the script asks.\n"
#endif
           "\n"
           "Exit status: 0 installed (or listed, checked), 1 failed (the message names the script\n"
           "line and the reason), 2 bad usage, 3 cancelled by the user.\n";
}

}  // namespace kitforge::setup
