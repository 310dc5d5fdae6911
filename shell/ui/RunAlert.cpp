#include "shell/ui/RunAlert.h"

#include "core/NotificationCenter.h"
#include "shell/ui/TextGeometry.h"
#include "shell/ui/Window.h"
#include "shell/windows/SessionNotifications.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QtMath>
#include <algorithm>
#include <utility>
#include <vector>

namespace {
constexpr char kCodeProperty[] = "alertCode";

void addButton(QMessageBox* box, const QString& title, QMessageBox::ButtonRole role, int code)
{
    if (title.isEmpty())
        return;
    QPushButton* button = box->addButton(title, role);
    button->setProperty(kCodeProperty, code);
    if (code == 1)
        box->setDefaultButton(button);
}

bool breaksLine(QChar c)
{
    return c.isSpace() || c.script() == QChar::Script_Han;
}

// The box is as wide as its text needs up to a line that reads well, so a
// short text stays on one line and a long one wraps at that width rather
// than at the width of the title and the buttons; a short one still gets a
// box wide enough for its title bar to show the title.
void fitWidthToText(QMessageBox* box)
{
    auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    if (!label)
        return;
    const int han = label->fontMetrics().horizontalAdvance(QChar(0x4E2D));
    const double lineWidth = han * double(RunAlert::kLineLength);
    const QSizeF text
        = textgeometry::sizeForWidth(label->text(), lineWidth, textgeometry::kUnlimited, label->font());
    const QMargins margins = label->contentsMargins();
    const int least = han * int(RunAlert::kMinLineLength);
    label->setMinimumWidth(
        std::max(qCeil(text.width()), least) + margins.left() + margins.right() + 2 * label->margin());
}

// A box stays in front of the client's windows until it is answered. A
// window the client opens while a box is open (the broker's notice on the
// login window after a logout, the main window after a login) shows under
// it, as the box had come up last: it never waits unseen behind a window
// opened after it. A window the customer opens (a click, a key), a modal
// window (a confirmation, a prompt), a pop-up list or a tip is the
// customer's next step and stays in front, the keyboard with it.
class BoxInFront final : public QObject {
public:
    static void keep(QMessageBox* box)
    {
        static QPointer<BoxInFront> keeper;
        if (!keeper) {
            keeper = new BoxInFront(qApp);
            qApp->installEventFilter(keeper);
        }
        std::erase_if(keeper->boxes_, [](const QPointer<QMessageBox>& b) { return !b; });
        keeper->boxes_.emplace_back(box);
    }
    static void bringForward(QMessageBox* box)
    {
        box->raise();
        box->activateWindow();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (isCustomersInput(*event)) {
            heardTheCustomer();
            return false;
        }
        if (event->type() != QEvent::Show || !watched->isWidgetType() || customerActs_)
            return false;
        auto* window = static_cast<QWidget*>(watched);
        const Qt::WindowType type = window->windowType();
        if (!window->isWindow() || (type != Qt::Window && type != Qt::Dialog)
            || window->windowModality() != Qt::NonModal || qobject_cast<QMessageBox*>(window))
            return false;
        // The newest box still open, unless a modal window is in front of it.
        if (QWidget* modal = QApplication::activeModalWidget(); modal && !qobject_cast<QMessageBox*>(modal))
            return false;
        for (auto box = boxes_.rbegin(); box != boxes_.rend(); ++box) {
            if (*box && (*box)->isVisible()) {
                // Once the window's own showing (and its raising) is done.
                QMetaObject::invokeMethod(
                    *box,
                    [b = *box] {
                        if (b->isVisible())
                            bringForward(b);
                    },
                    Qt::QueuedConnection);
                break;
            }
        }
        return false;
    }

private:
    using QObject::QObject;

    static bool isCustomersInput(const QEvent& event)
    {
        switch (event.type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return event.spontaneous();
        default:
            return false;
        }
    }
    // What opens while the customer's click or key is handled is theirs,
    // up to the next round of the event loop.
    void heardTheCustomer()
    {
        if (!std::exchange(customerActs_, true))
            QMetaObject::invokeMethod(
                this, [this] { customerActs_ = false; }, Qt::QueuedConnection);
    }

    std::vector<QPointer<QMessageBox>> boxes_; // oldest first
    bool customerActs_ = false;
};

QMessageBox::Icon iconFor(const QString& title)
{
    if (title == QStringLiteral("错误") || title == QStringLiteral("错误提示"))
        return QMessageBox::Critical;
    if (title == QStringLiteral("警告"))
        return QMessageBox::Warning;
    return QMessageBox::Information;
}
} // namespace

QString RunAlert::fittingText(const QString& text)
{
    // A server may send any amount of text; a box shows the start of it and
    // says with "…" that more was cut, so the box and its buttons stay on screen.
    QString shown = text;
    bool cut = false;
    if (shown.size() > kMaxTextLength) {
        shown.truncate(kMaxTextLength);
        // Never half of a surrogate pair.
        if (shown.back().isHighSurrogate())
            shown.chop(1);
        cut = true;
    }
    qsizetype lines = 0;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown.at(i) == u'\n' && ++lines == kMaxTextLines) {
            shown.truncate(i);
            cut = true;
            break;
        }
    }
    // A long run without a place to wrap would make the box as wide as the
    // run: an invisible break opportunity every so often.
    QString out;
    out.reserve(shown.size() + shown.size() / kMaxUnbrokenRun + 1);
    qsizetype run = 0;
    for (const QChar c : shown) {
        run = breaksLine(c) ? 0 : run + 1;
        if (run > kMaxUnbrokenRun && !c.isLowSurrogate()) {
            out.append(QChar(0x200B));
            run = 1;
        }
        out.append(c);
    }
    if (cut)
        out.append(u'…');
    return out;
}

QMessageBox* RunAlert::alertWithMessageText(const QString& messageText, const QString& defaultButton,
    const QString& alternateButton, const QString& otherButton, const QString& text)
{
    auto* box = new QMessageBox;
    box->setWindowTitle(messageText);
    box->setText(messageText);
    box->setTextFormat(Qt::PlainText); // server text is shown verbatim, never as markup
    box->setInformativeText(fittingText(text));
    fitWidthToText(box);
    box->setIcon(iconFor(messageText));
    addButton(box, defaultButton.isEmpty() ? QStringLiteral("确认") : defaultButton, QMessageBox::AcceptRole, 1);
    addButton(box, alternateButton, QMessageBox::RejectRole, 0);
    addButton(box, otherButton, QMessageBox::DestructiveRole, -1);
    return box;
}

int RunAlert::resultOf(const QMessageBox* box)
{
    const QAbstractButton* clicked = box->clickedButton();
    return clicked ? clicked->property(kCodeProperty).toInt() : 0;
}

QMessageBox* RunAlert::run(const AlertRequest& request, QWidget* window, Handler completionHandler)
{
    QMessageBox* box = alertWithMessageText(
        request.title, request.defaultButton, request.alternateButton, request.otherButton, request.text);
    if (window) {
        box->setParent(window->window(), box->windowFlags());
        box->setWindowModality(Qt::WindowModal);
    } else {
        box->setWindowModality(Qt::ApplicationModal);
    }
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box, [box, handler = std::move(completionHandler)] {
        NotificationCenter::getInstance()->removeObserver(box);
        if (handler)
            handler(resultOf(box));
    });
    if (request.closesOnLock) {
        NotificationCenter::getInstance()->addObserver(
            static_cast<QObject*>(box),
            [box] {
                NotificationCenter::getInstance()->removeObserver(box);
                box->done(0);
            },
            sessionnotify::kCloseMessageBoxes);
    }
    BoxInFront::keep(box);
    // Never over the screen lock: a box opened meanwhile shows at the unlock.
    if (ui::mayShow(box)) {
        box->open();
        // In front of the client's other windows, however long its answer
        // took to come: a window system maps a window nobody clicked for
        // under the one in front.
        BoxInFront::bringForward(box);
    }
    return box;
}

QMessageBox* RunAlert::runAlertWithMessageText(const QString& messageText, const QString& defaultButton,
    const QString& alternateButton, const QString& otherButton, const QString& text, QWidget* window,
    Handler completionHandler)
{
    AlertRequest request;
    request.title = messageText;
    request.text = text;
    request.defaultButton = defaultButton;
    request.alternateButton = alternateButton;
    request.otherButton = otherButton;
    return run(request, window, std::move(completionHandler));
}

QMessageBox* RunAlert::runAlertWithErrorMessageText(const QString& text, QWidget* window, Handler completionHandler)
{
    return run(AlertRequest::error(text), window, std::move(completionHandler));
}

QMessageBox* RunAlert::runAlertWithTipMessageText(const QString& text, QWidget* window, Handler completionHandler)
{
    return run(AlertRequest::tip(text), window, std::move(completionHandler));
}

void WindowAlertPresenter::runAlert(const AlertRequest& request, Completion completion)
{
    RunAlert::run(request, window_, std::move(completion));
}
