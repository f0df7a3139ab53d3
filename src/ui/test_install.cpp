#include "ui/test_install.h"

#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>

#include "platform/ui_host.h"
#include "ui/editor_build.h"
#include "ui/qt_text.h"

namespace kitforge {

namespace {

// An installer that prints without end must not fill the editor's memory.
constexpr qsizetype kKeptOutput = 64 * 1024;
constexpr int kStopWaitMs = 3000;

struct TestFolders {
    QString program;  // what --target names
    QString home;     // the installer's HOME
};

QProcessEnvironment InstallerEnvironment(const TestFolders& folders) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), folders.home);
    // The XDG folders follow HOME once these are gone; --silent needs no display.
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "DISPLAY", "WAYLAND_DISPLAY"}) {
        environment.remove(QString::fromLatin1(name));
    }
    return environment;
}

// Waits for the end of the process while the window's events run, at most `time_limit`.
bool WaitForEnd(QProcess& process, std::chrono::milliseconds time_limit) {
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    limit.start(static_cast<int>(time_limit.count()));
    if (process.state() != QProcess::NotRunning) loop.exec();
    return process.state() == QProcess::NotRunning;
}

void Stop(QProcess& process) {
    // SIGTERM first: the installer then removes what it wrote and waits for its own programs.
    process.terminate();
    if (!process.waitForFinished(kStopWaitMs)) {
        process.kill();
        process.waitForFinished(kStopWaitMs);
    }
}

QString Shown(QString text, const TestFolders& folders) {
    text.replace(folders.program, QStringLiteral("%program%"));
    text.replace(folders.home, QStringLiteral("~"));
    return text;
}

void ListFiles(const QString& root, const QString& shown_as, std::vector<InstalledFile>& files) {
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        files.push_back({FromQt(shown_as + info.filePath().mid(root.size())),
                         static_cast<std::uint64_t>(std::max<qint64>(info.size(), 0))});
    }
}

std::string StatusMeaning(int status) {
    switch (status) {
        case 0: return "installed";
        case 1: return "failed";
        case 2: return "bad usage";
        case 3: return "cancelled";
        default: return "unexpected";
    }
}

}  // namespace

TestInstallResult RunTestInstall(UiHost& host, const std::string& installer, std::chrono::milliseconds time_limit) {
    TestInstallResult result;
    QTemporaryDir temporary(QDir::tempPath() + QStringLiteral("/kitforge-test-install-XXXXXX"));
    if (!temporary.isValid()) {
        result.start_error = "no temporary folder could be made: " + FromQt(temporary.errorString());
        return result;
    }
    const TestFolders folders{temporary.filePath(QStringLiteral("program")),
                              temporary.filePath(QStringLiteral("home"))};
    QDir().mkpath(folders.home);

    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setProcessEnvironment(InstallerEnvironment(folders));
    process.setWorkingDirectory(temporary.path());
    process.setStandardInputFile(QProcess::nullDevice());
    {
        const BusyCursor busy(host);
        process.start(ToQt(installer), {QStringLiteral("--silent"), QStringLiteral("--user"),
                                        QStringLiteral("--target"), folders.program});
        result.started = process.waitForStarted();
        if (!result.started) {
            result.start_error = FromQt(process.errorString());
        } else if (!WaitForEnd(process, time_limit)) {
            result.timed_out = true;
            Stop(process);
        }
    }
    if (result.started && !result.timed_out) {
        result.crashed = process.exitStatus() == QProcess::CrashExit;
        result.exit_status = process.exitCode();
    }
    QByteArray output = process.readAll();
    if (output.size() > kKeptOutput) output = output.right(kKeptOutput);
    result.output = FromQt(Shown(QString::fromUtf8(output), folders));

    ListFiles(folders.program, QStringLiteral("%program%"), result.files);
    ListFiles(folders.home, QStringLiteral("~"), result.files);
    std::sort(result.files.begin(), result.files.end(),
              [](const InstalledFile& a, const InstalledFile& b) { return a.path < b.path; });
    result.removed = temporary.remove();
    return result;
}

std::string TestInstallReport(const TestInstallResult& result) {
    std::string report;
    if (!result.started) {
        report = "The installer could not be started: " + result.start_error + "\n";
    } else if (result.timed_out) {
        report = "The installer did not end within the time limit and was stopped.\n";
    } else if (result.crashed) {
        report = "The installer ended abnormally (killed by a signal).\n";
    } else {
        report = "Exit status " + std::to_string(result.exit_status) + ": " + StatusMeaning(result.exit_status) + ".\n";
    }
    report += "\n";
    if (result.files.empty()) {
        report += "It installed no files.\n";
    } else {
        report += "It installed " + std::to_string(result.files.size()) +
                  (result.files.size() == 1 ? " file" : " files") + ":\n";
        for (const auto& file : result.files) report += "  " + file.path + "  (" + ReadableSize(file.size) + ")\n";
    }
    if (!result.output.empty()) report += "\nWhat the installer printed:\n" + result.output;
    if (!report.empty() && report.back() != '\n') report += '\n';
    report += result.removed ? "\nThe temporary folder has been removed again.\n"
                             : "\nThe temporary folder could not be removed entirely.\n";
    return report;
}

}  // namespace kitforge
