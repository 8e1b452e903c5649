// Answers the program's message boxes during a test: while armed it looks at
// QApplication::activeModalWidget() every few milliseconds, keeps each box's
// title, text and buttons, runs an optional probe while the box is up (to see
// what the program had done by then) and presses OK.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

class ModalAnswerer : public QObject {
public:
    struct Box {
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
    };

    explicit ModalAnswerer(std::function<void(QMessageBox*)> whileShown = {})
        : whileShown_(std::move(whileShown)) {
        connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::check);
        timer_.start(10);
    }

    const QList<Box>& boxes() const { return boxes_; }
    QStringList texts() const {
        QStringList out;
        for (const Box& b : boxes_)
            out << b.text;
        return out;
    }
    QString lastText() const { return boxes_.isEmpty() ? QString() : boxes_.last().text; }
    QString lastTitle() const { return boxes_.isEmpty() ? QString() : boxes_.last().title; }

private:
    void check() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        // A new box may come at the address of an answered one, so mark the box itself.
        if (!box || box->property("answeredByTest").toBool()) return;
        box->setProperty("answeredByTest", true);
        boxes_.append({box->windowTitle(), box->text(), box->standardButtons()});
        if (whileShown_) whileShown_(box);
        if (QAbstractButton* ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    }

    std::function<void(QMessageBox*)> whileShown_;
    QTimer timer_;
    QList<Box> boxes_;
};
