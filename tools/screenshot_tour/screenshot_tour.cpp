// kitforge-screenshot-tour SCRIPT.inf FOLDER [PROGRAM_FOLDER]: shows the editor's main window with a build
// script opened, then each command dialog filled as an author would have it, the About box,
// the check before a build (of a copy of the script with rows that would go wrong), and the
// window after building the script with its Test install run; it saves a picture of each to
// FOLDER with ImageMagick's `import`. The installer stub is taken from PROGRAM_FOLDER (the
// build's bin/ folder), else from beside the tour. scripts/screenshots
// runs it under a virtual X server. The window and dialogs are the editor's own classes.

#include <QApplication>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QTemporaryDir>
#include <cstdio>

#include "installer/build_check.h"
#include "installer/build_command.h"
#include "model/script_file.h"
#include "os/file.h"

#include "ui/build_check_form.h"
#include "ui/build_result_form.h"
#include "ui/copy_form.h"
#include "ui/execute_form.h"
#include "ui/extract_form.h"
#include "ui/kitforge_form.h"
#include "ui/link_form.h"
#include "ui/message_box_title.h"
#include "ui/qt_text.h"
#include "ui/qt_ui_host.h"

namespace {

using namespace kitforge;

// The editor's host, except that the open dialog answers with the tour's script.
class TourHost : public QtUiHost {
public:
    explicit TourHost(std::string script) : script_(std::move(script)) {}
    std::optional<std::vector<std::string>> OpenFiles(const FileDialogOptions&) override {
        return std::vector<std::string>{script_};
    }
    // Nobody is there to answer a box: its text goes to standard error instead.
    Answer ShowMessage(MessageKind, std::string_view text, std::string_view, Buttons buttons,
                       std::optional<Answer>) override {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
        return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Answer::Ok : Answer::No;
    }

private:
    std::string script_;
};

void Settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool Shoot(QWidget& widget, const QString& folder, const QString& name) {
    widget.show();
    widget.raise();
    widget.activateWindow();
    Settle(400);
    // The screen is in device pixels; at a scale factor above 1 the window's geometry is not.
    const qreal scale = widget.devicePixelRatioF();
    const QRect logical = widget.frameGeometry();
    const QRect g(QPoint(qRound(logical.x() * scale), qRound(logical.y() * scale)),
                  QSize(qRound(logical.width() * scale), qRound(logical.height() * scale)));
    const QString crop = QStringLiteral("%1x%2+%3+%4").arg(g.width()).arg(g.height()).arg(g.x()).arg(g.y());
    const QString file = folder + QLatin1Char('/') + name;
    const int status =
        QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                     QStringLiteral("-crop"), crop, QStringLiteral("+repage"), file});
    std::printf("%s %s (%dx%d)\n", status == 0 ? "saved" : "FAILED", qPrintable(file), g.width(), g.height());
    return status == 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kitforge"));
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: kitforge-screenshot-tour SCRIPT.inf FOLDER [PROGRAM_FOLDER]\n");
        return 2;
    }
    // Each line shows at once when the output goes to a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::string program_folder = argc == 4 ? std::string(argv[3]) + "/" : ProgramFolder();
    const QString folder = QString::fromLocal8Bit(argv[2]);
    TourHost host(argv[1]);
    TKitforgeForm form(host, EditorEnvironment::ForThisProgram());
    form.Open1Click();
    form.Project().Rows().Select(3);
    form.SyncControls();
    bool ok = Shoot(form, folder, QStringLiteral("main_window.png"));

    TExtractForm put(host, &form);
    put.SetSourceFiles(QStringLiteral("\"%apppath%\\files\\hello.sh\" \"%apppath%\\files\\readme.txt\""));
    put.SetTargetFolder(QStringLiteral("%program%"));
    ok = Shoot(put, folder, QStringLiteral("put_a_file.png")) && ok;
    put.close();

    TExecuteForm run(&form);
    run.SetCaption(QStringLiteral("Run"));
    run.SetLabelText(QStringLiteral("Run Command (don't wait)"));
    run.SetCommandLine(QStringLiteral("%program%\\hello.sh --welcome"));
    ok = Shoot(run, folder, QStringLiteral("run.png")) && ok;
    run.close();

    TCopyForm copy(host, ProgramFolder(), &form);
    copy.SetSourceFile(QStringLiteral("%program%\\readme.txt"));
    copy.SetTargetFolder(QStringLiteral("%common%\\Hello"));
    ok = Shoot(copy, folder, QStringLiteral("copy_file.png")) && ok;
    copy.close();

    TLinkForm link(&form);
    link.SetShortcutLocation(QStringLiteral("<DESKTOP>\\Hello Kitforge"));
    link.SetTargetProgram(QStringLiteral("%program%\\hello.sh"));
    link.SetArguments(QStringLiteral("--welcome"));
    ok = Shoot(link, folder, QStringLiteral("create_a_shortcut.png")) && ok;
    link.close();

    QString about = ToQt(form.Files().AboutText());
    about.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::Information, QStringLiteral("Kitforge"), about, QMessageBox::Ok, &form);
    WidenForTitle(box);
    ok = Shoot(box, folder, QStringLiteral("about.png")) && ok;
    box.close();

    // The check before a build, of a copy of the script beside it that gained three rows an
    // author might pick with the browse buttons on their own machine.
    QTemporaryDir work;
    const std::string script_folder = FromQt(QFileInfo(QString::fromLocal8Bit(argv[1])).absolutePath()) + "/";
    BuildScript risky = ReadScriptFile(argv[1]);
    risky.Commands.insert(risky.Commands.begin() + 2,
                          {{CommandKind::Put, "/home/me/hello/build/hello-cli", "%program%"},
                           {CommandKind::Put, "%apppath%\\files\\hello.sh", "/home/me/Programs/Hello"},
                           {CommandKind::Shortcut, "<FAVORITES>\\Hello", "\"%program%\\hello.sh\" \"\""}});
    const std::string risky_path = script_folder + "check-tour.inf";
    WriteScriptFile(risky_path, risky);
    const auto problems = CheckBuild(risky_path, script_folder + "hello.sh", program_folder + "setup.ex_");
    DeleteFile(risky_path);
    TBuildCheckForm check(problems, &form);
    ok = Shoot(check, folder, QStringLiteral("build_check.png")) && ok;
    check.close();

    // The window after building the script itself, once Test install has run.
    const std::string output = FromQt(work.path()) + "/hello-setup";
    BuildCommandOptions options;
    options.announce_success = false;
    if (RunBuildCommand(host, output, argv[1], program_folder, options)) {
        TBuildResultForm result(host, {output, static_cast<std::uint64_t>(QFileInfo(ToQt(output)).size())}, &form);
        result.show();
        Settle(200);
        result.TestInstallClick();
        ok = Shoot(result, folder, QStringLiteral("build_result.png")) && ok;
        result.close();
    } else {
        std::printf("FAILED to build %s\n", output.c_str());
        ok = false;
    }

    form.Project().SetChanged(false);
    return ok ? 0 : 1;
}
