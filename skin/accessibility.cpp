#include "skin/accessibility.h"

#include "skin/KvProgressBar.h"
#include "skin/iButton.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QKeyEvent>

#include <mutex>

namespace kest::a11y {

namespace {

// A painted push or toggle button. It remembers the state it last announced,
// so that the many redraws of a button (each pointer move, each poll tick)
// notify only when pressed or checked really changed.
class ButtonAccessible final : public QAccessibleWidget {
public:
    explicit ButtonAccessible(iButton* button)
        : QAccessibleWidget(button, QAccessible::Button)
    {
        m_announced = state();
    }

    iButton* button() const { return static_cast<iButton*>(widget()); }
    bool isToggle() const { return button()->Style() == 1; }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return buttonName(button()->accessibleName(), button()->toolTip(), button()->Caption());
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.pressed = button()->pressedFlag() || button()->Locked();
        if (isToggle()) {
            s.checkable = true;
            s.checked = button()->Value();
        }
        return s;
    }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        names.prepend(isToggle() ? toggleAction() : pressAction());
        return names;
    }

    void doAction(const QString& name) override
    {
        if (name != pressAction() && name != toggleAction()) {
            QAccessibleWidget::doAction(name);
            return;
        }
        // Enter is the button's own keyboard click: it flips a toggle button
        // and raises Click, and a disabled button ignores it.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QCoreApplication::sendEvent(button(), &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QCoreApplication::sendEvent(button(), &release);
    }

    // The states that changed since the last announcement, now taken as announced.
    QAccessible::State takeChanges()
    {
        const QAccessible::State now = state();
        QAccessible::State changed;
        changed.pressed = now.pressed != m_announced.pressed;
        changed.checked = now.checked != m_announced.checked;
        m_announced = now;
        return changed;
    }

private:
    QAccessible::State m_announced;
};

class ProgressAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ProgressAccessible(KvProgressBar* bar)
        : QAccessibleWidget(bar, QAccessible::ProgressBar)
    { }

    KvProgressBar* bar() const { return static_cast<KvProgressBar*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value) {
            const qint64 span = qint64(bar()->Max()) - bar()->Min();
            if (span <= 0)
                return {};
            return QStringLiteral("%1%").arg((qint64(bar()->Value()) - bar()->Min()) * 100 / span);
        }
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }

    QVariant currentValue() const override { return bar()->Value(); }
    // The bar shows the work of the program; nobody else moves it.
    void setCurrentValue(const QVariant&) override { }
    QVariant maximumValue() const override { return bar()->Max(); }
    QVariant minimumValue() const override { return bar()->Min(); }
    QVariant minimumStepSize() const override { return 1; }
};

QAccessibleInterface* skinFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("kest::iButton"))
        return new ButtonAccessible(static_cast<iButton*>(object));
    if (className == QLatin1String("kest::KvProgressBar"))
        return new ProgressAccessible(static_cast<KvProgressBar*>(object));
    return nullptr;
}

} // namespace

QString buttonName(const QString& accessibleName, const QString& toolTip, const QString& caption)
{
    for (const QString& candidate : { accessibleName, toolTip, caption }) {
        const QString name = candidate.simplified();
        if (!name.isEmpty())
            return name;
    }
    return {};
}

void installSkinAccessibility()
{
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(skinFactory); });
}

void buttonStateMayHaveChanged(iButton* button)
{
    if (!QAccessible::isActive())
        return;
    auto* iface = dynamic_cast<ButtonAccessible*>(QAccessible::queryAccessibleInterface(button));
    if (!iface)
        return;
    const QAccessible::State changed = iface->takeChanges();
    if (changed.pressed || changed.checked) {
        QAccessibleStateChangeEvent event(button, changed);
        QAccessible::updateAccessibility(&event);
    }
}

void buttonNameChanged(iButton* button)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(button, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

void progressValueChanged(KvProgressBar* bar)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleValueChangeEvent event(bar, bar->Value());
    QAccessible::updateAccessibility(&event);
}

} // namespace kest::a11y
