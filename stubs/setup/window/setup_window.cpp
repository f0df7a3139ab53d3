#include "setup/window/setup_window.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include <vector>

#include "setup/setup_cancel.h"
#include "setup/setup_console.h"
#include "setup/window/install_question_page.h"
#include "window/event_pump.h"
#include "window/progress_page.h"
#include "window/result_page.h"
#include "window/server_fonts.h"
#include "window/window_display.h"
#include "window/window_layout.h"

namespace kitforge::setup {

namespace {

using namespace kitforge::window;

// How long the question waits for the toolkit before it looks at Ctrl+C again.
constexpr double kQuestionPollSeconds = 0.1;

class SetupWindow : public SetupFrontEnd {
public:
    explicit SetupWindow(const std::string& program_name)
        : echo_(SetupStreams{}, program_name, true),
          window_(kWindowWidth, kWindowHeight),
          question_(0, 0, kWindowWidth, kWindowHeight, [this](bool go) { Answered(go); }),
          progress_(0, 0, kWindowWidth, kWindowHeight, [] { RequestCancel(); }),
          result_(0, 0, kWindowWidth, kWindowHeight, [this] { window_.hide(); }) {
        window_.end();
        window_.xclass("kitforge-setup");
        window_.callback(WindowClosing, this);
        CenterOnScreen(window_);
        question_.hide();
        progress_.hide();
        result_.hide();
    }

    std::optional<std::string> Ask(const SetupIntroduction& introduction) override {
        action_ = introduction.action;
        window_.copy_label(introduction.title.empty() ? "Setup" : introduction.title.c_str());
        question_.Show(introduction);
        stage_ = Stage::Question;
        ShowWindow(window_);
        while (answer_ == Answer::None) {
            Fl::wait(kQuestionPollSeconds);
            if (CancelRequested() || !window_.shown()) answer_ = Answer::Exit;
        }
        if (answer_ == Answer::Exit) {
            stage_ = Stage::Closed;
            window_.hide();
            HandlePendingEventsNow();
            return std::nullopt;
        }
        question_.hide();
        progress_.show();
        stage_ = Stage::Working;
        HandlePendingEventsNow();
        return question_.ChosenFolder();
    }

    void Step(std::size_t number, std::size_t count, const std::string& text) override {
        echo_.Step(number, count, text);
        progress_.SetStep(text);
        // A step may be a program the script runs and waits for: show it before it starts.
        HandlePendingEventsNow();
    }

    void Warning(const std::string& text) override {
        echo_.Warning(text);
        warnings_.push_back("warning: " + text);
        progress_.AddWarning(text);
        HandlePendingEventsNow();
    }

    void Bytes(std::uint64_t done, std::uint64_t total, const std::string& file) override {
        progress_.SetBytes(done, total, file);
        HandlePendingEvents();
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
        ShowWindow(window_);
        while (window_.shown()) Fl::wait();
        stage_ = Stage::Closed;
    }

private:
    enum class Stage { NotShown, Question, Working, Result, Closed };
    enum class Answer { None, Go, Exit };

    void Answered(bool go) { answer_ = go ? Answer::Go : Answer::Exit; }

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
        if (window_.label() == nullptr) window_.label("Setup");
        question_.hide();
        progress_.hide();
        result_.Show(heading, lines);
    }

    // The window manager's close button, and Escape: Exit at the question, Cancel while
    // working (but not Escape there, which is too easily pressed by accident), Close at the end.
    static void WindowClosing(Fl_Widget*, void* front) {
        auto* self = static_cast<SetupWindow*>(front);
        const bool escape = Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape;
        switch (self->stage_) {
            case Stage::Question: self->Answered(false); break;
            case Stage::Working:
                if (!escape) {
                    self->progress_.ShowCancelling();
                    RequestCancel();
                }
                break;
            default: self->window_.hide(); break;
        }
    }

    TerminalFrontEnd echo_;
    Fl_Double_Window window_;
    InstallQuestionPage question_;
    ProgressPage progress_;
    ResultPage result_;
    SetupAction action_ = SetupAction::Install;
    Stage stage_ = Stage::NotShown;
    Answer answer_ = Answer::None;
    std::vector<std::string> said_;
    std::vector<std::string> complaints_;
    std::vector<std::string> warnings_;
};

}  // namespace

std::unique_ptr<SetupFrontEnd> MakeSetupWindow(const std::string& program_name) {
    if (!OpenWindowDisplay()) return nullptr;
    UseServerFontsWhenNoneInstalled();
    Fl::scheme("gtk+");
    return std::make_unique<SetupWindow>(program_name);
}

}  // namespace kitforge::setup
