// The installer's window on Windows: the question, the progress and the result as pages of one
// window made of the system's own controls, with the same texts as the window on Linux.
#include <cstdio>
#include <vector>

#include "os/win32_api.h"
// After <windows.h>:
#include <commctrl.h>

#include "platform/printable_text.h"
#include "setup/setup_cancel.h"
#include "setup/setup_console.h"
#include "setup/window/setup_window.h"
#include "window/folder_chooser.h"
#include "window/page_window.h"
#include "window/window_layout.h"

namespace kitforge::setup {

namespace {

using FieldKind = window::PageWindow::FieldKind;
using window::kButtonHeight;
using window::kLineHeight;
using window::kMargin;
using window::kWindowHeight;
using window::kWindowWidth;
using window::PageWindow;

constexpr int kBrowseId = 100;
constexpr int kFolderId = 101;
constexpr int kCancelId = 102;
constexpr int kBrowseWidth = 90;
constexpr int kFolderTop = 190;
constexpr int kBarHeight = 22;

class SetupWindow : public SetupFrontEnd {
public:
    explicit SetupWindow(const std::string& program_name)
        : echo_(SetupStreams{}, program_name, true), window_(program_name, kWindowWidth, kWindowHeight) {
        window_.on_command = [this](int id, int code) { Command(id, code); };
        window_.on_close = [this] { Closing(false); };
        window_.on_escape = [this] { Closing(true); };
    }

    bool Made() const { return window_.Made(); }

    std::optional<std::string> Ask(const SetupIntroduction& introduction) override {
        action_ = introduction.action;
        window_.SetTitle(introduction.title.empty() ? "Setup" : introduction.title);
        ShowQuestion(introduction);
        stage_ = Stage::Question;
        const int answer = window_.Wait([] { return CancelRequested(); });
        if (answer != 0) {
            stage_ = Stage::Closed;
            window_.Hide();
            window_.HandlePending();
            return std::nullopt;
        }
        const std::string typed = window::TextOf(folder_);
        const std::string chosen = typed == shown_folder_ ? introduction.folder : window::AbsoluteFolder(typed);
        ShowProgress();
        stage_ = Stage::Working;
        window_.HandlePending();
        return chosen;
    }

    void Step(std::size_t number, std::size_t count, const std::string& text) override {
        echo_.Step(number, count, text);
        SetWindowTextW(step_, window::ControlText(text).c_str());
        // A step may be a program the script runs and waits for: show it before it starts.
        window_.HandlePending();
    }

    void Warning(const std::string& text) override {
        echo_.Warning(text);
        warnings_.push_back("warning: " + text);
        ShowWindow(warnings_label_, SW_SHOW);
        ShowWindow(warnings_list_, SW_SHOW);
        warning_text_ += (warning_text_.empty() ? "" : "\n") + text;
        SetWindowTextW(warnings_list_, window::ControlText(warning_text_).c_str());
        SendMessageW(warnings_list_, EM_LINESCROLL, 0, 0xffff);
        window_.HandlePending();
    }

    void Bytes(std::uint64_t done, std::uint64_t total, const std::string& file) override {
        const double fraction = total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
        const int position = static_cast<int>(fraction * PageWindow::kProgressRange);
        if (file != file_text_) {
            file_text_ = file;
            SetWindowTextW(file_, window::ControlText(file).c_str());
        }
        if (position != position_) {
            position_ = position;
            SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
            SetWindowTextW(percent_,
                           window::ControlText(std::to_string(static_cast<int>(fraction * 100)) + " %").c_str());
        }
        window_.HandlePending();
    }

    void Say(const std::string& text) override {
        echo_.Say(text);
        said_.push_back(text);
    }

    void Complain(const std::string& text) override {
        echo_.Complain(text);
        complaints_.push_back(text);
    }

    // Exit at the question closed the window already; every other ending shows the result
    // until the person closes it.
    void Finish(SetupStatus status) override {
        echo_.Finish(status);
        if (stage_ == Stage::Closed) return;
        ShowResult(status);
        stage_ = Stage::Result;
        window_.Wait();
        window_.Hide();
        stage_ = Stage::Closed;
    }

private:
    enum class Stage { NotShown, Question, Working, Result, Closed };

    void ShowQuestion(const SetupIntroduction& introduction) {
        const bool install = introduction.action == SetupAction::Install;
        const int w = kWindowWidth;
        window_.Clear();
        window_.Text(kMargin, kMargin, w - 2 * kMargin, 2 * kLineHeight, introduction.title, true);
        window_.Text(kMargin, kMargin + 2 * kLineHeight, w - 2 * kMargin, kFolderTop - 3 * kLineHeight - 2 * kMargin,
                     introduction.prompt);
        window_.Text(kMargin, kFolderTop - kLineHeight, w - 2 * kMargin, kLineHeight - 4,
                     install ? "Install folder:" : "Installed in:");
        shown_folder_ = PrintablePath(introduction.folder);
        const bool choosable = introduction.folder_choosable;
        folder_ =
            window_.Field(kMargin, kFolderTop, w - (choosable ? 3 * kMargin + kBrowseWidth : 2 * kMargin),
                          kButtonHeight - 6, shown_folder_, choosable ? FieldKind::Editable : FieldKind::ReadOnly);
        SetWindowLongPtrW(folder_, GWLP_ID, kFolderId);
        if (choosable) {
            window_.Button(w - kMargin - kBrowseWidth, kFolderTop - 1, kBrowseWidth, kButtonHeight - 4, "Browse...",
                           kBrowseId);
        }
        go_ = window_.Buttons({install ? "Install" : "Uninstall", "Exit"}, 0).front();
        // The folder is what may be changed: start there, as the Linux window does.
        if (choosable) window_.Focus(folder_);
    }

    void ShowProgress() {
        const int w = kWindowWidth;
        window_.Clear();
        step_ = window_.Text(kMargin, kMargin, w - 2 * kMargin, kLineHeight, "", true);
        file_ = window_.Text(kMargin, kMargin + kLineHeight, w - 2 * kMargin, kLineHeight, "");
        const int bar_top = kMargin + 2 * kLineHeight + 8;
        bar_ = window_.ProgressBar(kMargin, bar_top, w - 3 * kMargin - 50, kBarHeight);
        percent_ = window_.Text(w - kMargin - 50, bar_top + 3, 50, kLineHeight, "");
        const int warnings_top = bar_top + kBarHeight + 16;
        warnings_label_ = window_.Text(kMargin, warnings_top, w - 2 * kMargin, kLineHeight - 4, "Warnings:");
        warnings_list_ = window_.Field(kMargin, warnings_top + kLineHeight, w - 2 * kMargin,
                                       window::ButtonRowTop(0, kWindowHeight) - warnings_top - kLineHeight - kMargin,
                                       "", FieldKind::ReadOnlyLines);
        ShowWindow(warnings_label_, SW_HIDE);
        ShowWindow(warnings_list_, SW_HIDE);
        cancel_ = window_.Button(w - kMargin - window::kButtonWidth, window::ButtonRowTop(0, kWindowHeight),
                                 window::kButtonWidth, kButtonHeight - 2, "Cancel", kCancelId);
        file_text_.clear();
        position_ = -1;
        window_.Show();
    }

    void ShowResult(SetupStatus status) {
        const bool install = action_ == SetupAction::Install;
        std::vector<std::string> lines;
        std::string heading;
        if (status == kInstalled && !said_.empty()) {
            heading = said_.front();
            lines.assign(said_.begin() + 1, said_.end());
        } else {
            if (status == kCancelled) {
                heading = install ? "Installation cancelled." : "Uninstall cancelled.";
            } else {
                heading = install ? "Installation failed." : "Uninstall failed.";
            }
            lines = complaints_;
            lines.insert(lines.end(), said_.begin(), said_.end());
        }
        lines.insert(lines.end(), warnings_.begin(), warnings_.end());
        std::string text;
        for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
        const int w = kWindowWidth;
        window_.Clear();
        window_.Text(kMargin, kMargin, w - 2 * kMargin, 2 * kLineHeight, heading, true);
        if (!text.empty()) {
            const int top = kMargin + 2 * kLineHeight + 8;
            window_.Field(kMargin, top, w - 2 * kMargin, window::ButtonRowTop(0, kWindowHeight) - top - kMargin, text,
                          FieldKind::ReadOnlyLines);
        }
        window_.Buttons({"Close"}, 0);
    }

    void Command(int id, int code) {
        if (id == kBrowseId && code == BN_CLICKED) {
            const std::string typed = window::TextOf(folder_);
            if (const auto chosen = window::ChooseFolder("Install folder", window::AbsoluteFolder(typed))) {
                SetWindowTextW(folder_, WideText(*chosen).c_str());
            }
        } else if (id == kFolderId && code == EN_CHANGE) {
            // An empty field names no folder: Install waits for one.
            EnableWindow(go_, GetWindowTextLengthW(folder_) > 0);
        } else if (id == kCancelId && code == BN_CLICKED) {
            ShowCancelling();
        }
    }

    // The close box, and Escape: Exit at the question, Cancel while working (but not Escape
    // there, which is too easily pressed by accident), Close at the end.
    void Closing(bool escape) {
        switch (stage_) {
            case Stage::Question: window_.SetAnswer(PageWindow::kClosed); break;
            case Stage::Working:
                if (!escape) ShowCancelling();
                break;
            default: window_.SetAnswer(PageWindow::kClosed); break;
        }
    }

    void ShowCancelling() {
        SetWindowTextW(cancel_, L"Cancelling...");
        EnableWindow(cancel_, FALSE);
        RequestCancel();
    }

    TerminalFrontEnd echo_;
    PageWindow window_;
    SetupAction action_ = SetupAction::Install;
    Stage stage_ = Stage::NotShown;
    std::string shown_folder_;
    std::string file_text_;
    std::string warning_text_;
    int position_ = -1;
    HWND folder_ = nullptr;
    HWND go_ = nullptr;
    HWND step_ = nullptr;
    HWND file_ = nullptr;
    HWND bar_ = nullptr;
    HWND percent_ = nullptr;
    HWND warnings_label_ = nullptr;
    HWND warnings_list_ = nullptr;
    HWND cancel_ = nullptr;
    std::vector<std::string> said_;
    std::vector<std::string> complaints_;
    std::vector<std::string> warnings_;
};

}  // namespace

std::unique_ptr<SetupFrontEnd> MakeSetupWindow(const std::string& program_name) {
    auto window = std::make_unique<SetupWindow>(program_name);
    if (!window->Made()) return nullptr;
    return window;
}

}  // namespace kitforge::setup
