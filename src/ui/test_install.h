#pragma once
// "Test install": the installer just built is run as its user would run it without questions,
// into a temporary folder that is removed afterwards, and what it wrote is listed. The
// installer gets a home folder of its own inside the temporary folder too, so the launchers,
// %common% and %system% files of the script land there instead of in the author's own
// folders. Programs that the script runs, and targets that are absolute paths, are not
// redirected.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace kitforge {

class UiHost;

inline constexpr std::chrono::seconds kTestInstallTimeLimit{120};

struct InstalledFile {
    // "%program%/bin/app" for the install folder, "~/.local/..." for the stand-in home.
    std::string path;
    std::uint64_t size = 0;
};

struct TestInstallResult {
    bool started = false;
    bool timed_out = false;            // stopped at the time limit
    bool crashed = false;              // ended by a signal
    int exit_status = -1;              // when it ended by itself
    std::string output;                // standard output and error, with the temporary paths shown as above
    std::vector<InstalledFile> files;  // sorted by path
    bool removed = true;               // the temporary folder is gone again
    std::string start_error;           // why it could not be started
};

// Runs `installer` with --silent --user --target <temporary folder>, letting the window's events
// run and showing the busy cursor while it works, and stops it after `time_limit`.
TestInstallResult RunTestInstall(UiHost& host, const std::string& installer,
                                 std::chrono::milliseconds time_limit = kTestInstallTimeLimit);

// The result for people: the exit status and what it means, the files with their sizes, and
// what the installer printed.
std::string TestInstallReport(const TestInstallResult& result);

}  // namespace kitforge
