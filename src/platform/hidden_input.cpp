#include "platform/hidden_input.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace kitforge {

namespace {

// The terminal's settings before echo was turned off, for the signal handler.
struct termios saved_settings {};

extern "C" void RestoreEchoAndDie(int signal_number) {
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_settings);
    ::signal(signal_number, SIG_DFL);
    ::raise(signal_number);
}

// Echo off for its lifetime; the settings come back on every path, also when the program is
// stopped by a signal while it waits for the line.
class EchoOff {
public:
    EchoOff() {
        if (::tcgetattr(STDIN_FILENO, &saved_settings) != 0) return;
        struct sigaction action {};
        action.sa_handler = RestoreEchoAndDie;
        ::sigemptyset(&action.sa_mask);
        for (int i = 0; i < kSignals; ++i) ::sigaction(kCaught[i], &action, &previous_[i]);
        struct termios quiet = saved_settings;
        quiet.c_lflag &= static_cast<tcflag_t>(~(ECHO | ECHOE | ECHOK | ECHONL));
        active_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        if (!active_) RestoreHandlers();
    }
    ~EchoOff() {
        if (!active_) return;
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_settings);
        RestoreHandlers();
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    static constexpr int kSignals = 4;
    static constexpr int kCaught[kSignals] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

    void RestoreHandlers() {
        for (int i = 0; i < kSignals; ++i) ::sigaction(kCaught[i], &previous_[i], nullptr);
    }

    bool active_ = false;
    struct sigaction previous_[kSignals] {};
};

}  // namespace

bool StandardInputIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }

std::optional<std::string> ReadLineWithoutEcho(std::string_view prompt) {
    std::string line;
    bool ended = false;
    {
        // Echo goes off before the prompt shows: an answer typed as soon as it appears is
        // neither shown nor thrown away with the input that came before the prompt.
        const EchoOff quiet;
        std::fwrite(prompt.data(), 1, prompt.size(), stderr);
        std::fflush(stderr);
        // Byte by byte from the descriptor: nothing beyond the line is taken from the input.
        for (;;) {
            char c = 0;
            const ssize_t got = ::read(STDIN_FILENO, &c, 1);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                ended = line.empty();
                break;
            }
            if (c == '\n') break;
            line += c;
        }
    }
    // The line feed the person typed was not shown.
    std::fputc('\n', stderr);
    if (ended) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace kitforge
