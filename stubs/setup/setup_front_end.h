#pragma once
// What the person running an installer (or an uninstaller) sees and answers, apart from how it
// is shown: on the terminal, in a window, or not at all. The installer's logic talks only to
// this, so each system can put its own dialogs behind it.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "setup/script_interpreter.h"

namespace kitforge::setup {

enum SetupStatus { kInstalled = 0, kFailed = 1, kBadUsage = 2, kCancelled = 3 };

// What the front-end asks about.
enum class SetupAction { Install, Uninstall };

// What the first question shows.
struct SetupIntroduction {
    SetupAction action = SetupAction::Install;
    // Printable (see Printable): control characters shown as escapes.
    std::string title;
    std::string prompt;
    // The folder %program% stands for (the default, or the one --target gave), as it is: show
    // it through Printable.
    std::string folder;
    // Whether the person may choose another folder (installing without --target).
    bool folder_choosable = false;
};

class SetupFrontEnd : public ProgressSink {
public:
    // Shows the introduction and asks whether to go on. Gives the folder to use (the one shown,
    // or another the person chose when that is allowed), or nothing to stop without doing
    // anything.
    virtual std::optional<std::string> Ask(const SetupIntroduction& introduction) = 0;

    // The writing of file contents: `done` of `total` bytes so far, `file` the one being written.
    void Bytes(std::uint64_t done, std::uint64_t total, const std::string& file) override = 0;

    // A line of the outcome for standard output ("Installation complete.").
    virtual void Say(const std::string& text) = 0;
    // A line about a failure, without the program's name (the terminal adds it).
    virtual void Complain(const std::string& text) = 0;

    // The run is over with `status`: a window shows the result and waits to be closed.
    virtual void Finish(SetupStatus status) = 0;
};

// Makes the window front-end, or gives nothing when no window can be shown (no display can be
// opened). The installer program passes one; the core and its tests have none.
using WindowFrontEndMaker = std::function<std::unique_ptr<SetupFrontEnd>(const std::string& program_name)>;

}  // namespace kitforge::setup
