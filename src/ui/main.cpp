// kitforge: the editor of installer build scripts. It opens one main window and ends when
// that window closes. Build scripts are opened from the window's File menu; the program
// takes no arguments.

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>
#include <cstdio>
#include <cstring>

#include "ui/kitforge_form.h"
#include "ui/program_identity.h"
#include "ui/qt_text.h"
#include "ui/qt_ui_host.h"

namespace {

constexpr const char* kUsage =
    "Usage: kitforge\n"
    "The Kitforge editor: edits installer build scripts (.inf) and builds installers from them.\n"
    "It takes no arguments: open a build script with File > Open. The program folder holds\n"
    "readme.txt (Help > Read Me), the installer stub setup.ex_ and the other files Build needs.\n"
    "For builds without a window, use kitforge-cli.\n";

// --help and --version answer on the terminal; anything else is left to Qt, which takes its
// own options (-platform and the like), and the rest is ignored.
bool AnswerOnTerminal(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("kitforge %.*s\n", static_cast<int>(kitforge::program_identity::kFileVersion.size()),
                        kitforge::program_identity::kFileVersion.data());
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (AnswerOnTerminal(argc, argv)) return 0;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kitforge"));

    kitforge::QtUiHost host;
    auto environment = kitforge::EditorEnvironment::ForThisProgram();
    environment.open_document = [](const std::string& path) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(kitforge::ToQt(path)));
    };
    kitforge::TKitforgeForm form(host, std::move(environment));
    form.show();
    return application.exec();
}
