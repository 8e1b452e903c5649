#include "app/user_button.h"

#include <QPainter>
#include <QStringList>

UserButton::UserButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setAttribute(Qt::WA_Hover);
    setAccessibleName(caption);
    // Tahoma where the desktop has it, else the closest free sans serif.
    QFont f;
    f.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(8.25);
    f.setBold(true);
    setFont(f);
}

QColor UserButton::faceColor() const {
    if (isDown()) return pressedFace();
    if (underMouse()) return hoverFace();
    return normalFace();
}

void UserButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    const bool down = isDown();
    p.fillRect(r, faceColor());

    // A one-pixel edge keeps the face apart from the grey window behind it.
    p.setPen(down ? QColor(32, 32, 32) : QColor(128, 128, 128));
    p.drawRect(r.adjusted(0, 0, -1, -1));

    QColor caption = captionColor();
    if (!isEnabled()) caption = QColor(144, 144, 144);
    p.setFont(font());
    const QRect textRect = down ? r.translated(1, 1) : r;
    if (down) {
        // The caption keeps its colour on the dark pressed face; a light
        // shadow keeps it readable there.
        p.setPen(normalFace());
        p.drawText(textRect.translated(1, 1), Qt::AlignCenter, text());
    }
    p.setPen(caption);
    p.drawText(textRect, Qt::AlignCenter, text());

    if (hasFocus()) {
        QPen dots(down ? normalFace() : captionColor());
        dots.setStyle(Qt::DotLine);
        p.setPen(dots);
        p.drawRect(r.adjusted(3, 3, -4, -4));
    }
}
