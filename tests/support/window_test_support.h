// Helpers of the window tests: finding a window's controls by the names a
// user or a screen reader knows them by, closing the program's windows, and
// the positioning window loaded with its message answered. Including it
// gives the test a config folder of its own (own_config_folder.h).
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

#include <QAbstractButton>
#include <QAccessible>
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

namespace window_test {

// A caption as it reads: without its mnemonic marks ("&&" stands for "&"),
// its runs of spaces one space.
inline QString readable(const QString& caption) {
    QString out;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&') {
            if (i + 1 < caption.size() && caption[i + 1] == u'&') out += caption[++i];
            continue;
        }
        out += caption[i];
    }
    return out.simplified();
}

// What a user reads on `w` or a screen reader says for it.
inline bool isKnownAs(const QWidget& w, const QString& name) {
    if (w.accessibleName() == name) return true;
    if (const auto* b = qobject_cast<const QAbstractButton*>(&w)) return readable(b->text()) == name;
    if (const auto* l = qobject_cast<const QLabel*>(&w)) return readable(l->text()) == name;
    return false;
}

}  // namespace window_test

// The one control of class `kind` (or a subclass) in `window` that a user or
// a screen reader knows by `name`: its caption ("Start Watermarking", "&"
// marks left out), its accessible name ("Canvas"), or for a field the
// caption of the label it is the buddy of, without the colon ("Margin" for
// "&Margin:"). None, or more than one, ends the test program with the
// window and the name.
inline QWidget* control(const QWidget& window, const QString& name, const char* kind) {
    QList<const QWidget*> labelled;
    for (const QLabel* l : window.findChildren<QLabel*>()) {
        QString caption = window_test::readable(l->text());
        if (caption.endsWith(u':')) caption.chop(1);
        if (l->buddy() && caption == name) labelled << l->buddy();
    }
    QList<QWidget*> found;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (w->inherits(kind) && (labelled.contains(w) || window_test::isKnownAs(*w, name))) found << w;
    }
    if (found.size() != 1) {
        QStringList which;
        for (const QWidget* w : found)
            which << QStringLiteral("%1 %2").arg(QLatin1String(w->metaObject()->className()),
                                                 w->objectName());
        qFatal("\"%s\" (%s) has %lld controls of class %s known as \"%s\"%s%s",
               qPrintable(window.windowTitle()), qPrintable(window.objectName()),
               static_cast<long long>(found.size()), kind, qPrintable(name), found.isEmpty() ? "" : ": ",
               qPrintable(which.join(QStringLiteral(", "))));
    }
    return found.first();
}

template <typename T = QWidget>
T* control(const QWidget& window, const QString& name) {
    return static_cast<T*>(control(window, name, T::staticMetaObject.className()));
}

// The accessible object of `role` named `name` below `window`'s, found as a
// screen reader finds it: by walking the accessibility tree. None, or more
// than one, ends the test program with the window and the name.
inline QAccessibleInterface* accessible(const QWidget& window, QAccessible::Role role, const QString& name) {
    QList<QAccessibleInterface*> found;
    QList<QAccessibleInterface*> todo{QAccessible::queryAccessibleInterface(const_cast<QWidget*>(&window))};
    while (!todo.isEmpty()) {
        QAccessibleInterface* node = todo.takeFirst();
        for (int i = 0; node && i < node->childCount(); ++i) {
            QAccessibleInterface* c = node->child(i);
            if (!c) continue;
            if (c->role() == role && c->text(QAccessible::Name) == name) found << c;
            todo << c;
        }
    }
    if (found.size() != 1)
        qFatal("\"%s\" has %lld accessible objects of role %d named \"%s\"", qPrintable(window.windowTitle()),
               static_cast<long long>(found.size()), int(role), qPrintable(name));
    return found.first();
}

// The control of that object name in a window, for a test about the object
// names themselves. A missing one ends the test program with the name.
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
