#pragma once
// The window that lists what the check before a build found, with "Build anyway" and
// "Cancel"; Cancel is the default, so Enter goes back to the script to mend it.

#include <QDialog>
#include <string>
#include <vector>

namespace kitforge {

class TBuildCheckForm : public QDialog {
    Q_OBJECT

public:
    explicit TBuildCheckForm(const std::vector<std::string>& problems, QWidget* parent = nullptr);
};

}  // namespace kitforge
