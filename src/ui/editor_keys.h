#pragma once
// The keys the main window handles itself: on the script list, Delete, Enter, F2 and
// Ctrl+Up/Down; everywhere, Undo and Redo of the project.

class QKeyEvent;

namespace kitforge {

enum class ListKey {
    None,
    DeleteRows,  // Delete: removes the selected rows
    EditRow,     // Enter, Return or F2: as a double-click on the selected row
    MoveUp,      // Ctrl+Up
    MoveDown,    // Ctrl+Down
};

ListKey ListKeyFor(const QKeyEvent& event);

enum class UndoKey { None, Undo, Redo };

// Ctrl+Z is Undo; Ctrl+Shift+Z and Ctrl+Y are Redo. A text field takes these keys for its own
// undo before the window's menu sees them; the window hands them to the project's history
// instead, so there is one undo, whichever control has the focus.
UndoKey UndoKeyFor(const QKeyEvent& event);

}  // namespace kitforge
