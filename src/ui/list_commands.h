#pragma once
// The buttons beside the script list and a double-click on it. The seven command buttons
// edit the selected row, or append when no row is selected; Insert, Delete, Up and Down
// move rows about. Which of them mark the project changed is decided here. With several rows
// selected, Delete removes them all; everything else acts on the first of them.

#include <cstddef>
#include <string>

#include "model/build_script.h"
#include "ui/command_dialogs.h"
#include "ui/editor_project.h"

namespace kitforge {

class ListCommands {
public:
    ListCommands(EditorProject& project, CommandDialogs& dialogs) : project_(project), dialogs_(dialogs) {}

    // The button of one command kind: opens its dialog, filled from the selected row
    // whatever that row holds now, and on OK rewrites that row or appends new rows.
    // Quit opens no dialog and acts as if OK had been pressed. Gives true after OK.
    bool CommandButton(CommandKind kind);

    // A new empty row above the selected one, or at the end; it becomes the selected row.
    // Not a change of the project: an empty row is not saved.
    void Insert();
    // Removes every selected row without a question.
    void Delete();
    // Exchanges the selected row with the one above (below); the moved command stays selected,
    // alone.
    void Up();
    void Down();
    // Acts as the button of the selected row's command; an empty row or no selection does nothing.
    void DoubleClick();

    // What a command button will do now: "Replaces row N" (counted from 1) or "Adds a row".
    std::string CommandButtonTarget() const;

private:
    bool ApplyPut(const ScriptCommand& filled);
    void Store(ScriptCommand command);
    // Exchanges the selected row with the one `step` away, when there is one.
    void Move(int step);

    EditorProject& project_;
    CommandDialogs& dialogs_;
};

}  // namespace kitforge
