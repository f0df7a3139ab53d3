#include "zipsfx/terminal_front_end.h"

#include "zipsfx/entry_names.h"
#include "zipsfx/extraction_plan.h"

namespace kitforge::zipsfx {

namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

const char* ModeName(OverwriteMode mode) {
    switch (mode) {
        case OverwriteMode::Always: return "always";
        case OverwriteMode::Never: return "never";
        case OverwriteMode::Confirm: break;
    }
    return "confirm";
}

}  // namespace

std::optional<std::string> TerminalFrontEnd::Begin(const SfxIntroduction& introduction) {
    if (!introduction.caption.empty()) console_.Say(introduction.caption);
    console_.Say("Extracting to " + Printable(introduction.folder));
    return introduction.folder;
}

std::optional<std::vector<bool>> TerminalFrontEnd::ChooseFiles(const std::vector<std::string>& files) {
    for (std::size_t n = 0; n < files.size(); ++n) console_.Say("  " + std::to_string(n + 1) + ". " + files[n]);
    for (;;) {
        const auto answer = console_.Ask("Files to extract (numbers such as 1,3-5; Enter for all; q to quit): ");
        // Nobody left to answer: everything, as Enter would choose.
        if (!answer) return std::vector<bool>(files.size(), true);
        if (Lower(*answer) == "q") return std::nullopt;
        if (auto chosen = ParseSelection(*answer, files.size())) return chosen;
        console_.Say("Please give numbers from 1 to " + std::to_string(files.size()) + ".");
    }
}

std::optional<OverwriteMode> TerminalFrontEnd::AskOverwriteMode(std::size_t existing, OverwriteMode proposed) {
    for (;;) {
        const auto answer =
            console_.Ask(std::to_string(existing) + (existing == 1 ? " file exists" : " files exist") +
                         " already. Replace: [c]onfirm each, [a]lways, [n]ever (Enter: " + ModeName(proposed) + ")? ");
        if (!answer || answer->empty()) return proposed;
        const std::string choice = Lower(*answer);
        if (choice == "c" || choice == "confirm") return OverwriteMode::Confirm;
        if (choice == "a" || choice == "always") return OverwriteMode::Always;
        if (choice == "n" || choice == "never") return OverwriteMode::Never;
        if (choice == "q") return std::nullopt;
    }
}

ReplaceAnswer TerminalFrontEnd::AskReplace(const std::string& path) {
    for (;;) {
        const auto answer = console_.Ask("Replace " + path + "? [y]es, [n]o, [A]ll, [N]one, [q]uit: ");
        if (!answer) return ReplaceAnswer::No;
        if (*answer == "A") return ReplaceAnswer::All;
        if (*answer == "N") return ReplaceAnswer::None;
        const std::string choice = Lower(*answer);
        if (choice == "y" || choice == "yes") return ReplaceAnswer::Yes;
        if (choice == "n" || choice == "no" || choice.empty()) return ReplaceAnswer::No;
        if (choice == "q") return ReplaceAnswer::Quit;
    }
}

bool TerminalFrontEnd::AskRunCommand(const std::string& command, bool proposed) {
    const auto answer = console_.Ask("Run \"" + command + "\" now? " + (proposed ? "[Y/n]: " : "[y/N]: "));
    if (!answer || answer->empty()) return proposed;
    const std::string choice = Lower(*answer);
    return choice == "y" || choice == "yes";
}

std::optional<std::string> TerminalFrontEnd::AskPassword(const std::string& path, bool again) {
    if (again) console_.Say("The password is wrong.");
    return console_.AskSecret("Password for " + path + ": ");
}

void TerminalFrontEnd::Kept(const std::string& path) { console_.Say("  kept:       " + path); }

void TerminalFrontEnd::Extracting(const std::string& path) { console_.Say("  extracting: " + path); }

}  // namespace kitforge::zipsfx
