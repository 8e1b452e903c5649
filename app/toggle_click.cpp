#include "app/toggle_click.h"

#include <QAbstractButton>
#include <QAccessibleWidget>

namespace {

constexpr char kToggleClicks[] = "wmToggleClicks";

class ToggleClickAccessible : public QAccessibleWidget {
public:
    explicit ToggleClickAccessible(QAbstractButton* button)
        : QAccessibleWidget(button, QAccessible::CheckBox) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = button()->isChecked();
        s.pressed = button()->isDown();
        return s;
    }

    QStringList actionNames() const override {
        QStringList names;
        if (widget()->isEnabled()) names << toggleAction();
        return names << QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action != toggleAction())
            QAccessibleWidget::doAction(action);
        else if (widget()->isEnabled())
            button()->click();
    }

private:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
};

QAccessibleInterface* toggleClickFactory(const QString&, QObject* object) {
    auto* button = qobject_cast<QAbstractButton*>(object);
    if (!button || !button->property(kToggleClicks).toBool()) return nullptr;
    // Owned by Qt's cache.
    return new ToggleClickAccessible(button);
}

}  // namespace

void makeToggleAClick(QAbstractButton* button) {
    static const bool installed = [] {
        QAccessible::installFactory(toggleClickFactory);
        return true;
    }();
    (void)installed;
    button->setProperty(kToggleClicks, true);
}
