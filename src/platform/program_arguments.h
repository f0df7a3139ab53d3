#pragma once
// The program's command-line arguments as UTF-8 texts, program name first. On Windows they are
// read again from the UTF-16 command line (the narrow argv holds the ANSI code page, which
// cannot hold every file name), and the console is set to show UTF-8 output.
#include <string>
#include <vector>

namespace kitforge {

std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace kitforge
