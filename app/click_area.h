// A transparent click area laid over part of the background picture (the
// logo). It draws nothing but a focus frame; to the keyboard and to
// assistive technology it is a push button with an accessible name.
#pragma once

#include <QAbstractButton>

class ClickArea : public QAbstractButton {
    Q_OBJECT
public:
    explicit ClickArea(const QString& name, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* e) override;
};
