#pragma once
// UiHost for the editor: Qt message boxes, file dialogs, the input box, the folder chooser,
// the wait cursor and the event loop.

#include "platform/ui_host.h"

class QWidget;

namespace kitforge {

class QtUiHost : public UiHost {
public:
    Answer ShowMessage(MessageKind kind, std::string_view text, std::string_view caption = kApplicationTitle,
                       Buttons buttons = Buttons::Ok, std::optional<Answer> default_button = std::nullopt) override;
    std::optional<std::vector<std::string>> OpenFiles(const FileDialogOptions& options) override;
    std::optional<std::string> SaveFile(const FileDialogOptions& options) override;
    std::optional<std::string> InputBox(std::string_view caption, std::string_view prompt,
                                        std::string_view initial_text) override;
    std::optional<std::string> PickFolder(std::string_view caption, std::string_view initial_folder) override;
    void ProcessMessages() override;

protected:
    void SetBusy(bool busy) override;

private:
    // Boxes and dialogs belong to the window the user is working in.
    static QWidget* Owner();
};

}  // namespace kitforge
