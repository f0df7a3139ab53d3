#pragma once
// Help > Read Me inside the editor, for a desktop that has no viewer for text files: a window
// that shows readme.txt, read-only, beside the main window.

#include <string>

class QWidget;

namespace kitforge {

// Shows the file in a read-only text window owned by `parent`; a window already showing it is
// brought to the front instead. Throws ReadError naming the file when it cannot be read.
void ShowReadMeWindow(QWidget* parent, const std::string& path);

}  // namespace kitforge
