#pragma once
// The UiHost of the command-line tool: messages go to the standard error stream, questions
// are answered by the flags the user gave (or, where a command allows it, by the user at the
// terminal, else refused), and dialogs are never shown.

#include <optional>
#include <string>

#include "platform/ui_host.h"

namespace kitforge::cli {

class ConsoleUiHost : public UiHost {
public:
    // The answer given to every Yes/No question; nothing refuses them (Cancel / No).
    std::optional<Answer> standing_answer;
    // Questions that no standing answer settles are asked on the terminal when standard input
    // is one: the user types the first letter of a button, and Enter alone gives the
    // question's default button (the refusal, Cancel or No, when it has none). Without a
    // terminal they are refused.
    bool ask_on_terminal = false;
    // Print progress lines to stderr.
    bool show_progress = true;

    Answer ShowMessage(MessageKind kind, std::string_view text, std::string_view caption, Buttons buttons,
                       std::optional<Answer> default_button = std::nullopt) override;
    std::optional<std::vector<std::string>> OpenFiles(const FileDialogOptions&) override { return std::nullopt; }
    std::optional<std::string> SaveFile(const FileDialogOptions&) override { return std::nullopt; }
    std::optional<std::string> InputBox(std::string_view, std::string_view, std::string_view) override {
        return std::nullopt;
    }
    std::optional<std::string> PickFolder(std::string_view, std::string_view) override { return std::nullopt; }
    void ProcessMessages() override {}
    void ShowProgress(std::string_view what, std::uint64_t done, std::uint64_t total) override;

    // Number of error and warning messages shown so far.
    int problems = 0;

protected:
    void SetBusy(bool) override {}
};

}  // namespace kitforge::cli
