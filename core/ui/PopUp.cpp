#include "core/ui/PopUp.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QStringList>

void fillPopUpItems(QComboBox* box, const QStringList& items)
{
    const QSignalBlocker block(box);
    QStringList shown;
    for (int i = 0; i < box->count(); ++i)
        shown << box->itemText(i);
    if (shown != items) {
        box->clear();
        box->addItems(items);
    }
}

void fillPopUp(QComboBox* box, const QStringList& items, int selected)
{
    fillPopUpItems(box, items);
    const QSignalBlocker block(box);
    box->setCurrentIndex(selected);
}

namespace {

// Whether `key` would step the closed `box` to another item by itself.
bool stepsTheChoice(const QComboBox& box, const QKeyEvent& key)
{
    switch (key.key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        // Ctrl with an arrow completes the text of an editable box.
        return !box.isEditable() || !(key.modifiers() & Qt::ControlModifier);
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    case Qt::Key_Home:
    case Qt::Key_End:
        return !box.isEditable();
    default:
        // A typed letter picks the item it begins; an editable box types it.
        return !box.isEditable() && !key.text().isEmpty() && key.text().at(0).isPrint();
    }
}

class OpenListOnKeys final : public QObject {
public:
    static constexpr char kName[] = "chooseInOpenList";

    explicit OpenListOnKeys(QComboBox* box)
        : QObject(box)
    {
        setObjectName(QLatin1String(kName));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* box = qobject_cast<QComboBox*>(watched);
        if (!box || box->view()->isVisible() || !stepsTheChoice(*box, *static_cast<QKeyEvent*>(event)))
            return false;
        box->showPopup();
        event->accept();
        return true;
    }
};

} // namespace

void chooseInOpenList(QComboBox* box)
{
    if (!box || box->findChild<QObject*>(QLatin1String(OpenListOnKeys::kName), Qt::FindDirectChildrenOnly))
        return;
    box->installEventFilter(new OpenListOnKeys(box));
}
