#pragma once
// The page a stub's window shows while it works: what it does, a bar over the bytes written,
// the warnings so far, and Cancel.

#include <FL/Fl_Box.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Progress.H>

#include <cstdint>
#include <functional>
#include <string>

namespace kitforge::window {

class ProgressPage : public Fl_Group {
public:
    // Fills the window's area `x`, `y`, `w`, `h`; `on_cancel` runs when Cancel is pressed.
    ProgressPage(int x, int y, int w, int h, std::function<void()> on_cancel);

    // What is being done now ("Extracting readme.txt").
    void SetStep(const std::string& text);
    // `done` of `total` bytes written; `file` is the one being written.
    void SetBytes(std::uint64_t done, std::uint64_t total, const std::string& file);
    void AddWarning(const std::string& text);
    // Cancel was pressed: the button says so and cannot be pressed again.
    void ShowCancelling();

private:
    static void CancelPressed(Fl_Widget*, void* page);

    Fl_Box step_;
    Fl_Box file_;
    Fl_Progress bar_;
    Fl_Browser warnings_;
    Fl_Button cancel_;
    std::function<void()> on_cancel_;
    std::string step_text_;
    std::string file_text_;
    std::string percent_text_;
};

}  // namespace kitforge::window
