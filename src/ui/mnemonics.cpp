#include "ui/mnemonics.h"

#include "ui/qt_text.h"

namespace kitforge {

QString WithMnemonic(const QString& text, QChar letter) {
    QString marked;
    bool done = false;
    for (const QChar c : text) {
        if (c == u'&') {
            marked += QStringLiteral("&&");
            continue;
        }
        if (!done && c.toLower() == letter.toLower()) {
            marked += u'&';
            done = true;
        }
        marked += c;
    }
    return marked;
}

QChar FirstLetterNotIn(const QString& text, QStringView taken) {
    for (const QChar c : text) {
        if (c.isLetter() && !taken.contains(c, Qt::CaseInsensitive)) return c;
    }
    return u' ';
}

QString CommandButtonCaption(CommandKind kind) {
    QChar letter = u' ';
    switch (kind) {
        case CommandKind::Put: letter = u'u'; break;
        case CommandKind::Execute: letter = u'x'; break;
        case CommandKind::Run: letter = u'r'; break;
        case CommandKind::Copy: letter = u'c'; break;
        case CommandKind::Shortcut: letter = u's'; break;
        case CommandKind::CleanUp: letter = u'l'; break;
        case CommandKind::Quit: letter = u'q'; break;
        case CommandKind::None: break;
    }
    return WithMnemonic(ToQt(CommandCaption(kind)), letter);
}

}  // namespace kitforge
