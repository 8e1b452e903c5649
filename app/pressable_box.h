// A picture box that can be pressed without a mouse: Space or Enter while it
// has keyboard focus (it takes focus by Tab), or a screen reader's press
// action, act as a left-button press at (0, 0). The canvas and the palette's
// swatches are such boxes; to assistive technology they carry their
// accessible name and the given role.
#pragma once

#include "app/picture_box.h"

#include <QAccessible>

// Gives `widget` the accessible `role` and a press action that calls its
// press() slot, for assistive technology.
void makeAccessiblyPressable(QWidget* widget, QAccessible::Role role);

// The keys that press a focused pressable widget: Space, Return, Enter.
bool isPressKey(int key);
// Draws the keyboard focus frame just inside the widget, on the screen only.
void paintFocusFrame(QWidget* widget);

class PressableBox : public PictureBox {
    Q_OBJECT
public:
    explicit PressableBox(QAccessible::Role role, QWidget* parent = nullptr);

    QAccessible::Role accessibleRole() const { return role_; }

public slots:
    // A left-button press at (0, 0), as from the keyboard.
    void press();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    QAccessible::Role role_;
};
