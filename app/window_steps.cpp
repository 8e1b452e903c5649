#include "app/window_steps.h"

#include <QAbstractScrollArea>
#include <QPalette>
#include <QWidget>

void setBackground(QWidget* w, const QColor& c)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, c);
    pal.setColor(w->backgroundRole(), c);
    // A text box paints its text area with the base colour.
    if (qobject_cast<QAbstractScrollArea*>(w))
        pal.setColor(QPalette::Base, c);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}
