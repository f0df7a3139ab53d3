// setup.ex_: the installer stub. An installer is this program followed by a payload; the
// program reads the payload from the end of its own file and carries out the script.

#ifdef _WIN32
#include "os/win32_api.h"
#else
#include <unistd.h>
#endif

#include <climits>
#include <string>
#include <vector>

#include "platform/program_arguments.h"
#include "setup/setup_run.h"
#ifdef KITFORGE_HAS_WINDOW
#include "setup/window/setup_window.h"
#endif
#if defined(_WIN32) && defined(KITFORGE_HAS_WINDOW)
#include "window/parent_console.h"
#endif

namespace {

// The file this program runs from, by its real name so that messages show it.
#ifdef _WIN32
std::string OwnFile() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return "setup.exe";
        if (n < buffer.size()) return kitforge::Utf8Text(std::wstring_view(buffer.data(), n));
        buffer.resize(buffer.size() * 2);
    }
}
#else
std::string OwnFile() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string("/proc/self/exe");
}
#endif

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32) && defined(KITFORGE_HAS_WINDOW)
    // A window program has no console of its own. Started from one, standard input becomes
    // that console and the terminal dialogue runs there, as on Linux; started from the Explorer
    // there is none, standard input is no terminal, and the window is shown.
    kitforge::window::AttachParentConsole();
#endif
    const std::vector<std::string> arguments = kitforge::ProgramArguments(argc, argv);
#ifdef KITFORGE_HAS_WINDOW
    return kitforge::setup::RunSetup(arguments, OwnFile(), kitforge::setup::ReadSetupEnvironment(), {},
                                     kitforge::setup::MakeSetupWindow);
#else
    return kitforge::setup::RunSetup(arguments, OwnFile(), kitforge::setup::ReadSetupEnvironment());
#endif
}
