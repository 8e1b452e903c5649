#include "app/click_area.h"

#include <QPainter>

ClickArea::ClickArea(const QString& name, QWidget* parent) : QAbstractButton(parent) {
    // The text is never drawn; it names the button for screen readers.
    setText(name);
    setAccessibleName(name);
    setToolTip(name);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void ClickArea::paintEvent(QPaintEvent*) {
    if (!hasFocus()) return;
    QPainter p(this);
    QPen dots(QColor(64, 64, 64));
    dots.setStyle(Qt::DotLine);
    p.setPen(dots);
    // The area may reach past the parent's edge; frame only what shows.
    QRect shown = rect();
    if (const QWidget* host = parentWidget()) shown = shown.intersected(host->rect().translated(-pos()));
    p.drawRect(shown.adjusted(1, 1, -2, -2));
}
