// Answers the program's message boxes during a test: while armed it looks at
// QApplication::activeModalWidget() every few milliseconds and presses OK on
// every QMessageBox it finds, keeping each box's title, text and buttons.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class ModalAnswerer : public QObject {
public:
    struct Box {
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
    };

    ModalAnswerer()
    {
        connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::check);
        timer_.start(10);
    }

    const QList<Box>& boxes() const { return boxes_; }
    QStringList texts() const
    {
        QStringList out;
        for (const Box& b : boxes_)
            out << b.text;
        return out;
    }

private:
    void check()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box == answered_)
            return;
        answered_ = box;
        boxes_.append({box->windowTitle(), box->text(), box->standardButtons()});
        if (QAbstractButton* ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    }

    QTimer timer_;
    QPointer<QMessageBox> answered_;
    QList<Box> boxes_;
};
