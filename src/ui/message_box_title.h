#pragma once
// Message boxes wide enough for their titles. QMessageBox sizes itself to its text and buttons
// and allows the title only the width of Qt's own title-bar font plus a little, so a box with a
// short message got a title bar that the desktop cut to "K… e" between its icon and buttons.

#include <QString>

class QFont;
class QMessageBox;
class QWidget;

namespace kitforge {

// The width a window needs for the desktop to show `title` whole: the title in a bold face of
// `font` (title bars are set in bold, and often larger, than the window's text) and room
// for the window's icon, its three buttons and the space around them.
int TitleBarWidth(const QString& title, const QFont& font, const QWidget& window);

// Makes `box` at least TitleBarWidth wide (never wider than its screen). Call it when the box
// has its title, text and buttons: changing those makes the box lay itself out anew.
void WidenForTitle(QMessageBox& box);

}  // namespace kitforge
