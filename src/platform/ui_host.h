#pragma once
// Everything the core asks of the person in front of the program goes through UiHost:
// message boxes, questions, file dialogs, the text input box, the folder picker, the busy
// cursor and letting queued window messages run. The editor implements it with Qt, the
// command-line tool on the terminal, and the tests with a scripted host that records every
// message and answers from a queue.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kitforge {

// The kind of a message box: its icon and, for the plain kind, none.
enum class MessageKind { Plain, Information, Warning, Error, Confirmation };

// The buttons a message box offers.
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };

// What the user answered. Closing a box counts as Cancel (as No for YesNo).
enum class Answer { Ok, Cancel, Yes, No, Retry };

// The caption of every box that names none: the application's title.
inline constexpr std::string_view kApplicationTitle = "Kitforge";

struct FileDialogOptions {
    std::string title;
    std::string filter;             // "Build Scripts|*.inf", empty for none
    std::string default_extension;  // "inf", empty for none
    std::string initial_folder;
    std::string file_name;
    bool allow_multiple = false;
    bool file_must_exist = false;
    bool folder_must_exist = true;
};

class UiHost {
public:
    virtual ~UiHost() = default;

    // Shows a modal message box and gives the button chosen. `default_button` is the button
    // that Enter presses (one of `buttons`); without it the host chooses. Questions that would
    // overwrite or delete something make No the default, so a hasty Enter keeps the data.
    virtual Answer ShowMessage(MessageKind kind, std::string_view text, std::string_view caption = kApplicationTitle,
                               Buttons buttons = Buttons::Ok, std::optional<Answer> default_button = std::nullopt) = 0;

    // File dialogs: nothing when the user cancels. OpenFiles gives the chosen files in the
    // dialog's order (one unless allow_multiple).
    virtual std::optional<std::vector<std::string>> OpenFiles(const FileDialogOptions& options) = 0;
    virtual std::optional<std::string> SaveFile(const FileDialogOptions& options) = 0;

    // The one-line text input box: nothing when the user cancels.
    virtual std::optional<std::string> InputBox(std::string_view caption, std::string_view prompt,
                                                std::string_view initial_text) = 0;

    // The folder picker: nothing when the user cancels.
    virtual std::optional<std::string> PickFolder(std::string_view caption, std::string_view initial_folder) = 0;

    // Lets queued window messages run, so the window stays live during long work.
    virtual void ProcessMessages() = 0;

    // Progress of long work, for hosts that show it (0 <= done <= total; total 0 = unknown).
    virtual void ShowProgress(std::string_view /*what*/, std::uint64_t /*done*/, std::uint64_t /*total*/) {}

    // Convenience forms of ShowMessage with an OK button.
    void Inform(std::string_view text) { ShowMessage(MessageKind::Information, text); }
    void Warn(std::string_view text) { ShowMessage(MessageKind::Warning, text); }
    void Fail(std::string_view text) { ShowMessage(MessageKind::Error, text); }

protected:
    friend class BusyCursor;
    // Called by BusyCursor only: show or restore the busy cursor.
    virtual void SetBusy(bool busy) = 0;

private:
    int busy_depth_ = 0;
};

// Shows the busy cursor for its lifetime and restores the normal one on every path,
// exceptions included. Guards nest: the cursor comes back when the outermost one ends.
class BusyCursor {
public:
    explicit BusyCursor(UiHost& host);
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    UiHost& host_;
};

}  // namespace kitforge
