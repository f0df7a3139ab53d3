// Reading a secret on Windows: the console's echo is turned off with SetConsoleMode while the
// line is read, and turned on again afterwards.
#include <io.h>

#include <cstdio>
#include <iostream>

#include "platform/hidden_input.h"
#include "os/win32_api.h"

namespace kitforge {

namespace {

class EchoOff {
public:
    EchoOff() : input_(GetStdHandle(STD_INPUT_HANDLE)) {
        if (input_ == INVALID_HANDLE_VALUE || !GetConsoleMode(input_, &saved_)) return;
        active_ = SetConsoleMode(input_, saved_ & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
    }
    ~EchoOff() {
        if (active_) SetConsoleMode(input_, saved_);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    HANDLE input_;
    DWORD saved_ = 0;
    bool active_ = false;
};

}  // namespace

bool StandardInputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

std::optional<std::string> ReadLineWithoutEcho(std::string_view prompt) {
    std::string line;
    bool read = false;
    {
        const EchoOff quiet;
        std::fwrite(prompt.data(), 1, prompt.size(), stderr);
        std::fflush(stderr);
        read = static_cast<bool>(std::getline(std::cin, line));
    }
    std::fputc('\n', stderr);
    if (!read) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace kitforge
