#include "app/main_window.h"
#include "app/quit_signals.h"
#include "command/headless.h"
#include "program.h"
#include "runner/child_process.h"
#include "runner/console_capture.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMetaObject>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTextStream>

#include <unistd.h>

namespace {

// The command without windows: it needs no display, but draws a text mark
// with Qt's fonts, for which Qt wants a GUI application; the offscreen
// platform gives one anywhere.
int mainWithoutWindows(char* program, const QStringList& args) {
    char platformOption[] = "-platform";
    char offscreen[] = "offscreen";
    char* qtArgv[] = {program, platformOption, offscreen, nullptr};
    int qtArgc = 3;
    QGuiApplication app(qtArgc, qtArgv);
    QCoreApplication::setApplicationName(QStringLiteral("Watermark Image"));
    QTextStream out(stdout), err(stderr);
    const int status = runHeadless(args, out, err, ::isatty(STDERR_FILENO) == 1);
    ConsoleCapture::terminateAllChildren();
    awaitTerminatedChildren();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (isHeadlessCall(args)) return mainWithoutWindows(argv[0], args);
    if (!displayGiven(QProcessEnvironment::systemEnvironment(), args)) {
        QTextStream(stderr) << noDisplayText();
        return kBadUsage;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Watermark Image"));
    int status = 0;
    {
        const std::unique_ptr<MainWindow> window = buildProgram();
        // A logout, a Ctrl+C or a kill ends the program as closing its main
        // window does: conversions stop and keep their parts.
        QuitSignals quitSignals;
        QTextStream err(stderr);
        QObject::connect(&quitSignals, &QuitSignals::arrived, window.get(),
                         [w = window.get(), &err](int sig) {
                             endOnQuitSignal(
                                 *w, sig, [](int code) { QApplication::exit(code); }, err);
                         });
        window->show();
        // A video handed over by the file manager ("Open With") or typed after
        // the program's name is taken as if chosen through Video Selection,
        // once the window is up.
        const QStringList args = QApplication::arguments();
        if (args.size() > 1) {
            const QString path = args.at(1).isEmpty() ? QString() : QFileInfo(args.at(1)).absoluteFilePath();
            MainWindow* w = window.get();
            QMetaObject::invokeMethod(
                w, [w, path] { w->openVideo(path); }, Qt::QueuedConnection);
        }
        status = QApplication::exec();
    }
    // No encoder of ours outlives the program.
    ConsoleCapture::terminateAllChildren();
    awaitTerminatedChildren();
    return status;
}
