// Helpers of the widget tests of the positioning window, the palette and
// "Initialize Watermarking".
#pragma once

#include "app/forms.h"
#include "app/shell.h"
#include "convert/form3.h"
#include "tests/app/modal_answerer.h"
#include "watermark/form4.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include <functional>

#include <unistd.h>

// Closing the positioning window ends every encoder of the program's name.
// These tests run beside others that run encoders, so theirs is a name that
// no process has.
inline const bool kOwnEncoderName = [] {
    setEncoderNameForTesting(QStringLiteral("none%1.dll").arg(::getpid()));
    return true;
}();

// Closes the palette and the positioning window as a user would and lets the
// event loop destroy them.
inline bool closeProgramForms() {
    if (Form4* palette = Form4::loaded()) palette->close();
    if (Form3* form = Form3::loaded()) form->close();
    QCoreApplication::processEvents();
    const QWidgetList left = QApplication::topLevelWidgets();
    for (QWidget* w : left) {
        if (qobject_cast<ProgramForm*>(w)) return false;
    }
    return true;
}

// The positioning window, loaded with its message answered.
inline Form3& loadedForm3() {
    ModalAnswerer answer;
    return Form3::instance();
}
