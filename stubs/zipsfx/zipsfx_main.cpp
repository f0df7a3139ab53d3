// zipsfx.bin: the self-extracting stub. A self-extracting file is this program followed by a
// 256-byte header and a zip archive; running it extracts the archive. Built with
// KITFORGE_SFX_WINDOW it asks in a window when nobody can answer on the terminal;
// zipsfx-text.bin is the same program without the window.

#ifdef _WIN32
#include <io.h>

#include "zipsfx/windows_text.h"
#else
#include <unistd.h>
#endif

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "zipsfx/console.h"
#include "zipsfx/sfx_program.h"
#ifdef KITFORGE_SFX_WINDOW
#include "zipsfx/window/sfx_window.h"
#endif
#if defined(_WIN32) && defined(KITFORGE_SFX_WINDOW)
#include "window/parent_console.h"
#endif

namespace {

// The file this process runs from. /proc/self/exe names it even when argv[0] does not.
#ifdef _WIN32
std::string OwnPath(const char* argv0) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return argv0;
        if (n < buffer.size()) return kitforge::zipsfx::Utf8Text(std::wstring_view(buffer.data(), n));
        buffer.resize(buffer.size() * 2);
    }
}
#else
std::string OwnPath(const char* argv0) {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length > 0) return std::string(buffer, static_cast<std::size_t>(length));
    char* resolved = ::realpath(argv0, nullptr);
    std::string path = resolved ? resolved : argv0;
    std::free(resolved);
    return path;
}
#endif

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32) && defined(KITFORGE_SFX_WINDOW)
    // A window program has no console of its own. Started from one, standard input becomes
    // that console and the questions are asked there, as on Linux; started from the Explorer
    // there is none, standard input is no terminal, and the window is shown.
    kitforge::window::AttachParentConsole();
#endif
    kitforge::zipsfx::TerminalConsole console;
    kitforge::zipsfx::SfxEnvironment environment;
    environment.console = &console;
    environment.self_path = OwnPath(argc > 0 ? argv[0] : "zipsfx");
#ifdef _WIN32
    if (const wchar_t* home = _wgetenv(L"USERPROFILE")) environment.home = kitforge::zipsfx::Utf8Text(home);
    environment.input_is_terminal = _isatty(_fileno(stdin)) != 0;
#else
    if (const char* home = std::getenv("HOME")) environment.home = home;
    environment.input_is_terminal = ::isatty(STDIN_FILENO) == 1;
#endif
#ifdef KITFORGE_SFX_WINDOW
    environment.make_window = kitforge::zipsfx::MakeSfxWindow;
#endif
#ifdef _WIN32
    return kitforge::zipsfx::RunSfx(kitforge::zipsfx::Utf8Arguments(), environment);
#else
    return kitforge::zipsfx::RunSfx(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc), environment);
#endif
}
