#include "app/main_window.h"
#include "convert/program.h"
#include "runner/child_process.h"
#include "runner/console_capture.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Watermark Image"));
    int status = 0;
    {
        const std::unique_ptr<MainWindow> window = buildProgram();
        window->show();
        status = QApplication::exec();
    }
    // No encoder of ours outlives the program.
    ConsoleCapture::terminateAllChildren();
    awaitTerminatedChildren();
    return status;
}
