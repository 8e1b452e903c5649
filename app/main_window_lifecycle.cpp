// Start-up and shut-down of the main window.
#include "app/main_window.h"

#include "app/picture_box.h"
#include "app/shell.h"
#include "app/user_button.h"
#include "app/value_label.h"
#include "app/window_steps.h"
#include "jobs/program_paths.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSlider>

namespace {

QColor windowGrey() {
    return colorFromHexText(rgbHexText(200, 200, 200));
}

}  // namespace

void MainWindow::prepare() {
    zoomSlider_->setMinimum(1);
    zoomSlider_->setMaximum(100);
    zoomSlider_->setValue(100);
    zoomLabel_->setText(QString::number(zoomSlider_->value()) + u'%');
    choosePictureButton_->setEnabled(true);

    // From here on a step that fails is skipped: the window is usable without
    // its results folder or its colours.
    skipOnFailure([] {
        const QString out = outputFolder();
        if (!nameTaken(out)) QDir().mkdir(out);
    });
    skipOnFailure([this] { setBackground(this, windowGrey()); });
    for (QWidget* w : {static_cast<QWidget*>(zoomLabel_), static_cast<QWidget*>(durationLabel_),
                       static_cast<QWidget*>(frameSizeLabel_), static_cast<QWidget*>(titleLabel_),
                       static_cast<QWidget*>(videoPathView_)}) {
        skipOnFailure([w] { setBackground(w, windowGrey()); });
    }
    skipOnFailure([this] { preview_->setBackColor(windowGrey()); });
}

void MainWindow::closeOtherWindows() {
    // The positioning window ends its own conversion when it closes.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w != this && w->isVisible()) w->close();
    }
}

void MainWindow::closeEvent(QCloseEvent* e) {
    // A close is never refused; each step may fail without stopping the next.
    skipOnFailure([this] { emit closing(); });
    skipOnFailure([this] { closeOtherWindows(); });
    e->accept();
}
