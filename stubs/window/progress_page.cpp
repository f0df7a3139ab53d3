#include "window/progress_page.h"

#include <FL/Enumerations.H>

#include "window/label_text.h"
#include "window/window_layout.h"

namespace kitforge::window {

namespace {

constexpr int kBarHeight = 26;

}  // namespace

ProgressPage::ProgressPage(int x, int y, int w, int h, std::function<void()> on_cancel)
    : Fl_Group(x, y, w, h),
      step_(x + kMargin, y + kMargin, w - 2 * kMargin, kLineHeight),
      file_(x + kMargin, y + kMargin + kLineHeight, w - 2 * kMargin, kLineHeight),
      bar_(x + kMargin, y + kMargin + 2 * kLineHeight + 8, w - 2 * kMargin, kBarHeight),
      warnings_(x + kMargin, y + kMargin + 3 * kLineHeight + kBarHeight + 24, w - 2 * kMargin,
                ButtonRowTop(y, h) - (y + kMargin + 3 * kLineHeight + kBarHeight + 24) - kMargin, "Warnings:"),
      cancel_(x + w - kMargin - kButtonWidth, ButtonRowTop(y, h), kButtonWidth, kButtonHeight, "Cancel"),
      on_cancel_(std::move(on_cancel)) {
    end();
    step_.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
    step_.labelfont(FL_HELVETICA_BOLD);
    file_.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
    bar_.minimum(0);
    bar_.maximum(1);
    bar_.selection_color(FL_BLUE);
    bar_.labelcolor(FL_WHITE);
    warnings_.align(FL_ALIGN_TOP_LEFT);
    // Warnings are plain text: no formatting codes, no columns.
    warnings_.format_char(0);
    warnings_.column_char(0);
    warnings_.hide();
    cancel_.callback(CancelPressed, this);
}

void ProgressPage::SetStep(const std::string& text) {
    step_text_ = LabelText(text);
    step_.label(step_text_.c_str());
    step_.redraw_label();
    redraw();
}

void ProgressPage::SetBytes(std::uint64_t done, std::uint64_t total, const std::string& file) {
    const double fraction = total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
    const int percent = static_cast<int>(fraction * 100);
    if (file != file_text_) {
        file_text_ = file;
        file_.copy_label(LabelText(file).c_str());
        redraw();
    }
    if (static_cast<float>(fraction) == bar_.value()) return;
    bar_.value(static_cast<float>(fraction));
    percent_text_ = std::to_string(percent) + " %";
    bar_.label(percent_text_.c_str());
}

void ProgressPage::AddWarning(const std::string& text) {
    warnings_.show();
    warnings_.add(text.c_str());
    warnings_.bottomline(warnings_.size());
    redraw();
}

void ProgressPage::ShowCancelling() {
    cancel_.label("Cancelling...");
    cancel_.deactivate();
}

void ProgressPage::CancelPressed(Fl_Widget*, void* page) {
    auto* self = static_cast<ProgressPage*>(page);
    self->ShowCancelling();
    if (self->on_cancel_) self->on_cancel_();
}

}  // namespace kitforge::window
