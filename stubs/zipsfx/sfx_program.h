#pragma once
// The stub as a whole: reads its own file, then lists, tests or extracts. main() only fills
// in the environment; the tests fill in their own.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "zipsfx/console.h"
#include "zipsfx/sfx_front_end.h"
#include "zipsfx/sfx_options.h"
#include "zipsfx/stub_header.h"
#include "zipsfx/system_services.h"

namespace kitforge::zipsfx {

struct SfxEnvironment {
    // The terminal: help, listings, tests and every question when no window is shown.
    Console* console = nullptr;
    // Whether standard input is a terminal, so that someone can answer there.
    bool input_is_terminal = true;
    // Makes the window for a person who cannot answer on the terminal; empty in a build
    // without one.
    SfxWindowMaker make_window;
    // The self-extracting file itself, as an absolute path.
    std::string self_path;
    // The user's home folder, for a default folder that starts with "~/"; empty when unknown.
    std::string home;
    std::function<std::optional<std::uint64_t>(const std::string& folder)> free_space = FreeSpaceFor;
    std::function<int(const std::string& command, const std::string& folder)> run_command = RunShellCommand;
};

// Runs the stub with `arguments` (without the program name) and gives the exit status.
// Every failure has been reported on the console (or in the window) by then.
int RunSfx(const std::vector<std::string>& arguments, SfxEnvironment& environment);

// The folder to extract into: -d as given, else the header's default folder (with "\" read
// as "/", "~/" as the home folder, and a relative folder taken from the folder the file lies
// in), else the folder the file lies in.
std::string TargetFolder(const SfxOptions& options, const StubHeader& header, const std::string& self_path,
                         const std::string& home);

}  // namespace kitforge::zipsfx
