#include "app/user_button.h"

#include <QPainter>

UserButton::UserButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent)
{
    setAttribute(Qt::WA_Hover);
    setAccessibleName(caption);
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSizeF(8.25);
    f.setBold(true);
    f.setStyleHint(QFont::SansSerif);
    setFont(f);
}

void UserButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QColor face(192, 192, 192);
    if (isDown())
        face = QColor(64, 64, 64);
    else if (underMouse())
        face = QColor(224, 224, 224);
    p.fillRect(rect(), face);
    p.setPen(QColor(64, 64, 64));
    p.setFont(font());
    p.drawText(rect(), Qt::AlignCenter, text());
}
