#pragma once
// Text crosses into Qt only at the widgets: the program's texts are 8-bit strings holding
// UTF-8 on this platform. A script in code page 1252 is turned into UTF-8 when it is opened
// and back when it is saved (model/script_encoding.h), so the editor's texts are UTF-8 too.

#include <QString>
#include <string>
#include <string_view>

#include "platform/paths.h"

namespace kitforge {

inline QString ToQt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string FromQt(const QString& text) { return text.toStdString(); }

// A path as Qt's file dialogs want it here ("\" separators of a script become "/").
inline std::string NativeText(std::string_view path) { return NativePath(path); }

}  // namespace kitforge
