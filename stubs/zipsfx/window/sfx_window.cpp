#include "zipsfx/window/sfx_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Browser.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Secret_Input.H>
#include <FL/fl_ask.H>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "window/event_pump.h"
#include "window/folder_chooser.h"
#include "window/label_text.h"
#include "window/server_fonts.h"
#include "window/window_display.h"
#include "zipsfx/entry_names.h"

namespace kitforge::zipsfx {

namespace {

constexpr int kWidth = 600;
constexpr int kHeight = 320;
constexpr int kMargin = 14;
constexpr int kButtonWidth = 120;  // at most; narrower when many
constexpr int kButtonHeight = 30;

// No answer yet, and the window closed (or Escape) instead of a button.
constexpr int kWaiting = -2;
constexpr int kClosed = -1;

using window::LabelText;

class SfxWindow final : public SfxFrontEnd {
public:
    explicit SfxWindow(const std::string& program_name) : window_(kWidth, kHeight), title_(program_name) {
        window_.copy_label(title_.c_str());
        window_.user_data(this);
        window_.callback(OnClose);
        window_.end();
        window::CenterOnScreen(window_);
    }

    std::optional<std::string> Begin(const SfxIntroduction& introduction) override {
        if (!introduction.caption.empty()) {
            title_ = introduction.caption;
            window_.copy_label(title_.c_str());
        }
        folder_ = introduction.folder;
        for (;;) {
            StartPage();
            Text(kMargin, 50, "Extract the files to:");
            auto* input = new Fl_Input(kMargin, 76, kWidth - 3 * kMargin - kButtonWidth, kButtonHeight);
            input->value(folder_.c_str());
            if (introduction.folder_choosable) {
                auto* browse =
                    new Fl_Button(kWidth - kMargin - kButtonWidth, 76, kButtonWidth, kButtonHeight, "Browse...");
                browse->user_data(input);
                browse->callback(OnBrowse);
            } else {
                input->readonly(1);
            }
            Buttons({"Extract", "Exit"}, 0);
            if (Wait() != 0) return Leave();
            const std::string chosen = window::AbsoluteFolder(input->value());
            if (!chosen.empty()) {
                folder_ = chosen;
                return folder_;
            }
            fl_alert("Please give the folder to extract the files to.");
        }
    }

    std::optional<std::vector<bool>> ChooseFiles(const std::vector<std::string>& files) override {
        StartPage();
        Text(kMargin, 50, "Choose the files to extract:");
        auto* list =
            new Fl_Check_Browser(kMargin, 76, kWidth - 2 * kMargin, kHeight - 76 - 2 * kMargin - kButtonHeight);
        for (const std::string& file : files) list->add(file.c_str(), 1);
        Buttons({"Extract", "Exit"}, 0);
        if (Wait() != 0) return Leave();
        std::vector<bool> chosen(files.size());
        for (std::size_t n = 0; n < files.size(); ++n) chosen[n] = list->checked(static_cast<int>(n + 1)) != 0;
        return chosen;
    }

    std::optional<OverwriteMode> AskOverwriteMode(std::size_t existing, OverwriteMode proposed) override {
        static constexpr OverwriteMode kModes[] = {OverwriteMode::Confirm, OverwriteMode::Always, OverwriteMode::Never};
        int proposed_button = 0;
        for (int n = 0; n < 3; ++n) {
            if (kModes[n] == proposed) proposed_button = n;
        }
        StartPage();
        Text(kMargin, 50,
             std::to_string(existing) + (existing == 1 ? " file exists" : " files exist") +
                 " already in the folder. Replace existing files?");
        const int answer = Ask({"Confirm each", "Always", "Never", "Exit"}, proposed_button);
        if (answer < 0 || answer == 3) return Leave();
        return kModes[answer];
    }

    ReplaceAnswer AskReplace(const std::string& path) override {
        StartPage();
        Text(kMargin, 50, "Replace the existing file\n" + path + "?");
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
        Text(kMargin, 50, "The files are extracted. Run this command now?\n\n" + command);
        const int answer = Ask({"Run", "Do not run"}, proposed ? 0 : 1);
        if (answer < 0) left_ = true;
        return answer == 0;
    }

    std::optional<std::string> AskPassword(const std::string& path, bool again) override {
        StartPage();
        Text(kMargin, 50,
             (again ? "The password is wrong. Please try again.\n" : std::string()) + "The file " + path +
                 " is encrypted. Its password:");
        auto* input = new Fl_Secret_Input(kMargin, 100, kWidth - 2 * kMargin, kButtonHeight);
        input->when(FL_WHEN_ENTER_KEY_ALWAYS);
        input->callback(OnPasswordEnter, this);
        Buttons({"OK", "Exit"}, -1);
        input->take_focus();
        const int answer = Wait();
        // Nothing of the password stays in the window once it is read.
        std::string password = input->value();
        input->value("");
        if (answer != 0) return Leave();
        return password;
    }

    void Kept(const std::string&) override {}

    void Extracting(const std::string& path) override {
        if (progress_ == nullptr) {
            StartPage();
            Text(kMargin, 50, "Extracting to " + Printable(folder_));
            progress_ = new Fl_Progress(kMargin, 90, kWidth - 2 * kMargin, 24);
            progress_->minimum(0);
            progress_->maximum(1);
            progress_->selection_color(FL_DARK_BLUE);
            current_ = new Fl_Box(kMargin, 120, kWidth - 2 * kMargin, 24);
            current_->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
            Buttons({"Cancel"}, -1);
            answer_ = kWaiting;
            window::ShowWindow(window_);
        }
        current_->copy_label(LabelText(path).c_str());
        window::HandlePendingEventsNow();
    }

    bool Progress(std::uint64_t done, std::uint64_t total) override {
        if (progress_ != nullptr && total > 0) {
            progress_->value(static_cast<float>(static_cast<double>(done) / static_cast<double>(total)));
        }
        if (done == total) {
            window::HandlePendingEventsNow();
        } else {
            window::HandlePendingEvents();
        }
        // The Cancel button, or closing the window, stops the extraction.
        return answer_ == kWaiting;
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
        Text(kMargin, 50, text + lines_, kHeight - 50 - 2 * kMargin - kButtonHeight);
        Ask({"Close"}, 0);
        window_.hide();
        Fl::check();
    }

private:
    static void OnClose(Fl_Widget*, void* data) {
        auto* self = static_cast<SfxWindow*>(data);
        self->answer_ = kClosed;
        self->closed_ = true;
    }

    static void OnButton(Fl_Widget* button, void* data) {
        auto* self = static_cast<SfxWindow*>(data);
        for (std::size_t n = 0; n < self->buttons_.size(); ++n) {
            if (self->buttons_[n] == button) self->answer_ = static_cast<int>(n);
        }
    }

    // Enter in the password field answers as the OK button does.
    static void OnPasswordEnter(Fl_Widget*, void* data) { static_cast<SfxWindow*>(data)->answer_ = 0; }

    static void OnBrowse(Fl_Widget*, void* data) {
        auto* input = static_cast<Fl_Input*>(data);
        if (const auto folder = window::ChooseFolder("Extract to", input->value())) input->value(folder->c_str());
    }

    // Clears the window for the next page, headed by the caption.
    void StartPage() {
        window_.clear();
        window_.begin();
        buttons_.clear();
        progress_ = nullptr;
        current_ = nullptr;
        auto* heading = new Fl_Box(kMargin, kMargin, kWidth - 2 * kMargin, 26);
        heading->copy_label(LabelText(title_).c_str());
        heading->labelfont(FL_HELVETICA_BOLD);
        heading->labelsize(16);
        heading->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
    }

    void Text(int x, int y, const std::string& text, int height = 60) {
        auto* box = new Fl_Box(x, y, kWidth - x - kMargin, height);
        box->copy_label(LabelText(text).c_str());
        box->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP | FL_ALIGN_CLIP);
    }

    // A row of buttons along the bottom, right-aligned; Return presses the one at `proposed`
    // (-1: none), Escape closes the page as the window's close box does.
    void Buttons(const std::vector<const char*>& labels, int proposed) {
        const int count = static_cast<int>(labels.size());
        const int width = std::min(kButtonWidth, (kWidth - 2 * kMargin - 8 * (count - 1)) / count);
        int x = kWidth - kMargin - count * (width + 8) + 8;
        const int y = kHeight - kMargin - kButtonHeight;
        for (std::size_t n = 0; n < labels.size(); ++n) {
            Fl_Button* button = static_cast<int>(n) == proposed
                                    ? new Fl_Return_Button(x, y, width, kButtonHeight, labels[n])
                                    : new Fl_Button(x, y, width, kButtonHeight, labels[n]);
            button->callback(OnButton, this);
            buttons_.push_back(button);
            x += width + 8;
        }
        window_.end();
        if (proposed >= 0) buttons_[static_cast<std::size_t>(proposed)]->take_focus();
    }

    int Ask(const std::vector<const char*>& labels, int proposed) {
        Buttons(labels, proposed);
        return Wait();
    }

    // Shows the page and waits for a button or the close box.
    int Wait() {
        answer_ = kWaiting;
        window_.redraw();
        window::ShowWindow(window_);
        while (answer_ == kWaiting) {
            if (Fl::wait() == 0) answer_ = kClosed;
        }
        if (answer_ == kClosed) closed_ = true;
        return answer_;
    }

    // The person asked to stop at a question: nothing more is shown.
    std::nullopt_t Leave() {
        left_ = true;
        return std::nullopt;
    }

    Fl_Double_Window window_;
    std::string title_;
    std::string folder_;
    std::string lines_;
    std::vector<Fl_Button*> buttons_;
    Fl_Progress* progress_ = nullptr;
    Fl_Box* current_ = nullptr;
    int answer_ = kWaiting;
    bool left_ = false;
    bool closed_ = false;
};

}  // namespace

std::unique_ptr<SfxFrontEnd> MakeSfxWindow(const std::string& program_name) {
    if (!window::OpenWindowDisplay()) return nullptr;
    window::UseServerFontsWhenNoneInstalled();
    return std::make_unique<SfxWindow>(program_name);
}

}  // namespace kitforge::zipsfx
