// kitforge-screenshot-tour SCRIPT.inf FOLDER: shows the editor's main window with a build
// script opened, then each command dialog filled as an author would have it, and the About
// box, and saves a picture of each to FOLDER with ImageMagick's `import`. scripts/screenshots
// runs it under a virtual X server. The window and dialogs are the editor's own classes.

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <cstdio>

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
    if (argc != 3) {
        std::fprintf(stderr, "usage: kitforge-screenshot-tour SCRIPT.inf FOLDER\n");
        return 2;
    }
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

    form.Project().SetChanged(false);
    return ok ? 0 : 1;
}
