// kitforge: the editor of installer build scripts. It opens one main window and ends when
// that window closes. A build script named on the command line is opened at once; others are
// opened from the File menu, its recent files, or by dropping them onto the window.

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <cstdio>
#include <cstring>
#include <optional>

#include "ui/kitforge_form.h"
#include "ui/program_identity.h"
#include "ui/qt_text.h"
#include "ui/qt_ui_host.h"
#include "ui/recent_files_store.h"

namespace {

constexpr const char* kUsage =
    "Usage: kitforge [SCRIPT.inf]\n"
    "The Kitforge editor: edits installer build scripts (.inf) and builds installers from them.\n"
    "SCRIPT.inf, when given, is opened at once; otherwise the window starts with a new project.\n"
    "Open scripts later with File > Open, File > Open Recent, or by dropping them onto the window.\n"
    "The program folder holds readme.txt (Help > Read Me), the installer stub setup.ex_ and the\n"
    "other files Build needs. For builds without a window, use kitforge-cli.\n"
    "\n"
    "  -h, --help     show this text and end\n"
    "  --version      show the version and end\n"
    "\n"
    "Qt's own options (-platform, -style, ...) are taken as well.\n";

// --help and --version answer on the terminal before Qt starts, so they need no display.
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

// The script to open, from what Qt left of the arguments: at most one, and no option Qt did
// not know. Gives false, having said why on stderr, for anything else.
bool ScriptArgument(const QStringList& arguments, std::optional<QString>& script) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument.startsWith(QLatin1Char('-'))) {
            std::fprintf(stderr, "kitforge: unknown option %s\nTry kitforge --help.\n", qPrintable(argument));
            return false;
        }
        if (script) {
            std::fprintf(stderr, "kitforge: one build script at a time (%s and %s were given)\n", qPrintable(*script),
                         qPrintable(argument));
            return false;
        }
        script = argument;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (AnswerOnTerminal(argc, argv)) return 0;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kitforge"));
    std::optional<QString> script;
    if (!ScriptArgument(QApplication::arguments(), script)) return 2;

    kitforge::QtUiHost host;
    auto environment = kitforge::EditorEnvironment::ForThisProgram();
    environment.open_document = [](const std::string& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(kitforge::ToQt(path)));
    };
    environment.recent_files_store = kitforge::SettingsRecentFilesStore();
    kitforge::TKitforgeForm form(host, std::move(environment));
    form.show();
    // A script that cannot be opened is reported in the window, which then holds a new project.
    if (script) form.OpenFile(kitforge::FromQt(QFileInfo(*script).absoluteFilePath()));
    return application.exec();
}
