#include "trading/ui/OrderAlertWindow.h"

#include "shell/ui/Window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextLayout>
#include <QtMath>
#include <QTimer>
#include <algorithm>
#include <utility>

namespace {

// One row height for both columns: the tallest line of either, in the font
// each of its characters is drawn in (digits and Chinese come from different
// fonts of different heights), and 5 points between rows.
int rowHeight(const QFont& font, const QStringList& texts)
{
    qreal tallest = QFontMetricsF(font).height();
    for (const QString& text : texts) {
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            QTextLayout layout(line, font);
            layout.beginLayout();
            const QTextLine measured = layout.createLine();
            layout.endLayout();
            tallest = std::max(tallest, measured.height());
        }
    }
    return qCeil(tallest) + 5;
}

// A column's text, every line `rowHeight` high with its baseline at the same
// depth: a value stands on its label's baseline, whatever the fonts of the
// two, down to the last row.
QString spaced(const QString& text, Qt::Alignment alignment, int rowHeight)
{
    if (text.isEmpty())
        return {};
    QString html = QStringLiteral("<div style=\"line-height:%1px; -qt-line-height-type:fixed; text-align:%2\">")
                       .arg(rowHeight)
                       .arg(alignment & Qt::AlignRight ? QStringLiteral("right") : QStringLiteral("left"));
    // A line's trailing blanks count on every row alike: a blank before a
    // break would be dropped while the last row's would stay, moving that
    // row off the edge the others line up on.
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i).toHtmlEscaped();
        qsizetype blanks = 0;
        while (blanks < line.size() && line.at(line.size() - 1 - blanks) == QLatin1Char(' '))
            ++blanks;
        line.chop(blanks);
        html += (i ? QStringLiteral("<br>") : QString()) + line + QStringLiteral("&nbsp;").repeated(blanks);
    }
    return html + QStringLiteral("</div>");
}

// A frame given with its origin at the lower-left corner of the content area.
QRect flipped(const QRect& frame, int contentHeight)
{
    return QRect(frame.x(), contentHeight - frame.y() - frame.height(), frame.width(), frame.height());
}

// The second click of a double click on the dialog's button may land on the
// page's window once the dialog has gone, and the window system then makes
// that window active although the answer's box blocks it: its keys would go
// nowhere. The window hands the activation on to the box (or the dialog)
// that blocks it, so Enter reaches the box.
class ModalKeeper final : public QObject {
public:
    static constexpr char kName[] = "orderAlertModalKeeper";

    static void watch(QWidget* window)
    {
        if (!window || window->findChild<QObject*>(QLatin1String(kName), Qt::FindDirectChildrenOnly))
            return;
        window->installEventFilter(new ModalKeeper(window));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::WindowActivate)
            return false;
        auto* window = static_cast<QWidget*>(watched);
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal->window() == window)
            return false;
        const bool blocks = modal->windowModality() == Qt::ApplicationModal
            || (modal->parentWidget() && modal->parentWidget()->window() == window);
        if (blocks) {
            // After the activation in progress has ended.
            QTimer::singleShot(0, modal, [modal] {
                modal->raise();
                modal->activateWindow();
            });
        }
        return false;
    }

private:
    explicit ModalKeeper(QWidget* window)
        : QObject(window)
    {
        setObjectName(QLatin1String(kName));
    }
};

// A page disables the button that asked for the dialog while its order is
// on the way, and the window hands the keyboard on to the next control (the
// positions table, where Space picks a row). The last such hand-over is kept,
// so the dialog knows the control it came from and can give the keyboard
// back to it once that control works again.
class FocusHandOver final : public QObject {
public:
    static FocusHandOver& instance()
    {
        static QPointer<FocusHandOver> shared;
        if (!shared)
            shared = new FocusHandOver(qApp);
        return *shared;
    }

    // The control the keyboard of `window` came from: the disabled one that
    // gave it to the control holding it now, else that control itself.
    QWidget* origin(QWidget* window) const
    {
        QWidget* now = window ? window->focusWidget() : nullptr;
        if (from_ && now && to_ == now && from_->window() == window)
            return from_;
        return now;
    }

    // Gives `origin` the keyboard of its window: at once when it works, else
    // once it is enabled again, unless the keyboard has moved on by then.
    static void giveBack(QWidget* origin)
    {
        if (!origin)
            return;
        // Once the dialog has gone (a close from its title bar is still
        // under way here).
        QTimer::singleShot(0, origin, [window = QPointer<QWidget>(origin->window())] {
            if (window && window->isVisible() && !QApplication::activeModalWidget())
                window->activateWindow();
        });
        QWidget* window = origin->window();
        if (origin->isEnabled()) {
            origin->setFocus(Qt::OtherFocusReason);
            return;
        }
        origin->installEventFilter(new Returner(origin, window->focusWidget()));
    }

private:
    class Returner final : public QObject {
    public:
        Returner(QWidget* origin, QWidget* holder)
            : QObject(origin)
            , holder_(holder)
        {
        }

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            auto* origin = static_cast<QWidget*>(watched);
            if (event->type() == QEvent::EnabledChange && origin->isEnabled()) {
                QWidget* now = origin->window()->focusWidget();
                if (!now || now == holder_)
                    origin->setFocus(Qt::OtherFocusReason);
                deleteLater();
            }
            return false;
        }

    private:
        QPointer<QWidget> holder_;
    };

    explicit FocusHandOver(QObject* parent)
        : QObject(parent)
    {
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
            const bool handedOn = old && !old->isEnabled() && now && now->window() == old->window();
            from_ = handedOn ? old : nullptr;
            to_ = handedOn ? now : nullptr;
        });
    }

    QPointer<QWidget> from_;
    QPointer<QWidget> to_;
};

// A window for each run: a closed dialog is gone for good, so nothing (the
// screen lock giving back the windows it hid) can show it again.
class WindowView : public OrderAlertView {
public:
    explicit WindowView(OrderAlertWindowController& controller)
        : controller_(controller)
    {
    }
    ~WindowView() override { delete window_.data(); }
    void showModal() override
    {
        if (!window_) {
            window_ = new OrderAlertWindow(controller_);
            window_->setAttribute(Qt::WA_DeleteOnClose);
        }
        // Opened under the screen lock it closes as cancelled: nothing is
        // confirmed, nor sent, from the locked screen.
        if (!ui::mayShow(window_))
            return;
        auto* parent = qobject_cast<QWidget*>(controller_.parentWindow());
        if (parent)
            origin_ = FocusHandOver::instance().origin(parent->window());
        window_->show();
        window_->refresh();
        // Centred once, as it comes up: the busy state and the answer
        // refresh it in place. Centred again at those, on a frame the
        // window manager has added by then, it would move under the
        // pointer, and back from where the customer dragged it.
        if (parent) {
            ui::centreOver(window_, parent->window());
            ModalKeeper::watch(parent->window());
        }
        window_->raise();
        window_->activateWindow();
    }
    void closeWindow() override
    {
        // Deleted once the close has run: it may be closing from its own button.
        if (QPointer<OrderAlertWindow> window = std::exchange(window_, nullptr))
            window->close();
        FocusHandOver::giveBack(std::exchange(origin_, nullptr));
    }

private:
    OrderAlertWindowController& controller_;
    QPointer<OrderAlertWindow> window_;
    QPointer<QWidget> origin_; // the control that had the keyboard
};

} // namespace

OrderAlertWindow::OrderAlertWindow(OrderAlertWindowController& controller)
    : QWidget(nullptr, Qt::Dialog)
    , controller_(controller)
    , titleText_(new QLabel(this))
    , contentText_(new QLabel(this))
    , tipText_(new QLabel(this))
    , warningText_(new QLabel(this))
    , orderProgress_(new QProgressBar(this))
    , cancelButton_(new QPushButton(QStringLiteral("取消"), this))
    , confirmButton_(new QPushButton(this))
{
    setObjectName(QStringLiteral("OrderAlertWindowController"));
    setWindowModality(Qt::ApplicationModal);
    titleText_->setObjectName(QStringLiteral("titleText"));
    contentText_->setObjectName(QStringLiteral("contentText"));
    tipText_->setObjectName(QStringLiteral("tipText"));
    warningText_->setObjectName(QStringLiteral("warningText"));
    orderProgress_->setObjectName(QStringLiteral("orderProgress"));
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    confirmButton_->setObjectName(QStringLiteral("confirmButton"));
    for (QLabel* label : { titleText_, contentText_ })
        label->setAlignment(Qt::AlignTop);
    warningText_->setWordWrap(true);
    tipText_->setAlignment(Qt::AlignCenter);
    orderProgress_->setRange(0, 0); // spinning
    orderProgress_->setTextVisible(false);
    confirmButton_->setDefault(true);
    connect(
        cancelButton_, &QPushButton::clicked, &controller_, &OrderAlertWindowController::cancelButtonClicked);
    connect(confirmButton_, &QPushButton::clicked, &controller_,
        &OrderAlertWindowController::confirmButtonClicked);
    connect(&controller_, &OrderAlertWindowController::changed, this, &OrderAlertWindow::refresh);
}

void OrderAlertWindow::refresh()
{
    const OrderAlertWindowController& c = controller_;
    setWindowTitle(c.windowTitle());
    const int row = rowHeight(titleText_->font(), { c.titleText(), c.contentText() });
    titleText_->setText(spaced(c.titleText(), Qt::AlignRight, row));
    contentText_->setText(spaced(c.contentText(), Qt::AlignLeft, row));
    titleText_->setVisible(c.columnsVisible());
    contentText_->setVisible(c.columnsVisible());
    tipText_->setText(c.tipText());
    tipText_->setVisible(c.tipVisible());

    // The frames hold the texts in the default font. A larger one widens the
    // columns, the question, the message and the buttons and lowers the
    // question and the buttons, the window growing with them, so that every
    // text shows whole and the rows end above the question.
    QSize size = c.windowSize().isValid() ? c.windowSize() : QSize(362, 300);
    QRect names = flipped(c.namesFrame(), size.height());
    QRect values = flipped(c.valuesFrame(), size.height());
    const int tipHeight = std::max(20, c.tipVisible() ? tipText_->sizeHint().height() : 0);
    // Columns that were never placed (the fund collection) show nothing and
    // ask for no room.
    const bool columns = c.columnsVisible() && names.isValid() && values.isValid()
        && !(c.titleText().isEmpty() && c.contentText().isEmpty());
    int needHeight = 0;
    if (columns) {
        const QSize needNames = titleText_->sizeHint();
        const QSize needValues = contentText_->sizeHint();
        const int namesMore = std::max(0, needNames.width() - names.width());
        names.setWidth(names.width() + namesMore);
        values.translate(namesMore, 0);
        size.rwidth() += namesMore;
        // The values column reaches past the window's edge: it shows what
        // lies inside, and keeps a margin there.
        const int valuesShown = std::min(values.right() + 1, size.width()) - values.x();
        const int valuesMore = std::max(0, needValues.width() + 10 - valuesShown);
        values.setWidth(values.width() + valuesMore);
        size.rwidth() += valuesMore;
        needHeight = std::max(needNames.height(), needValues.height());
        names.setHeight(std::max(names.height(), needHeight));
        values.setHeight(std::max(values.height(), needHeight));
    }
    if (c.tipVisible())
        size.setWidth(std::max(size.width(), tipText_->sizeHint().width() + 20));
    confirmButton_->setText(c.confirmTitle());
    const int confirmWidth = std::max(90, confirmButton_->sizeHint().width());
    const int cancelWidth = std::max(80, cancelButton_->sizeHint().width());
    // Right of the progress indicator, 20 points in from either side.
    size.setWidth(std::max(size.width(), 100 + cancelWidth + 10 + confirmWidth + 20));
    // Buttons whose titles need more than the roomy height grow upwards, the
    // window with them, and lift the question and the message as much.
    const int buttonHeight = std::max(
        { ui::kDialogButtonHeight, confirmButton_->sizeHint().height(), cancelButton_->sizeHint().height() });
    const int buttonsMore = buttonHeight - ui::kDialogButtonHeight;
    size.rheight() += buttonsMore;
    const int band = 55 + buttonsMore; // below the question
    if (columns) {
        // The texts are top-aligned; 5 points apart from the question, as drawn.
        const int tipTop = size.height() - band - tipHeight;
        size.rheight() += std::max(0, names.top() + needHeight + 5 - tipTop);
    }
    // The message ends 5 points above the question where it shows one.
    const int warningRoom = size.height() - 90 - buttonsMore - (c.tipVisible() ? tipHeight - 20 : 0);
    warningText_->setText(c.warningText());
    const bool warning = c.warningVisible() && !c.warningText().isEmpty();
    if (warning)
        size.rheight() += std::max(0, warningText_->heightForWidth(size.width() - 40) - warningRoom);
    setFixedSize(size);
    const int h = size.height();
    titleText_->setGeometry(names);
    contentText_->setGeometry(values);
    tipText_->setGeometry(10, h - band - tipHeight, size.width() - 20, tipHeight);
    warningText_->setVisible(warning);
    warningText_->setGeometry(
        20, 10, size.width() - 40, h - 80 - 10 - buttonsMore - (c.tipVisible() ? tipHeight - 20 : 0));
    orderProgress_->setGeometry(20, h - 40 - buttonsMore / 2, 60, 16);
    orderProgress_->setVisible(c.isBusy());
    cancelButton_->setGeometry(
        size.width() - 20 - confirmWidth - 10 - cancelWidth, h - 46 - buttonsMore, cancelWidth, buttonHeight);
    confirmButton_->setGeometry(
        size.width() - 20 - confirmWidth, h - 46 - buttonsMore, confirmWidth, buttonHeight);
    cancelButton_->setEnabled(!c.isBusy());
    confirmButton_->setEnabled(!c.isBusy());
}

void OrderAlertWindow::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        controller_.cancelButtonClicked();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!event->isAutoRepeat())
            controller_.confirmButtonClicked();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void OrderAlertWindow::closeEvent(QCloseEvent* event)
{
    // The title bar's close acts as cancel; while busy the dialog stays.
    // The cancel's own close cannot run inside this one: this one closes.
    if (controller_.isShown()) {
        controller_.cancelButtonClicked();
        if (controller_.isShown()) {
            event->ignore();
            return;
        }
    }
    QWidget::closeEvent(event);
}

void registerOrderAlertWindow()
{
    FocusHandOver::instance(); // watching from now on
    OrderAlertWindowController::setViewFactory([](OrderAlertWindowController& controller, QObject*) {
        return std::make_unique<WindowView>(controller);
    });
}
