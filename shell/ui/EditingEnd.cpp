#include "shell/ui/EditingEnd.h"

#include <QFocusEvent>
#include <QLineEdit>

namespace {

// Notes how the field last lost the focus. It sees the focus-out before the
// field does, and the field ends its editing in its own focus-out.
class FocusOutWatch : public QObject {
public:
    using QObject::QObject;
    bool leftByTab = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut)
            leftByTab = static_cast<QFocusEvent*>(event)->reason() == Qt::TabFocusReason;
        return false;
    }
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
