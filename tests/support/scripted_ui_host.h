#pragma once
// A UiHost for tests: records every message, question and dialog in order, and answers
// from queues that the test fills beforehand. A question with no answer queued throws, so a
// test never hangs on a box nobody expected.

#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ui_host.h"

namespace kitforge::testing {

struct RecordedMessage {
    MessageKind kind;
    std::string text;
    std::string caption;
    Buttons buttons;
    std::optional<Answer> default_button;  // the button Enter would press, when the caller chose one
};

class UnexpectedQuestion : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

class ScriptedUiHost : public UiHost {
public:
    // Answers for boxes with more than an OK button, in the order they will be asked.
    std::deque<Answer> answers;
    // Answers for file dialogs (nothing = the user cancels).
    std::deque<std::optional<std::vector<std::string>>> open_file_answers;
    std::deque<std::optional<std::string>> save_file_answers;
    std::deque<std::optional<std::string>> input_answers;
    std::deque<std::optional<std::string>> folder_answers;

    std::vector<RecordedMessage> messages;
    std::vector<FileDialogOptions> file_dialogs;
    std::vector<std::string> inputs_asked;  // "caption|prompt|initial"
    int process_messages_calls = 0;
    bool busy = false;
    int busy_changes = 0;

    Answer ShowMessage(MessageKind kind, std::string_view text, std::string_view caption, Buttons buttons,
                       std::optional<Answer> default_button = std::nullopt) override;
    std::optional<std::vector<std::string>> OpenFiles(const FileDialogOptions& options) override;
    std::optional<std::string> SaveFile(const FileDialogOptions& options) override;
    std::optional<std::string> InputBox(std::string_view caption, std::string_view prompt,
                                        std::string_view initial_text) override;
    std::optional<std::string> PickFolder(std::string_view caption, std::string_view initial_folder) override;
    void ProcessMessages() override { ++process_messages_calls; }

    // The texts of every message shown, in order.
    std::vector<std::string> Texts() const;

protected:
    void SetBusy(bool value) override {
        busy = value;
        ++busy_changes;
    }
};

}  // namespace kitforge::testing
