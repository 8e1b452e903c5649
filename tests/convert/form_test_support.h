// Helpers of the widget tests of the positioning window, the palette and
// "Initialize Watermarking".
//
// ModalAnswerer answers the program's message boxes: armed before the
// action, it watches QApplication::activeModalWidget() on a timer, records
// each message box's text, runs an optional probe while the box is up (to
// see what the program had done by then) and presses OK.
#pragma once

#include "app/forms.h"
#include "convert/form3.h"
#include "watermark/form4.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include <functional>

class ModalAnswerer : public QObject {
public:
    explicit ModalAnswerer(std::function<void(QMessageBox*)> whileShown = {})
        : whileShown_(std::move(whileShown))
    {
        connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::check);
        timer_.start(10);
    }

    const QStringList& texts() const { return texts_; }
    QString lastText() const { return texts_.isEmpty() ? QString() : texts_.last(); }
    QString lastTitle() const { return title_; }

private:
    void check()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        // A box of the same address may come next, so mark the box itself.
        if (!box || box->property("answeredByTest").toBool())
            return;
        box->setProperty("answeredByTest", true);
        texts_ << box->text();
        title_ = box->windowTitle();
        if (whileShown_)
            whileShown_(box);
        if (QAbstractButton* ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    }

    std::function<void(QMessageBox*)> whileShown_;
    QTimer timer_;
    QStringList texts_;
    QString title_;
};

// Closes the palette and the positioning window as a user would and lets the
// event loop destroy them.
inline bool closeProgramForms()
{
    if (Form4* palette = Form4::loaded())
        palette->close();
    if (Form3* form = Form3::loaded())
        form->close();
    QCoreApplication::processEvents();
    const QWidgetList left = QApplication::topLevelWidgets();
    for (QWidget* w : left) {
        if (qobject_cast<ProgramForm*>(w))
            return false;
    }
    return true;
}

// The positioning window, loaded with its message answered.
inline Form3& loadedForm3()
{
    ModalAnswerer answer;
    return Form3::instance();
}
