#include "setup/program_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "os/errors.h"

namespace kitforge::setup {

namespace {

// The child reports a failed exec through a pipe that closes by itself on a successful one.
class StartReport {
public:
    StartReport() {
        if (::pipe2(fds_, O_CLOEXEC) != 0) throw Error("cannot start a program: " + SystemErrorText(errno));
    }
    StartReport(const StartReport&) = delete;
    StartReport& operator=(const StartReport&) = delete;
    ~StartReport() {
        CloseEnd(0);
        CloseEnd(1);
    }

    [[noreturn]] void ChildFailed(int error) {
        [[maybe_unused]] const ssize_t n = ::write(fds_[1], &error, sizeof error);
        ::_exit(127);
    }

    // In the parent, after the fork: the errno the child sent, or 0 once the exec succeeded.
    int Wait() {
        CloseEnd(1);
        int error = 0;
        ssize_t n;
        do {
            n = ::read(fds_[0], &error, sizeof error);
        } while (n < 0 && errno == EINTR);
        return n == static_cast<ssize_t>(sizeof error) ? error : 0;
    }

private:
    void CloseEnd(int end) {
        if (fds_[end] >= 0) ::close(fds_[end]);
        fds_[end] = -1;
    }
    int fds_[2] = {-1, -1};
};

std::vector<char*> ArgumentVector(const std::vector<std::string>& words) {
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (const auto& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    return argv;
}

[[noreturn]] void ExecInChild(StartReport& report, char* const* argv, const std::string& folder, int program) {
    if (!folder.empty() && ::chdir(folder.c_str()) != 0) report.ChildFailed(errno);
    if (program >= 0)
        ::fexecve(program, argv, environ);
    else
        ::execvp(argv[0], argv);
    report.ChildFailed(errno);
}

void FlushOurOutput() {
    // Whatever the installer printed must come before what the program prints.
    std::fflush(stdout);
    std::fflush(stderr);
}

}  // namespace

std::string ProgramOutcome::Describe() const {
    if (start_error != 0) return "cannot be started: " + SystemErrorText(start_error);
    if (exited) return "ended with status " + std::to_string(status);
    return "was killed by signal " + std::to_string(signal) + " (" + ::strsignal(signal) + ")";
}

ProgramOutcome RunAndWait(const std::vector<std::string>& words, const std::string& folder, int program) {
    const std::vector<char*> argv = ArgumentVector(words);
    StartReport report;
    FlushOurOutput();
    const pid_t child = ::fork();
    if (child < 0) return {errno};
    if (child == 0) ExecInChild(report, argv.data(), folder, program);

    ProgramOutcome outcome;
    outcome.start_error = report.Wait();
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            outcome.start_error = outcome.start_error ? outcome.start_error : errno;
            return outcome;
        }
    }
    if (outcome.start_error != 0) return outcome;
    outcome.exited = WIFEXITED(status);
    outcome.status = outcome.exited ? WEXITSTATUS(status) : 0;
    outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return outcome;
}

int StartWithoutWaiting(const std::vector<std::string>& words, const std::string& folder, int program) {
    const std::vector<char*> argv = ArgumentVector(words);
    StartReport report;
    FlushOurOutput();
    // Two forks: the middle process ends at once, so the program is nobody's child here and
    // leaves no zombie behind while the installer goes on.
    const pid_t middle = ::fork();
    if (middle < 0) return errno;
    if (middle == 0) {
        ::setsid();
        const pid_t started = ::fork();
        if (started < 0) report.ChildFailed(errno);
        if (started > 0) ::_exit(0);
        const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (null >= 0) ::dup2(null, 0);
        ExecInChild(report, argv.data(), folder, program);
    }
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    return report.Wait();
}

}  // namespace kitforge::setup
