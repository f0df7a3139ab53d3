#pragma once
// The last page of a stub's window: how it ended, the lines that say why, and Close.

#include <FL/Fl_Box.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Multiline_Output.H>
#include <FL/Fl_Return_Button.H>

#include <functional>
#include <string>
#include <vector>

namespace kitforge::window {

class ResultPage : public Fl_Group {
public:
    // Fills the window's area `x`, `y`, `w`, `h`; `on_close` runs when Close is pressed.
    ResultPage(int x, int y, int w, int h, std::function<void()> on_close);

    // `heading` in large letters ("Installation complete."), `lines` below it, one a line,
    // selectable so that a failure can be copied into a report.
    void Show(const std::string& heading, const std::vector<std::string>& lines);

private:
    static void ClosePressed(Fl_Widget*, void* page);

    Fl_Box heading_;
    Fl_Multiline_Output lines_;
    Fl_Return_Button close_;
    std::function<void()> on_close_;
    std::string heading_text_;
};

}  // namespace kitforge::window
