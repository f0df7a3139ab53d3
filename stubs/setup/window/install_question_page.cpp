#include "setup/window/install_question_page.h"

#include <FL/Enumerations.H>

#include "platform/printable_text.h"
#include "window/folder_chooser.h"
#include "window/label_text.h"
#include "window/window_layout.h"

namespace kitforge::setup {

using namespace kitforge::window;

namespace {

constexpr int kBrowseWidth = 90;
constexpr int kFolderTop = 190;

}  // namespace

InstallQuestionPage::InstallQuestionPage(int x, int y, int w, int h, std::function<void(bool)> on_answer)
    : Fl_Group(x, y, w, h),
      title_(x + kMargin, y + kMargin, w - 2 * kMargin, 2 * kLineHeight),
      prompt_(x + kMargin, y + kMargin + 2 * kLineHeight, w - 2 * kMargin, kFolderTop - 2 * kLineHeight - 2 * kMargin),
      folder_(x + kMargin, y + kFolderTop, w - 3 * kMargin - kBrowseWidth, kButtonHeight),
      browse_(x + w - kMargin - kBrowseWidth, y + kFolderTop, kBrowseWidth, kButtonHeight, "Browse..."),
      go_(x + w - 2 * kMargin - 2 * kButtonWidth, ButtonRowTop(y, h), kButtonWidth, kButtonHeight),
      exit_(x + w - kMargin - kButtonWidth, ButtonRowTop(y, h), kButtonWidth, kButtonHeight, "Exit"),
      on_answer_(std::move(on_answer)) {
    end();
    title_.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP | FL_ALIGN_CLIP);
    title_.labelfont(FL_HELVETICA_BOLD);
    title_.labelsize(kHeadingSize);
    prompt_.align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP | FL_ALIGN_CLIP);
    folder_.align(FL_ALIGN_TOP_LEFT);
    folder_.when(FL_WHEN_CHANGED);
    folder_.callback(FolderEdited, this);
    browse_.callback(BrowsePressed, this);
    go_.callback(GoPressed, this);
    exit_.callback(ExitPressed, this);
}

void InstallQuestionPage::Show(const SetupIntroduction& introduction) {
    const bool install = introduction.action == SetupAction::Install;
    title_text_ = LabelText(introduction.title);
    title_.label(title_text_.c_str());
    prompt_text_ = LabelText(introduction.prompt);
    prompt_.label(prompt_text_.c_str());
    folder_.label(install ? "Install folder:" : "Installed in:");
    go_.label(install ? "Install" : "Uninstall");
    introduced_folder_ = introduction.folder;
    shown_folder_ = Printable(introduction.folder);
    folder_.value(shown_folder_.c_str());
    folder_.readonly(introduction.folder_choosable ? 0 : 1);
    // A folder that cannot be changed does not look like a field to type in.
    folder_.color(introduction.folder_choosable ? FL_BACKGROUND2_COLOR : FL_BACKGROUND_COLOR);
    if (introduction.folder_choosable) {
        browse_.show();
        folder_.take_focus();
    } else {
        browse_.hide();
        go_.take_focus();
    }
    show();
}

std::string InstallQuestionPage::ChosenFolder() const {
    const std::string text = folder_.value();
    return text == shown_folder_ ? introduced_folder_ : AbsoluteFolder(text);
}

void InstallQuestionPage::GoPressed(Fl_Widget*, void* page) {
    static_cast<InstallQuestionPage*>(page)->on_answer_(true);
}

void InstallQuestionPage::ExitPressed(Fl_Widget*, void* page) {
    static_cast<InstallQuestionPage*>(page)->on_answer_(false);
}

void InstallQuestionPage::BrowsePressed(Fl_Widget*, void* page) {
    auto* self = static_cast<InstallQuestionPage*>(page);
    if (const auto chosen = ChooseFolder("Install folder", self->ChosenFolder())) {
        self->folder_.value(chosen->c_str());
        FolderEdited(&self->folder_, self);
    }
}

// An empty field names no folder: Install waits for one.
void InstallQuestionPage::FolderEdited(Fl_Widget*, void* page) {
    auto* self = static_cast<InstallQuestionPage*>(page);
    if (self->folder_.size() == 0) {
        self->go_.deactivate();
    } else {
        self->go_.activate();
    }
}

}  // namespace kitforge::setup
