#include "support/scripted_ui_host.h"

namespace kitforge::testing {

namespace {

template <typename T>
T Next(std::deque<T>& queue, std::string_view what) {
    if (queue.empty()) throw UnexpectedQuestion("no scripted answer for " + std::string(what));
    T value = std::move(queue.front());
    queue.pop_front();
    return value;
}

}  // namespace

Answer ScriptedUiHost::ShowMessage(MessageKind kind, std::string_view text, std::string_view caption, Buttons buttons,
                                   std::optional<Answer> default_button) {
    messages.push_back({kind, std::string(text), std::string(caption), buttons, default_button});
    if (buttons == Buttons::Ok) return Answer::Ok;
    return Next(answers, "the question \"" + std::string(text) + "\"");
}

std::optional<std::vector<std::string>> ScriptedUiHost::OpenFiles(const FileDialogOptions& options) {
    file_dialogs.push_back(options);
    return Next(open_file_answers, "the open dialog \"" + options.title + "\"");
}

std::optional<std::string> ScriptedUiHost::SaveFile(const FileDialogOptions& options) {
    file_dialogs.push_back(options);
    return Next(save_file_answers, "the save dialog \"" + options.title + "\"");
}

std::optional<std::string> ScriptedUiHost::InputBox(std::string_view caption, std::string_view prompt,
                                                    std::string_view initial_text) {
    inputs_asked.push_back(std::string(caption) + "|" + std::string(prompt) + "|" + std::string(initial_text));
    return Next(input_answers, "the input box \"" + std::string(caption) + "\"");
}

std::optional<std::string> ScriptedUiHost::PickFolder(std::string_view caption, std::string_view) {
    return Next(folder_answers, "the folder picker \"" + std::string(caption) + "\"");
}

std::vector<std::string> ScriptedUiHost::Texts() const {
    std::vector<std::string> texts;
    for (const auto& m : messages) texts.push_back(m.text);
    return texts;
}

}  // namespace kitforge::testing
