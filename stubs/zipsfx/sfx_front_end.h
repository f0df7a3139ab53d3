#pragma once
// What the person running a self-extracting file sees and answers, apart from how it is shown:
// on the terminal or in a window. The extraction talks only to this, so each system can put
// its own dialogs behind it.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "zipsfx/stub_header.h"

namespace kitforge::zipsfx {

// What the first question shows.
struct SfxIntroduction {
    // The header's caption, printable (empty when it has none).
    std::string caption;
    // The folder to extract into, as it is: show it through Printable.
    std::string folder;
    // Whether the person may choose another folder (no -d given).
    bool folder_choosable = false;
};

// The answer about one existing file when each is confirmed.
enum class ReplaceAnswer { Yes, No, All, None, Quit };

class SfxFrontEnd {
public:
    virtual ~SfxFrontEnd() = default;

    // Shows the caption and the folder. Gives the folder to extract into (the one shown, or
    // another the person chose when that is allowed), or nothing to stop without writing.
    virtual std::optional<std::string> Begin(const SfxIntroduction& introduction) = 0;
    // The files of the archive (printable paths): gives a choice per file, or nothing to quit.
    virtual std::optional<std::vector<bool>> ChooseFiles(const std::vector<std::string>& files) = 0;
    // `existing` files are already there: how to settle them, `proposed` being the header's (or
    // the option's) mode; nothing to quit.
    virtual std::optional<OverwriteMode> AskOverwriteMode(std::size_t existing, OverwriteMode proposed) = 0;
    // Whether to replace the existing file `path` (printable).
    virtual ReplaceAnswer AskReplace(const std::string& path) = 0;
    // Whether to run `command` (printable) after extracting; `proposed` is the header's default.
    virtual bool AskRunCommand(const std::string& command, bool proposed) = 0;
    // The password of the encrypted file `path` (printable), typed without being shown;
    // `again` says the last one was wrong. Nothing when the person gives none.
    virtual std::optional<std::string> AskPassword(const std::string& path, bool again) = 0;

    // An existing file at `path` (printable) is kept.
    virtual void Kept(const std::string& path) = 0;
    // The file at `path` (printable) is being written now.
    virtual void Extracting(const std::string& path) = 0;
    // The writing of file contents: `done` of `total` bytes so far. False asks to stop: what
    // this run wrote is then removed again.
    virtual bool Progress(std::uint64_t done, std::uint64_t total) = 0;

    // A line of the outcome ("3 files extracted.").
    virtual void Say(const std::string& text) = 0;
    // A line about a failure, with the program's name in front.
    virtual void Complain(const std::string& text) = 0;
    // The run is over with exit status `status`: a window shows the result and waits to be
    // closed.
    virtual void Finish(int status) = 0;
};

// Makes the window front-end, or gives nothing when no window can be shown (no display can be
// opened). The stub program passes one; the core and its tests have none.
using SfxWindowMaker = std::function<std::unique_ptr<SfxFrontEnd>(const std::string& program_name)>;

}  // namespace kitforge::zipsfx
