#include "app/main_window.h"
#include "convert/program.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Watermark Image"));
    const std::unique_ptr<MainWindow> window = buildProgram();
    window->show();
    return QApplication::exec();
}
