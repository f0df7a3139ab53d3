// The self-extractor's window on Windows: the same questions as on the terminal, as pages of
// one window made of the system's own controls, with the same texts as the window on Linux.
#include <cstdio>
#include <vector>

#include "os/native_path.h"
#include "os/win32_api.h"
// After <windows.h>:
#include <commctrl.h>

#include "window/folder_chooser.h"
#include "window/page_window.h"
#include "zipsfx/entry_names.h"
#include "zipsfx/window/sfx_window.h"

namespace kitforge::zipsfx {

namespace {

using window::PageWindow;
using FieldKind = PageWindow::FieldKind;

constexpr int kWidth = 600;
constexpr int kHeight = 320;
constexpr int kMargin = 14;
constexpr int kButtonWidth = 110;
constexpr int kFieldHeight = 24;
constexpr int kBrowseId = 100;

class SfxWindow final : public SfxFrontEnd {
public:
    explicit SfxWindow(const std::string& program_name) : window_(program_name, kWidth, kHeight), title_(program_name) {
        window_.on_command = [this](int id, int code) { Command(id, code); };
        window_.on_close = [this] {
            window_.SetAnswer(PageWindow::kClosed);
            closed_ = true;
        };
    }

    bool Made() const { return window_.Made(); }

    std::optional<std::string> Begin(const SfxIntroduction& introduction) override {
        if (!introduction.caption.empty()) {
            title_ = introduction.caption;
            window_.SetTitle(title_);
        }
        folder_ = introduction.folder;
        for (;;) {
            StartPage();
            window_.Text(kMargin, 50, kWidth - 2 * kMargin, 22, "Extract the files to:");
            const bool choosable = introduction.folder_choosable;
            folder_field_ = window_.Field(kMargin, 76, kWidth - (choosable ? 3 * kMargin + kButtonWidth : 2 * kMargin),
                                          kFieldHeight, DisplayPath(folder_),
                                          choosable ? FieldKind::Editable : FieldKind::ReadOnly);
            if (choosable) {
                window_.Button(kWidth - kMargin - kButtonWidth, 75, kButtonWidth, kFieldHeight + 2, "Browse...",
                               kBrowseId);
            }
            window_.Buttons({"Extract", "Exit"}, 0);
            if (Wait() != 0) return Leave();
            const std::string chosen = window::AbsoluteFolder(window::TextOf(folder_field_));
            if (!chosen.empty()) {
                folder_ = chosen;
                return folder_;
            }
            MessageBoxW(window_.Handle(), L"Please give the folder to extract the files to.",
                        window::ControlText(title_).c_str(), MB_OK | MB_ICONWARNING);
        }
    }

    std::optional<std::vector<bool>> ChooseFiles(const std::vector<std::string>& files) override {
        StartPage();
        window_.Text(kMargin, 50, kWidth - 2 * kMargin, 22, "Choose the files to extract:");
        HWND list = window_.ChoiceList(kMargin, 76, kWidth - 2 * kMargin, kHeight - 76 - 2 * kMargin - 28 - 6, files);
        window_.Buttons({"Extract", "Exit"}, 0);
        if (Wait() != 0) return Leave();
        std::vector<bool> chosen(files.size());
        for (std::size_t n = 0; n < files.size(); ++n) {
            chosen[n] = SendMessageW(list, LB_GETSEL, static_cast<WPARAM>(n), 0) > 0;
        }
        return chosen;
    }

    std::optional<OverwriteMode> AskOverwriteMode(std::size_t existing, OverwriteMode proposed) override {
        static constexpr OverwriteMode kModes[] = {OverwriteMode::Confirm, OverwriteMode::Always, OverwriteMode::Never};
        int proposed_button = 0;
        for (int n = 0; n < 3; ++n) {
            if (kModes[n] == proposed) proposed_button = n;
        }
        StartPage();
        Text(std::to_string(existing) + (existing == 1 ? " file exists" : " files exist") +
             " already in the folder. Replace existing files?");
        const int answer = Ask({"Confirm each", "Always", "Never", "Exit"}, proposed_button);
        if (answer < 0 || answer == 3) return Leave();
        return kModes[answer];
    }

    ReplaceAnswer AskReplace(const std::string& path) override {
        StartPage();
        Text("Replace the existing file\n" + path + "?");
        switch (Ask({"Yes", "No", "Yes to all", "No to all", "Exit"}, 1)) {
            case 0: return ReplaceAnswer::Yes;
            case 1: return ReplaceAnswer::No;
            case 2: return ReplaceAnswer::All;
            case 3: return ReplaceAnswer::None;
            default: break;
        }
        left_ = true;
        return ReplaceAnswer::Quit;
    }

    bool AskRunCommand(const std::string& command, bool proposed) override {
        StartPage();
        Text("The files are extracted. Run this command now?\n\n" + command);
        const int answer = Ask({"Run", "Do not run"}, proposed ? 0 : 1);
        if (answer < 0) left_ = true;
        return answer == 0;
    }

    std::optional<std::string> AskPassword(const std::string& path, bool again) override {
        StartPage();
        Text((again ? "The password is wrong. Please try again.\n" : std::string()) + "The file " + path +
             " is encrypted. Its password:");
        HWND field = window_.Field(kMargin, 100, kWidth - 2 * kMargin, kFieldHeight, "", FieldKind::Hidden);
        // Return in the field answers as OK does.
        window_.Buttons({"OK", "Exit"}, 0);
        window_.Focus(field);
        const int answer = Wait();
        // Nothing of the password stays in the window once it is read.
        std::string password = window::TextOf(field);
        SetWindowTextW(field, L"");
        if (answer != 0) return Leave();
        return password;
    }

    void Kept(const std::string&) override {}

    void Extracting(const std::string& path) override {
        if (bar_ == nullptr) {
            StartPage();
            window_.Text(kMargin, 50, kWidth - 2 * kMargin, 22, "Extracting to " + PrintablePath(folder_));
            bar_ = window_.ProgressBar(kMargin, 90, kWidth - 2 * kMargin, 22);
            current_ = window_.Text(kMargin, 122, kWidth - 2 * kMargin, 22, "");
            window_.Buttons({"Cancel"}, -1);
            window_.SetAnswer(PageWindow::kWaiting);
            window_.Show();
        }
        SetWindowTextW(current_, window::ControlText(path).c_str());
        window_.HandlePending();
    }

    bool Progress(std::uint64_t done, std::uint64_t total) override {
        if (bar_ != nullptr && total > 0) {
            const double fraction = static_cast<double>(done) / static_cast<double>(total);
            SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(fraction * PageWindow::kProgressRange), 0);
        }
        window_.HandlePending();
        // The Cancel button, or closing the window, stops the extraction.
        return window_.Answer() == PageWindow::kWaiting;
    }

    void Say(const std::string& text) override { lines_ += text + "\n"; }

    void Complain(const std::string& text) override {
        lines_ += text + "\n";
        // Also where a log would look, since the window goes away.
        std::fprintf(stderr, "%s\n", text.c_str());
    }

    void Finish(int status) override {
        if (left_ || closed_) return;
        StartPage();
        std::string text = status == 0 ? "The files were extracted.\n\n" : "The files were not extracted.\n\n";
        if (status == 5) text = "The files were extracted, but the command after them failed.\n\n";
        window_.Text(kMargin, 50, kWidth - 2 * kMargin, 22, text.substr(0, text.find('\n')));
        if (!lines_.empty()) {
            window_.Field(kMargin, 80, kWidth - 2 * kMargin, kHeight - 80 - 2 * kMargin - 28 - 6, lines_,
                          FieldKind::ReadOnlyLines);
        }
        Ask({"Close"}, 0);
        window_.Hide();
    }

private:
    void Command(int id, int code) {
        if (id != kBrowseId || code != BN_CLICKED) return;
        const std::string typed = window::TextOf(folder_field_);
        if (const auto folder = window::ChooseFolder("Extract to", typed)) {
            SetWindowTextW(folder_field_, WideText(*folder).c_str());
        }
    }

    // Clears the window for the next page, headed by the caption.
    void StartPage() {
        window_.Clear();
        bar_ = nullptr;
        current_ = nullptr;
        window_.Text(kMargin, kMargin, kWidth - 2 * kMargin, 26, title_, true);
    }

    void Text(const std::string& text) { window_.Text(kMargin, 50, kWidth - 2 * kMargin, 90, text); }

    int Ask(const std::vector<std::string>& labels, int proposed) {
        window_.Buttons(labels, proposed);
        return Wait();
    }

    int Wait() {
        const int answer = window_.Wait();
        if (answer == PageWindow::kClosed) closed_ = true;
        return answer;
    }

    // The person asked to stop at a question: nothing more is shown.
    std::nullopt_t Leave() {
        left_ = true;
        return std::nullopt;
    }

    PageWindow window_;
    std::string title_;
    std::string folder_;
    std::string lines_;
    HWND folder_field_ = nullptr;
    HWND bar_ = nullptr;
    HWND current_ = nullptr;
    bool left_ = false;
    bool closed_ = false;
};

}  // namespace

std::unique_ptr<SfxFrontEnd> MakeSfxWindow(const std::string& program_name) {
    auto window = std::make_unique<SfxWindow>(program_name);
    if (!window->Made()) return nullptr;
    return window;
}

}  // namespace kitforge::zipsfx
