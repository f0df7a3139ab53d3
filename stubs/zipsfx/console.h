#pragma once
// How the stub talks to the person running it: lines of output, complaints, and questions
// answered with a line of input. The tests script it.

#include <optional>
#include <string>
#include <string_view>

namespace kitforge::zipsfx {

class Console {
public:
    virtual ~Console() = default;
    // One line of ordinary output.
    virtual void Say(std::string_view line) = 0;
    // One line about a failure or a warning.
    virtual void Complain(std::string_view line) = 0;
    // Shows `question` and gives the line typed, without its line end, or nothing when the
    // input has ended.
    virtual std::optional<std::string> Ask(std::string_view question) = 0;
    // As Ask, for a password: what is typed is not shown where that can be helped.
    virtual std::optional<std::string> AskSecret(std::string_view question) { return Ask(question); }
};

// Standard output, standard error and standard input.
class TerminalConsole final : public Console {
public:
    void Say(std::string_view line) override;
    void Complain(std::string_view line) override;
    std::optional<std::string> Ask(std::string_view question) override;
    std::optional<std::string> AskSecret(std::string_view question) override;
};

}  // namespace kitforge::zipsfx
