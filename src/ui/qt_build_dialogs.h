#pragma once
// The windows of the editor's Build shown with Qt, owned by the main window.

#include "ui/file_commands.h"

class QWidget;

namespace kitforge {

// `environment` with every build window it does not have yet filled in with the Qt ones.
EditorEnvironment WithQtBuildDialogs(EditorEnvironment environment, UiHost& host, QWidget* owner);

}  // namespace kitforge
