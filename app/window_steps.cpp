#include "app/window_steps.h"

#include <QAbstractScrollArea>
#include <QFontMetrics>
#include <QLabel>
#include <QPalette>
#include <QWidget>

void setBackground(QWidget* w, const QColor& c) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, c);
    pal.setColor(w->backgroundRole(), c);
    // A text box paints its text area with the base colour.
    if (qobject_cast<QAbstractScrollArea*>(w)) pal.setColor(QPalette::Base, c);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

void fitFont(QLabel* label, const QString& widest) {
    QFont f = label->font();
    while (f.pointSizeF() > 6 && QFontMetrics(f).horizontalAdvance(widest) > label->width() - 2)
        f.setPointSizeF(f.pointSizeF() - 0.5);
    label->setFont(f);
}
