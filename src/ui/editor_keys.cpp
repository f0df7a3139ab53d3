#include "ui/editor_keys.h"

#include <QKeyEvent>

namespace kitforge {

ListKey ListKeyFor(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier) {
        switch (event.key()) {
            case Qt::Key_Delete: return ListKey::DeleteRows;
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_F2: return ListKey::EditRow;
            default: return ListKey::None;
        }
    }
    if (modifiers == Qt::ControlModifier) {
        if (event.key() == Qt::Key_Up) return ListKey::MoveUp;
        if (event.key() == Qt::Key_Down) return ListKey::MoveDown;
    }
    return ListKey::None;
}

UndoKey UndoKeyFor(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (event.key() == Qt::Key_Z && modifiers == Qt::ControlModifier) return UndoKey::Undo;
    if (event.key() == Qt::Key_Z && modifiers == (Qt::ControlModifier | Qt::ShiftModifier)) return UndoKey::Redo;
    if (event.key() == Qt::Key_Y && modifiers == Qt::ControlModifier) return UndoKey::Redo;
    if (event.matches(QKeySequence::Undo)) return UndoKey::Undo;
    if (event.matches(QKeySequence::Redo)) return UndoKey::Redo;
    return UndoKey::None;
}

}  // namespace kitforge
