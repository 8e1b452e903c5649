// A label that shows a result or a value ("Progress: 42%", "640 x 480", the
// end of a run). A screen reader hears what it is as its accessible name and
// what it shows now as its accessible description. AT-SPI reads both, and Qt
// tells it whenever the description changes; a named label's own text would
// reach it neither way.
#pragma once

#include <QLabel>

class ValueLabel : public QLabel {
    Q_OBJECT
public:
    // `what` is the accessible name: "Speed and time left", "Duration".
    explicit ValueLabel(const QString& what, QWidget* parent = nullptr);

    // QLabel's own, with the description following. They hide QLabel's,
    // which are not virtual: change the text through a ValueLabel pointer.
    void setText(const QString& text);
    void clear();
};
