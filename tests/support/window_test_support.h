// Helpers of the window tests: finding a window's controls by their object
// names, closing the program's windows, and the positioning window loaded
// with its message answered. Including it gives the test a config folder of
// its own (own_config_folder.h).
#pragma once

#include "app/program_window.h"
#include "jobs/program_paths.h"
#include "positioning/positioning_window.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/own_config_folder.h"
#include "watermark/palette_window.h"

#include "app/picture_box.h"
#include "app/user_button.h"
#include "positioning/mark_canvas.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QString>
#include <QWidget>

#include <unistd.h>

// The control of that object name in a window. A missing one ends the test
// program with the name, rather than a crash on a null pointer.
template <typename T = QWidget>
T* child(const QWidget& window, const QString& name) {
    T* c = window.findChild<T*>(name);
    if (!c)
        qFatal("%s has no %s named %s", qPrintable(window.objectName()), T::staticMetaObject.className(),
               qPrintable(name));
    return c;
}

// Closes the palette and the positioning window as a user would and lets the
// event loop destroy them.
inline bool closeProgramWindows() {
    if (PaletteWindow* palette = PaletteWindow::loaded()) palette->close();
    if (PositioningWindow* window = PositioningWindow::loaded()) window->close();
    QCoreApplication::processEvents();
    const QWidgetList left = QApplication::topLevelWidgets();
    for (QWidget* w : left) {
        if (qobject_cast<ProgramWindow*>(w)) return false;
    }
    return true;
}

// A chosen video of that upright frame size, shown as coded; no file is read.
inline ChosenVideo videoOfFrame(QSize frame) {
    ChosenVideo video;
    video.path = QStringLiteral("/nonexistent/clip.avi");
    video.title = QStringLiteral("clip.avi");
    video.frameSize = video.codedSize = frame;
    return video;
}

// Initialize with `picture` at its own size on `video`, its message answered.
inline PositioningWindow& initializedWith(const ChosenVideo& video, const QImage& picture) {
    ModalAnswerer answer;
    PositioningWindow::initialize(video, picture, picture.size());
    return *PositioningWindow::loaded();
}

// The positioning window, loaded with its message answered.
inline PositioningWindow& loadedPositioningWindow() {
    ModalAnswerer answer;
    return PositioningWindow::instance();
}
