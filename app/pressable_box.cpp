#include "app/pressable_box.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace {

class PressableBoxAccessible : public QAccessibleWidget {
public:
    explicit PressableBoxAccessible(PressableBox* box) : QAccessibleWidget(box, box->accessibleRole()) {}

    QStringList actionNames() const override { return QAccessibleWidget::actionNames() << pressAction(); }

    void doAction(const QString& action) override {
        if (action == pressAction())
            static_cast<PressableBox*>(widget())->press();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* pressableBoxFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("PressableBox") && object && object->isWidgetType())
        return new PressableBoxAccessible(static_cast<PressableBox*>(object));  // owned by Qt's cache
    return nullptr;
}

}  // namespace

PressableBox::PressableBox(QAccessible::Role role, QWidget* parent) : PictureBox(parent), role_(role) {
    static const bool installed = [] {
        QAccessible::installFactory(pressableBoxFactory);
        return true;
    }();
    (void)installed;
    // Tab only: a mouse click must not draw a focus frame over the picture.
    setFocusPolicy(Qt::TabFocus);
}

void PressableBox::press() {
    emit mouseDown(Qt::LeftButton, Qt::NoModifier, 0.0, 0.0);
}

void PressableBox::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            press();
            return;
        default:
            PictureBox::keyPressEvent(e);
    }
}

void PressableBox::paintEvent(QPaintEvent* e) {
    PictureBox::paintEvent(e);
    if (!hasFocus()) return;
    // Drawn on the screen only; the drawing itself (what is saved) is untouched.
    QStylePainter p(this);
    QStyleOptionFocusRect opt;
    opt.initFrom(this);
    opt.rect = rect().adjusted(1, 1, -1, -1);
    p.drawPrimitive(QStyle::PE_FrameFocusRect, opt);
}
