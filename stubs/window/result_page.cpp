#include "window/result_page.h"

#include <FL/Enumerations.H>

#include "window/label_text.h"
#include "window/window_layout.h"

namespace kitforge::window {

ResultPage::ResultPage(int x, int y, int w, int h, std::function<void()> on_close)
    : Fl_Group(x, y, w, h),
      heading_(x + kMargin, y + kMargin, w - 2 * kMargin, 2 * kLineHeight),
      lines_(x + kMargin, y + kMargin + 2 * kLineHeight + 8, w - 2 * kMargin,
             ButtonRowTop(y, h) - (y + kMargin + 2 * kLineHeight + 8) - kMargin),
      close_(x + w - kMargin - kButtonWidth, ButtonRowTop(y, h), kButtonWidth, kButtonHeight, "Close"),
      on_close_(std::move(on_close)) {
    end();
    heading_.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP | FL_ALIGN_CLIP);
    heading_.labelfont(FL_HELVETICA_BOLD);
    heading_.labelsize(kHeadingSize);
    lines_.wrap(1);
    lines_.box(FL_FLAT_BOX);
    lines_.color(FL_BACKGROUND_COLOR);
    close_.callback(ClosePressed, this);
}

void ResultPage::Show(const std::string& heading, const std::vector<std::string>& lines) {
    heading_text_ = LabelText(heading);
    heading_.label(heading_text_.c_str());
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    lines_.value(text.c_str());
    lines_.visible_focus(0);
    if (text.empty()) lines_.hide();
    show();
    close_.take_focus();
}

void ResultPage::ClosePressed(Fl_Widget*, void* page) {
    auto* self = static_cast<ResultPage*>(page);
    if (self->on_close_) self->on_close_();
}

}  // namespace kitforge::window
