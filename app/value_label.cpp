#include "app/value_label.h"

ValueLabel::ValueLabel(const QString& what, QWidget* parent) : QLabel(parent) {
    // File names and the encoder's words are shown as they are, never as markup.
    setTextFormat(Qt::PlainText);
    setAccessibleName(what);
}

void ValueLabel::setText(const QString& text) {
    QLabel::setText(text);
    // Qt tells AT-SPI of a new description: a screen reader never reads a stale value.
    if (accessibleDescription() != text) setAccessibleDescription(text);
}

void ValueLabel::clear() {
    setText(QString());
}
