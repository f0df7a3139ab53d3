#pragma once
// The editor's font: Verdana at 8 points (11 pixels high, so the fixed layouts fit), or the
// nearest font the system has when Verdana is missing.

#include <QFont>

namespace kitforge {

inline QFont EditorFont() {
    QFont font(QStringLiteral("Verdana"));
    font.setPixelSize(11);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

}  // namespace kitforge
