#pragma once
// The first page of the installer's window: the title, the prompt and the install folder, and
// whether to go on.

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Return_Button.H>

#include <functional>
#include <string>

#include "setup/setup_front_end.h"

namespace kitforge::setup {

class InstallQuestionPage : public Fl_Group {
public:
    // Fills the window's area `x`, `y`, `w`, `h`. `on_answer` gets true for Install (or
    // Uninstall), false for Exit.
    InstallQuestionPage(int x, int y, int w, int h, std::function<void(bool)> on_answer);

    // Shows `introduction`; the folder field can be edited and browsed only when the folder
    // may be chosen.
    void Show(const SetupIntroduction& introduction);

    // The folder the person chose: the one introduced when the field still shows it, else the
    // field's text as a full path.
    std::string ChosenFolder() const;

private:
    static void GoPressed(Fl_Widget*, void* page);
    static void ExitPressed(Fl_Widget*, void* page);
    static void BrowsePressed(Fl_Widget*, void* page);
    static void FolderEdited(Fl_Widget*, void* page);

    Fl_Box title_;
    Fl_Box prompt_;
    Fl_Input folder_;
    Fl_Button browse_;
    Fl_Return_Button go_;
    Fl_Button exit_;
    std::function<void(bool)> on_answer_;
    std::string introduced_folder_;
    std::string shown_folder_;
    std::string title_text_;
    std::string prompt_text_;
};

}  // namespace kitforge::setup
