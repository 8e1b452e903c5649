// Start-up and shut-down of the main window.
#include "app/form1.h"

#include "app/picture_box.h"
#include "app/shell.h"
#include "app/user_button.h"
#include "app/window_steps.h"
#include "runner/console_capture.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSlider>

#include <exception>

#include <sys/stat.h>

namespace {

QColor windowGrey() {
    return colorFromHexText(RGB2Hex(200, 200, 200));
}

// Anything of that name counts, a file or a dangling link as well as a folder.
bool nameTaken(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

}  // namespace

void Form1::Form_Load() {
    conApp = std::make_shared<ConsoleCapture>();
    connect(conApp.get(), &ConsoleCapture::output, this, &Form1::conApp_ReadProcess);

    Slider1->setMinimum(1);
    Slider1->setMaximum(100);
    Slider1->setValue(100);
    Label1->setText(QString::number(Slider1->value()) + u'%');
    browse->setEnabled(true);

    skipOnFailure([] {
        const QString out = outputFolder();
        if (!nameTaken(out)) QDir().mkdir(out);
    });
    skipOnFailure([this] { setBackground(this, windowGrey()); });
    for (QWidget* w :
         {static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label5), static_cast<QWidget*>(vidres),
          static_cast<QWidget*>(vidtitle), static_cast<QWidget*>(textvid)}) {
        skipOnFailure([w] { setBackground(w, windowGrey()); });
    }
    skipOnFailure([this] { Image1->setBackColor(windowGrey()); });
}

void Form1::closeSequence(bool secondPass) {
    // Ends a probe run in progress and its encoder.
    if (conApp) {
        const std::shared_ptr<ConsoleCapture> runner = conApp;
        runner->stop();
    }
    conApp.reset();
    if (secondPass) {
        QCoreApplication::processEvents();
        conApp.reset();
    }
    // The positioning window ends its own conversion when it closes.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w != this && w->isVisible()) w->close();
    }
}

void Form1::closeEvent(QCloseEvent* e) {
    // A close is never refused. The second pass repeats the first with every
    // step allowed to fail.
    closeSequence(false);
    skipOnFailure([this] { closeSequence(true); });
    e->accept();
}
