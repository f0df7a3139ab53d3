#pragma once
// Runs one of our programs (or any other) as a child process and collects what it printed,
// for tests that check a command-line tool end to end.

#include <string>
#include <vector>

namespace kitforge::testing {

struct ProgramResult {
    int status = -1;  // exit status, or 128 + signal number when killed by a signal
    std::string out;
    std::string err;
};

// Runs `arguments[0]` (a path, or a name searched on PATH) with the rest as its arguments,
// in `folder` when given, with `input` on its standard input.
ProgramResult RunProgram(const std::vector<std::string>& arguments, const std::string& folder = {},
                         const std::string& input = {});

// build/bin/<name>: the programs of this build.
std::string BuiltProgram(const std::string& name);

}  // namespace kitforge::testing
