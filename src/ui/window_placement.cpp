#include "ui/window_placement.h"

#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace kitforge {

namespace {

// Where a span of `length` starts inside [start, start + room): centred when it fits, else at
// the start, so the top and left edges (the title bar, the menu) stay on the screen.
int Centred(int start, int room, int length) { return start + std::max(0, (room - length) / 2); }

}  // namespace

WindowPlace OpeningPlace(QSize wanted, QSize minimum, const QRect& available, const QMargins& frame) {
    const QSize room = available.size().shrunkBy(frame);
    const QSize size = wanted.boundedTo(room).expandedTo(minimum);
    const QSize outer = size.grownBy(frame);
    return {QPoint(Centred(available.x(), available.width(), outer.width()),
                   Centred(available.y(), available.height(), outer.height())),
            size};
}

QMargins ExpectedFrame(const QWidget& window) {
    const QStyle* style = window.style();
    const int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, &window);
    const int title = style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
    return {border, title + border, border, border};
}

void PlaceOnScreen(QWidget& window, QSize wanted) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        window.resize(wanted);
        return;
    }
    const WindowPlace place =
        OpeningPlace(wanted, window.minimumSizeHint(), screen->availableGeometry(), ExpectedFrame(window));
    window.resize(place.size);
    window.move(place.frame_position);
}

}  // namespace kitforge
