#include "shell/ui/MessageCenterWindow.h"

#include "shell/ui/MessageBodyBrowser.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

// One message row; a click on it (outside its button and body) goes to the
// controller as a row click.
class MessageTableCellView final : public QFrame {
public:
    MessageTableCellView(MessageCenterWindowController& controller, qsizetype row, QWidget* parent)
        : QFrame(parent)
        , controller_(controller)
        , row_(row)
    {
        const MessageCenterInfo& m = controller.rows()[size_t(row)];
        const bool expanded = m.showHideFlag == 1;
        setObjectName(QStringLiteral("messageRow%1").arg(row));
        setFrameShape(QFrame::StyledPanel);
        setFixedHeight(int(controller.heightOfRow(row)));
        auto* title = new QLabel(m.title, this);
        title->setObjectName(QStringLiteral("titleText"));
        QFont font = title->font();
        font.setBold(!m.readFlag);
        title->setFont(font);
        auto* date = new QLabel(m.formatedDate, this);
        date->setObjectName(QStringLiteral("dateText"));
        auto* button = new QPushButton(expanded ? QStringLiteral("收起") : QStringLiteral("展开"), this);
        button->setObjectName(QStringLiteral("showHideButton"));
        button->setCheckable(true);
        button->setChecked(expanded);
        button->setFlat(true);
        // The title in the selection's colour, centred, in the system font
        // at 10 points.
        QPalette palette = button->palette();
        palette.setColor(QPalette::ButtonText, palette.color(QPalette::Highlight));
        button->setPalette(palette);
        QFont buttonFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        buttonFont.setPointSizeF(10);
        button->setFont(buttonFont);
        auto* layout = new QGridLayout(this);
        layout->setContentsMargins(8, 4, 8, 4);
        layout->addWidget(title, 0, 0);
        layout->addWidget(date, 0, 1);
        layout->addWidget(button, 0, 2);
        layout->setColumnStretch(0, 1);
        if (expanded) {
            auto* body = new MessageBodyBrowser(this);
            body->setObjectName(QStringLiteral("webView"));
            body->setHtml(controller.bodyOfRow(row));
            layout->addWidget(body, 1, 0, 1, 3);
        }
        QObject::connect(button, &QPushButton::toggled, this,
            [this](bool on) { controller_.showHideButtonClicked(row_, on); });
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            controller_.tableViewItemClicked(row_);
    }

private:
    MessageCenterWindowController& controller_;
    qsizetype row_;
};

} // namespace

MessageCenterWindow::MessageCenterWindow(MessageCenterWindowController::Services services, QWidget* parent)
    : ui::Window(parent)
    , controller_(services)
{
    setObjectName(QStringLiteral("messageCenterWindow"));
    setWindowTitle(QStringLiteral("消息中心"));
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("tableView"));
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tableView_ = new QWidget(scroll);
    rows_ = new QVBoxLayout(tableView_);
    rows_->setSpacing(2);
    scroll->setWidget(tableView_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    setMinimumSize(560, 480);
    controller_.showWindow();
    // Rebuilt after the event that asked for it: a click's own row goes with it.
    connect(&controller_, &MessageCenterWindowController::reloadData, this, &MessageCenterWindow::reloadData,
        Qt::QueuedConnection);
    reloadData();
}

MessageCenterWindow::~MessageCenterWindow() = default;

void MessageCenterWindow::reloadData()
{
    while (QLayoutItem* item = rows_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (qsizetype row = 0; row < qsizetype(controller_.rows().size()); ++row)
        rows_->addWidget(new MessageTableCellView(controller_, row, tableView_));
    rows_->addStretch(1);
}

void MessageCenterWindow::willClose()
{
    controller_.windowWillClose();
}
