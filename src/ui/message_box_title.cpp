#include "ui/message_box_title.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>
#include <QStyle>
#include <algorithm>

namespace kitforge {

namespace {

// Title bars are about as high as their buttons are wide: the icon and three buttons take
// four of those squares, and the padding around the title and between the buttons about
// one more.
constexpr int kTitleBarSquares = 5;
// Desktops set titles larger than Qt guesses; a tenth more keeps a longer face from cutting them.
constexpr double kTitleFontAllowance = 1.1;

}  // namespace

int TitleBarWidth(const QString& title, const QFont& font, const QWidget& window) {
    QFont title_font = font;
    title_font.setBold(true);
    const int text = QFontMetrics(title_font).horizontalAdvance(title);
    const int square = window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window);
    return static_cast<int>(text * kTitleFontAllowance) + kTitleBarSquares * square;
}

void WidenForTitle(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr) return;
    int width = TitleBarWidth(box.windowTitle(), QApplication::font("QMdiSubWindowTitleBar"), box);
    if (const QScreen* screen = box.screen()) width = std::min(width, screen->availableGeometry().width());
    // The box fixes its own size from its layout's minimum when it is shown, so the width is
    // asked for there: a blank row across every column of the box's grid.
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

}  // namespace kitforge
