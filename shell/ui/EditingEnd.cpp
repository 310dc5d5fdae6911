#include "shell/ui/EditingEnd.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <memory>

namespace {

// Notes how the field last lost the focus, and tells `left` when it is
// given one. It sees the focus-out before the field does, and the field ends
// its editing in its own focus-out.
class FocusOutWatch : public QObject {
public:
    explicit FocusOutWatch(QObject* field, std::function<void(bool byTab)> left = {})
        : QObject(field)
        , left_(std::move(left))
    {
    }
    bool leftByTab = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::FocusOut)
            return false;
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        leftByTab = reason == Qt::TabFocusReason;
        // A menu or a pop-up's list open over the window, or another window
        // taking the activation (a dialog, a box, another program), leaves
        // its editing as it was. The list of a pop-up takes the focus once
        // more after it opens, as any other focus move, so the list being
        // open is what tells.
        if (left_ && !QApplication::activePopupWidget() && reason != Qt::ActiveWindowFocusReason)
            left_(leftByTab);
        return false;
    }

private:
    std::function<void(bool)> left_;
};

} // namespace

void onEditingEnd(QLineEdit* field, std::function<void(bool toNext)> ended)
{
    auto* watch = new FocusOutWatch(field);
    field->installEventFilter(watch);
    // Still focused at the end of editing: it was Return or Enter.
    QObject::connect(field, &QLineEdit::editingFinished, watch,
        [field, watch, ended = std::move(ended)] { ended(field->hasFocus() || watch->leftByTab); });
}

void onEveryEditingEnd(QLineEdit* field, std::function<void(bool toNext)> ended)
{
    auto shared = std::make_shared<std::function<void(bool)>>(std::move(ended));
    field->installEventFilter(new FocusOutWatch(field, [shared](bool byTab) { (*shared)(byTab); }));
    QObject::connect(field, &QLineEdit::returnPressed, field, [shared] { (*shared)(true); });
}
