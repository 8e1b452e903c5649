// A checkable button that a screen reader's Toggle action clicks, as a mouse
// would. Qt's own Toggle only flips the checked state: it leaves clicked()
// unsaid, and on an auto-exclusive button that is checked already it does
// nothing at all, where a click still acts.
#pragma once

class QAbstractButton;

// To assistive technology `button` stays a check box with its name and
// state; its Toggle action is a click().
void makeToggleAClick(QAbstractButton* button);
