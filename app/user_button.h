// The main window's owner-drawn push button: a flat face that lightens under
// the mouse and darkens while pressed, with a bold dark-grey caption. Only the
// look is drawn by hand; to assistive technology it is a plain push button
// named by its caption.
#pragma once

#include <QPushButton>

class UserButton : public QPushButton {
    Q_OBJECT
public:
    explicit UserButton(const QString& caption, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* e) override;
};
