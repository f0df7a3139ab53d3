#include "ui/qt_build_dialogs.h"

#include "ui/build_check_form.h"
#include "ui/build_result_form.h"

namespace kitforge {

EditorEnvironment WithQtBuildDialogs(EditorEnvironment environment, UiHost& host, QWidget* owner) {
    BuildDialogs& dialogs = environment.build_dialogs;
    if (!dialogs.confirm_build) {
        dialogs.confirm_build = [owner](const std::vector<std::string>& problems) {
            TBuildCheckForm form(problems, owner);
            return form.exec() == QDialog::Accepted;
        };
    }
    if (!dialogs.show_built) {
        dialogs.show_built = [&host, owner](const BuiltInstaller& built) {
            TBuildResultForm form(host, built, owner);
            form.exec();
        };
    }
    return environment;
}

}  // namespace kitforge
