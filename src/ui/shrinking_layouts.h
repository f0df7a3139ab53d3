#pragma once
// Ways for the editor's window to give up height on a small screen (a 1280x800 screen at a
// scale factor of 2 leaves 640x400 device-independent pixels) without hiding a control: gaps
// that close up, a group whose fields scroll, and, when even that is not enough, a window whose
// contents scroll as a whole. At the designed size none of them changes what is shown.

#include <QGroupBox>

class QBoxLayout;
class QScrollArea;

namespace kitforge {

// Lets the gaps of `layout` shrink to nothing when it is short of room: its spacing, and the
// fixed spacings added to it, become spacers of the same height that give way first. Call it
// once the layout holds its items.
void LetSpacingShrink(QBoxLayout& layout);

// A frameless scroll area around `contents` that gives it all its room and scrolls it only
// when the room is less than its smallest size.
QScrollArea* ScrollWhenShort(QWidget* contents);

// A group box whose fields scroll. It asks for its designed height (or for its fields' own
// height, when a larger font makes them taller) and, when the window is short of room, shrinks
// to a field or two with a scroll bar instead of pushing the controls below it off the screen.
class ScrollingGroupBox : public QGroupBox {
public:
    ScrollingGroupBox(const QString& title, int designed_height);

    // Puts `fields`, laid out by their own layout, into the group's scroll area, which is named
    // after the group with "Scroll" appended. Name the group first.
    void SetFields(QWidget* fields);

    QSize sizeHint() const override;

private:
    int designed_height_;
    QScrollArea* scroll_ = nullptr;
};

}  // namespace kitforge
