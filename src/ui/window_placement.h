#pragma once
// Where a window opens: at the size it was designed for when the screen has room, otherwise as
// large as the screen's free area allows, and wholly on that area, title bar included. A
// 1280x800 screen at a scale factor of 2 leaves only 640x400 device-independent pixels, less
// than the editor's designed 635x504 plus its title bar; a window centred at its designed size
// there starts with its title bar above the screen and its last buttons below it.

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace kitforge {

struct WindowPlace {
    // The top-left corner of the frame (title bar and borders included), as QWidget::move takes it.
    QPoint frame_position;
    // The size of the window inside its frame, as QWidget::resize takes it.
    QSize size;
};

// The place of a window that would like `wanted` and cannot be smaller than `minimum`, on a
// screen whose free area is `available`, inside a frame of `frame`. The size never exceeds the
// free area less the frame, unless `minimum` does; the frame is centred on the free area when
// it fits there, and otherwise starts at its top-left corner, so the title bar is reachable.
WindowPlace OpeningPlace(QSize wanted, QSize minimum, const QRect& available, const QMargins& frame);

// The frame a window manager is likely to draw around `window`, for use before it has drawn
// one (Qt knows the real frame only once the window is shown): a title bar and thin borders
// as the widget style measures them.
QMargins ExpectedFrame(const QWidget& window);

// Resizes and moves the hidden top-level `window` to its opening place on its screen.
void PlaceOnScreen(QWidget& window, QSize wanted);

}  // namespace kitforge
