// Starting the programs of EXECUTE and RUN lines on Windows: CreateProcessW with the words
// quoted into one command line the way the C runtime splits it again, in the program's folder.
// EXECUTE waits for the program; RUN starts it detached, with no console input, and goes on.
#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "os/errors.h"
#include "os/win32_api.h"
#include "setup/program_runner.h"

namespace kitforge::setup {

namespace {

// One argument as CommandLineToArgvW and the C runtime read it back.
std::wstring QuotedArgument(const std::wstring& word) {
    if (!word.empty() && word.find_first_of(L" \t\n\v\"") == std::wstring::npos) return word;
    std::wstring quoted = L"\"";
    for (auto it = word.begin();; ++it) {
        std::size_t backslashes = 0;
        while (it != word.end() && *it == L'\\') {
            ++it;
            ++backslashes;
        }
        if (it == word.end()) {
            quoted.append(backslashes * 2, L'\\');
            break;
        }
        if (*it == L'"') {
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        quoted.push_back(*it);
    }
    quoted.push_back(L'"');
    return quoted;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// A program named with a relative path is found from its folder, as on other systems after
// changing into that folder; a bare name is left to the system's search.
std::string ProgramPath(const std::string& program, const std::string& folder) {
    const bool has_folder = std::any_of(program.begin(), program.end(), IsSeparator);
    const bool absolute =
        (!program.empty() && IsSeparator(program.front())) || (program.size() >= 2 && program[1] == ':');
    std::string path = has_folder && !absolute && !folder.empty() ? folder + "/" + program : program;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

struct Started {
    int error = 0;
    PROCESS_INFORMATION process{};
};

Started Start(const std::vector<std::string>& words, const std::string& folder, bool detached) {
    Started started;
    if (words.empty()) {
        started.error = ENOENT;
        return started;
    }
    std::wstring command_line = QuotedArgument(WideText(ProgramPath(words.front(), folder)));
    for (std::size_t i = 1; i < words.size(); ++i) command_line += L" " + QuotedArgument(WideText(words[i]));
    std::wstring native_folder = WidePath(folder);
    std::replace(native_folder.begin(), native_folder.end(), L'/', L'\\');

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    DWORD flags = CREATE_UNICODE_ENVIRONMENT;
    if (detached) flags |= CREATE_NEW_PROCESS_GROUP | DETACHED_PROCESS;
    // Whatever the installer printed must come before what the program prints.
    std::fflush(stdout);
    std::fflush(stderr);
    if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        folder.empty() ? nullptr : native_folder.c_str(), &startup, &started.process)) {
        started.error = LastErrorAsErrno();
    }
    return started;
}

}  // namespace

std::string ProgramOutcome::Describe() const {
    if (start_error != 0) return "cannot be started: " + SystemErrorText(start_error);
    if (exited) return "ended with status " + std::to_string(status);
    return "was ended by the system (code " + std::to_string(signal) + ")";
}

// Windows starts programs by path only; OpenWrittenProgram has checked the file just before.
ProgramOutcome RunAndWait(const std::vector<std::string>& words, const std::string& folder, int) {
    Started started = Start(words, folder, false);
    ProgramOutcome outcome;
    if (started.error != 0) {
        outcome.start_error = started.error;
        return outcome;
    }
    WaitForSingleObject(started.process.hProcess, INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(started.process.hProcess, &code)) code = 1;
    CloseHandle(started.process.hThread);
    CloseHandle(started.process.hProcess);
    outcome.exited = true;
    outcome.status = static_cast<int>(code);
    return outcome;
}

int StartWithoutWaiting(const std::vector<std::string>& words, const std::string& folder, int) {
    Started started = Start(words, folder, true);
    if (started.error == 0) {
        CloseHandle(started.process.hThread);
        CloseHandle(started.process.hProcess);
    }
    return started.error;
}

}  // namespace kitforge::setup
