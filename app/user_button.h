// The main window's owner-drawn push button: a flat face that lightens under
// the mouse and darkens while pressed, with a bold dark-grey caption. Only the
// look is drawn by hand; to assistive technology it is a plain push button
// named by its caption.
#pragma once

#include <QColor>
#include <QPushButton>

class UserButton : public QPushButton {
    Q_OBJECT
public:
    explicit UserButton(const QString& caption, QWidget* parent = nullptr);

    // The face for the current state: normal, under the mouse, pressed.
    QColor faceColor() const;

    static QColor normalFace() { return {192, 192, 192}; }
    static QColor hoverFace() { return {224, 224, 224}; }
    static QColor pressedFace() { return {64, 64, 64}; }
    static QColor captionColor() { return {64, 64, 64}; }

protected:
    void paintEvent(QPaintEvent* e) override;
};
