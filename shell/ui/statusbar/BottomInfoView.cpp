#include "shell/ui/statusbar/BottomInfoView.h"

#include "login/RequestSender.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <memory>

namespace {

constexpr qint32 kIndexTimeout = 5; // seconds, as every quote request

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette pal = widget->palette();
    pal.setColor(QPalette::WindowText, color);
    pal.setColor(QPalette::ButtonText, color);
    widget->setPalette(pal);
}

} // namespace

QSize IndexLineLabel::minimumSizeHint() const
{
    return { fontMetrics().horizontalAdvance(QStringLiteral("上证…")), QLabel::minimumSizeHint().height() };
}

QString IndexLineLabel::shownText() const
{
    // The figures are set four blanks apart.
    static const QString kGap = QStringLiteral("    ");
    const int room = contentsRect().width();
    QStringList figures = text().split(kGap);
    while (figures.size() > 1 && fontMetrics().horizontalAdvance(figures.join(kGap)) > room)
        figures.removeLast();
    return fontMetrics().elidedText(figures.join(kGap), Qt::ElideRight, room);
}

void IndexLineLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(contentsRect(), int(alignment()), shownText());
}

BottomInfoViewController::Services BottomInfoView::withDefaults(BottomInfoViewController::Services services)
{
    if (!services.requestQueryStockIndexInfo) {
        // The ticker's own request object, gone with the view.
        auto sender = std::make_shared<RequestSender>();
        services.requestQueryStockIndexInfo
            = [sender](IQueryStockIndexInfoDelegate* observer, const QString& link) {
                  return DMQueryStockIndexInfo::send(*sender, observer, link, kIndexTimeout);
              };
    }
    return services;
}

BottomInfoView::BottomInfoView(BottomInfoViewController::Services services, QWidget* parent)
    : QWidget(parent)
    , controller_(withDefaults(std::move(services)))
{
    setObjectName(QStringLiteral("bottomInfoView"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 2, 8, 2);
    for (size_t i = 0; i < indexInfoText_.size(); ++i) {
        indexInfoText_[i] = new IndexLineLabel(this);
        indexInfoText_[i]->setObjectName(QStringLiteral("indexInfo%1Text").arg(i + 1));
        layout->addWidget(indexInfoText_[i]);
    }
    layout->addStretch();
    serverInfoText_ = new QPushButton(this);
    serverInfoText_->setObjectName(QStringLiteral("serverInfoText"));
    serverInfoText_->setFlat(true);
    serverInfoText_->setCursor(Qt::PointingHandCursor);
    QFont labelFont = serverInfoText_->font();
    labelFont.setPointSize(12);
    serverInfoText_->setFont(labelFont);
    layout->addWidget(serverInfoText_);

    connect(&controller_, &BottomInfoViewController::changed, this, &BottomInfoView::refresh);
    connect(
        serverInfoText_, &QPushButton::clicked, &controller_, &BottomInfoViewController::serverInfoClicked);
    // The window opens after the click's handler has returned.
    connect(
        &controller_, &BottomInfoViewController::openServerList, this,
        [this] { siteWindow_.open([this] { return new SiteWindowController(window()); }); },
        Qt::QueuedConnection);
    controller_.awakeFromNib();
}

BottomInfoView::~BottomInfoView()
{
    controller_.unloadView();
}

void BottomInfoView::refresh()
{
    for (size_t i = 0; i < indexInfoText_.size(); ++i) {
        const BottomInfoViewController::Line& line = controller_.indexLines()[i];
        indexInfoText_[i]->setText(line.text);
        setTextColor(indexInfoText_[i], line.color);
    }
    serverInfoText_->setText(controller_.serverLine().text);
    setTextColor(serverInfoText_, controller_.serverLine().color);
}
