#pragma once
// The Alt keys of the editor's menus, buttons and labelled fields. The letter of each control
// is chosen by hand, so that no two controls of one window share one; these functions only
// put the mark in place.

#include <QString>
#include <QStringView>

#include "model/command_kinds.h"

namespace kitforge {

// `text` with its first `letter` (either case) marked as the Alt key. An "&" already in the
// text stays a plain character. Without that letter the text is given back unmarked.
QString WithMnemonic(const QString& text, QChar letter);

// The first letter of `text` that is none of `taken` (either case); a space when there is none.
QChar FirstLetterNotIn(const QString& text, QStringView taken);

// The caption of a command button beside the script list, with its Alt key: Put is Alt+U,
// Execute Alt+X, Run Alt+R, Copy Alt+C, Shortcut Alt+S, Clean Up Alt+L and Quit Alt+Q: Put,
// Execute and Clean Up leave their first letters to Prompt, the Edit menu and Copy.
QString CommandButtonCaption(CommandKind kind);

}  // namespace kitforge
