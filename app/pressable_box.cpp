#include "app/pressable_box.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace {

constexpr char kPressRole[] = "wmPressRole";

// A widget made pressable: its own role, and a press action that calls its press() slot.
class PressableAccessible : public QAccessibleWidget {
public:
    PressableAccessible(QWidget* w, QAccessible::Role role) : QAccessibleWidget(w, role) {}

    QStringList actionNames() const override { return QAccessibleWidget::actionNames() << pressAction(); }

    void doAction(const QString& action) override {
        if (action == pressAction())
            QMetaObject::invokeMethod(widget(), "press");
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* pressableFactory(const QString&, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    const QVariant role = object->property(kPressRole);
    if (!role.isValid()) return nullptr;
    // Owned by Qt's cache.
    return new PressableAccessible(static_cast<QWidget*>(object),
                                   static_cast<QAccessible::Role>(role.toInt()));
}

}  // namespace

void makeAccessiblyPressable(QWidget* widget, QAccessible::Role role) {
    static const bool installed = [] {
        QAccessible::installFactory(pressableFactory);
        return true;
    }();
    (void)installed;
    widget->setProperty(kPressRole, static_cast<int>(role));
}

PressableBox::PressableBox(QAccessible::Role role, QWidget* parent) : PictureBox(parent), role_(role) {
    makeAccessiblyPressable(this, role);
    // Tab only: a mouse click must not draw a focus frame over the picture.
    setFocusPolicy(Qt::TabFocus);
}

void PressableBox::press() {
    emit mouseDown(Qt::LeftButton, Qt::NoModifier, 0.0, 0.0);
}

bool isPressKey(int key) {
    return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
}

void paintFocusFrame(QWidget* widget) {
    QStylePainter p(widget);
    QStyleOptionFocusRect opt;
    opt.initFrom(widget);
    opt.rect = widget->rect().adjusted(1, 1, -1, -1);
    p.drawPrimitive(QStyle::PE_FrameFocusRect, opt);
}

void PressableBox::keyPressEvent(QKeyEvent* e) {
    if (isPressKey(e->key())) {
        press();
        return;
    }
    PictureBox::keyPressEvent(e);
}

void PressableBox::paintEvent(QPaintEvent* e) {
    PictureBox::paintEvent(e);
    // Drawn on the screen only; the drawing itself (what is saved) is untouched.
    if (hasFocus()) paintFocusFrame(this);
}
