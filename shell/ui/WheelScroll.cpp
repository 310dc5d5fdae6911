#include "shell/ui/WheelScroll.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QEvent>
#include <QPointer>
#include <QTabBar>
#include <QWheelEvent>

namespace {

QWidget* valueField(QObject* object)
{
    if (auto* combo = qobject_cast<QComboBox*>(object))
        return combo;
    // A row of segments (the server list's 行情 and 交易) is a selector too.
    if (auto* segments = qobject_cast<QTabBar*>(object))
        return segments;
    return qobject_cast<QAbstractSpinBox*>(object);
}

// Only a spin box the customer is working in steps with the wheel. A pop-up
// (an account, a menu group, an order type, a debit day) or a date never
// does, focused or not: a click leaves the focus there, and the wheel that
// scrolls the page on passes under it.
bool takesTheWheel(const QWidget* field)
{
    if (!qobject_cast<const QAbstractSpinBox*>(field) || qobject_cast<const QDateTimeEdit*>(field))
        return false;
    // Its own line edit (the spin box's text) counts.
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == field || field->isAncestorOf(focus));
}

// Sends `wheel` on to `to`, where it is under the pointer; true when taken.
bool passOn(QWidget* to, const QWheelEvent& wheel)
{
    QWheelEvent passed(to->mapFromGlobal(wheel.globalPosition()), wheel.globalPosition(), wheel.pixelDelta(),
        wheel.angleDelta(), wheel.buttons(), wheel.modifiers(), wheel.phase(), wheel.inverted(),
        wheel.source(), wheel.pointingDevice());
    QCoreApplication::sendEvent(to, &passed);
    return passed.isAccepted();
}

// Hands the wheel to the areas around `field`, innermost first, until one
// scrolls. Where it sits in none (the title bar's account box), the wheel
// goes to its window, as over any part of it that does not scroll: nothing
// changes, and whoever watches the input (the idle lock) still hears it.
void scrollAround(QWidget* field, const QWheelEvent& wheel)
{
    bool inArea = false;
    for (QWidget* w = field->parentWidget(); w; w = w->parentWidget()) {
        if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) {
            inArea = true;
            if (passOn(area->viewport(), wheel))
                return;
        }
        if (w->isWindow())
            break;
    }
    if (!inArea && !field->isWindow())
        passOn(field->window(), wheel);
}

class WheelScrollFilter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Wheel && event->type() != QEvent::Polish)
            return false;
        QWidget* field = valueField(watched);
        if (!field)
            return false;
        if (event->type() == QEvent::Polish) {
            // A wheel that reaches the field would otherwise focus it first.
            if (field->focusPolicy() == Qt::WheelFocus)
                field->setFocusPolicy(Qt::StrongFocus);
            return false;
        }
        if (takesTheWheel(field))
            return false;
        scrollAround(field, *static_cast<QWheelEvent*>(event));
        event->accept();
        return true;
    }
};

} // namespace

void ui::letTheWheelScrollPastFields()
{
    static QPointer<WheelScrollFilter> filter;
    if (filter || !qApp)
        return;
    filter = new WheelScrollFilter(qApp);
    qApp->installEventFilter(filter);
}
