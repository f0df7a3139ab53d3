#pragma once
// Starting the programs of EXECUTE and RUN lines: without a shell, with the words as the
// program's arguments, in the program's own folder.

#include <string>
#include <vector>

namespace kitforge::setup {

struct ProgramOutcome {
    int start_error = 0;  // errno when the program could not be started; the rest is then unset
    bool exited = false;  // ended by itself with `status`; otherwise killed by `signal`
    int status = 0;
    int signal = 0;

    bool Succeeded() const noexcept { return start_error == 0 && exited && status == 0; }
    // "ended with status 3", "was killed by signal 9 (Killed)", "cannot be started: ...".
    std::string Describe() const;
};

// Starts `words[0]` with `words` as its arguments, in `folder` (or the current folder when
// empty), and waits until it ends. A program named without a "/" is looked up on the path.
// Standard input and output are shared with the installer. When `program` is an open
// descriptor (see OpenWrittenProgram), that very file is run and `words[0]` is only the name
// it is given.
ProgramOutcome RunAndWait(const std::vector<std::string>& words, const std::string& folder, int program = -1);

// Starts the program the same way but does not wait: it runs in a session of its own, with
// its standard input from /dev/null, and outlives the installer. Gives the errno of a failed
// start, or 0.
int StartWithoutWaiting(const std::vector<std::string>& words, const std::string& folder, int program = -1);

}  // namespace kitforge::setup
