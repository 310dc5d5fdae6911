#include "funds/ui/FundPanels.h"

#include "funds/pages/OpdQuoteViewController.h"
#include "funds/ui/FundCancelViews.h"
#include "funds/ui/FundListView.h"
#include "funds/ui/FundTradeViews.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <functional>

namespace {

// Narrower than its frame, the chart draws its plot narrower: the value
// labels' margin at its left keeps its width, so a value is never cut.
constexpr int kMinimumChartWidth = 320;
constexpr double kLabelMargin = fundchart::kChartArea.left();

// Where the frame's x lands in a chart `width` wide.
double xIn(double x, int width)
{
    const double scale = (width - kLabelMargin) / (fundchart::kViewWidth - kLabelMargin);
    return x <= kLabelMargin ? x : kLabelMargin + (x - kLabelMargin) * scale;
}

// A box that places its children again whenever its size changes.
class PlacingBox : public QWidget {
public:
    using QWidget::QWidget;
    std::function<void(int width)> place;

protected:
    void resizeEvent(QResizeEvent*) override
    {
        if (place)
            place(width());
    }
};

// A fund's name in the row of labels over the chart: as wide as the name
// where the row has the room; where it has not, it shows the name's start
// and "…" rather than widen the page. Its text stays the whole name.
class NameLabel final : public QLabel {
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override
    {
        return { fontMetrics().horizontalAdvance(QStringLiteral("中…")), QLabel::minimumSizeHint().height() };
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRect room = contentsRect();
        painter.drawText(
            room, int(alignment()), fontMetrics().elidedText(text(), Qt::ElideRight, room.width()));
    }
};

// The chart's frame has y growing upwards; the widget's downwards.
QPointF toWidget(const QPointF& p)
{
    return { p.x(), fundchart::kViewHeight - p.y() };
}

QRectF toWidget(const QRectF& r)
{
    return { r.left(), fundchart::kViewHeight - r.bottom(), r.width(), r.height() };
}

} // namespace

OpdFundListPanel::OpdFundListPanel(OpdFundListViewController& controller, QWidget* parent)
    : QWidget(parent)
    , controller_(&controller)
    , view_(new FundListView(true, this))
    , alerts_(this)
{
    setObjectName(QStringLiteral("OpdFundListViewController"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    controller.setAlertPresenter(&alerts_);
    view_->onFilterChosen = [this](qsizetype index) {
        if (controller_)
            controller_->filterPButtonSelected(index);
    };
    view_->onRowSelected = [this](qsizetype row) {
        if (controller_)
            controller_->tableSelectedItemChanged(row);
    };
    connect(&controller, &OpdFundListViewController::changed, this, [this] { refresh(); });
    refresh();
}

OpdFundListPanel::~OpdFundListPanel()
{
    if (controller_)
        controller_->setAlertPresenter(nullptr);
}

void OpdFundListPanel::refresh()
{
    if (controller_)
        view_->show(controller_->content(), controller_->listTitleText());
}

OpdQuoteView::OpdQuoteView(OpdQuoteViewController& controller, QWidget* parent)
    : MenuItemView(controller, parent)
    , view_(new FundListView(false, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    view_->onFilterChosen = [this](qsizetype index) {
        if (auto* page = qobject_cast<OpdQuoteViewController*>(this->controller()))
            page->filterPButtonSelected(index);
    };
    refresh();
}

void OpdQuoteView::refresh()
{
    if (auto* page = qobject_cast<OpdQuoteViewController*>(controller()))
        view_->show(page->content(), QString());
}

FundQuoteView::FundQuoteView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("fundQuoteView"));
    // It gives up width, never height, to a page that has little.
    setMinimumSize(kMinimumChartWidth, fundchart::kViewHeight);
    setMaximumSize(fundchart::kViewWidth, fundchart::kViewHeight);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    resize(fundchart::kViewWidth, fundchart::kViewHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void FundQuoteView::setChart(const FundQuoteChart& chart)
{
    chart_ = chart;
    update();
}

QSize FundQuoteView::sizeHint() const
{
    return { fundchart::kViewWidth, fundchart::kViewHeight };
}

void FundQuoteView::paintEvent(QPaintEvent*)
{
    using namespace fundchart;
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    // The frame right of the label margin is drawn into the width there is;
    // lines stay one pixel wide.
    const double scale = (width() - kLabelMargin) / (kViewWidth - kLabelMargin);
    painter.setTransform(QTransform(scale, 0, 0, 1, kLabelMargin * (1 - scale), 0));

    // setBackground: the chart area, corners rounded 3 vertically only.
    const QRectF area = toWidget(kChartArea);
    QPainterPath rounded;
    rounded.addRoundedRect(area, 0, 3);
    painter.fillPath(rounded, chartAreaColour());
    const QRectF plot = toWidget(kPlotArea);
    QPen grid(gridColour(), 1);
    grid.setCosmetic(true);
    painter.setPen(grid);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot);
    for (const auto& [from, to] : gridLines())
        painter.drawLine(toWidget(from), toWidget(to));

    // drawPath: the line, then the area under it, tinted over the line.
    const std::vector<qint64>& values = chart_.values();
    if (values.empty())
        return;
    const std::vector<QPointF> points = linePoints(values, chart_.scale());
    QPen line(Qt::white, 1);
    line.setCosmetic(true);
    painter.setPen(line);
    for (size_t i = 1; i < points.size(); ++i)
        painter.drawLine(toWidget(points[i - 1]), toWidget(points[i]));
    QPainterPath under;
    under.moveTo(toWidget(points.front()));
    for (const QPointF& p : points)
        under.lineTo(toWidget(p));
    under.lineTo(toWidget(QPointF(points.back().x(), kPlotArea.top())));
    under.lineTo(toWidget(QPointF(kPlotArea.left(), kPlotArea.top())));
    under.closeSubpath();
    painter.save();
    painter.setClipPath(under);
    QLinearGradient gradient(area.bottomLeft(), area.topLeft());
    gradient.setColorAt(0, gradientBottomColour());
    gradient.setColorAt(1, gradientTopColour());
    gradient.setSpread(QGradient::PadSpread);
    painter.fillRect(area, gradient);
    painter.restore();
}

FundQuotePanel::FundQuotePanel(FundQuoteViewController& controller, QWidget* parent)
    : QWidget(parent)
    , controller_(&controller)
    , name_(new NameLabel(this))
    , code_(new QLabel(this))
    , value_(new QLabel(this))
    , chart_(new FundQuoteView(this))
{
    setObjectName(QStringLiteral("FundQuoteViewController"));
    name_->setObjectName(QStringLiteral("fundNameText"));
    code_->setObjectName(QStringLiteral("fundCodeText"));
    value_->setObjectName(QStringLiteral("fundValueText"));
    auto* layout = new QVBoxLayout(this);
    // The name has a row of its own, all of it: beside the code and the net
    // value, in the width the chart leaves at the window's own size, it
    // would show little more than "…".
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(QStringLiteral("基金名称:"), this));
    nameRow->addWidget(name_, 1);
    layout->addLayout(nameRow);
    auto* fields = new QHBoxLayout;
    for (auto [title, label] : { std::pair { "基金代码:", code_ }, { "基金净值:", value_ } }) {
        fields->addWidget(new QLabel(QString::fromUtf8(title), this));
        fields->addWidget(label);
        fields->addSpacing(12);
    }
    fields->addStretch(1);
    layout->addLayout(fields);

    // The value labels sit left of the plot at its bottom, quarter points
    // and top; the month labels under it, at the grid's vertical lines.
    auto* chartBox = new PlacingBox(this);
    chartBox->setMinimumSize(kMinimumChartWidth, fundchart::kViewHeight + 20);
    chartBox->setMaximumSize(fundchart::kViewWidth, fundchart::kViewHeight + 20);
    chartBox->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    chart_->setParent(chartBox);
    chart_->move(0, 0);
    const QRectF plot = fundchart::kPlotArea;
    for (int i = 0; i < 5; ++i) {
        auto* label = new QLabel(chartBox);
        label->setObjectName(QStringLiteral("netValue%1Text").arg(i + 1));
        label->setStyleSheet(QStringLiteral("color: white; font-size: 10px;"));
        label->setGeometry(0, int(fundchart::kViewHeight - (plot.top() + plot.height() * i / 4)) - 7, 64, 14);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        values_[size_t(i)] = label;
    }
    for (int i = 0; i < 6; ++i) {
        auto* label = new QLabel(chartBox);
        label->setObjectName(QStringLiteral("month%1Text").arg(i + 1));
        label->setStyleSheet(QStringLiteral("color: white; font-size: 10px;"));
        label->setAlignment(Qt::AlignCenter);
        months_[size_t(i)] = label;
    }
    // The month labels follow the grid's vertical lines as the chart narrows.
    chartBox->place = [this, plot](int width) {
        chart_->resize(width, fundchart::kViewHeight);
        for (int i = 0; i < 6; ++i) {
            // month5Text is the oldest (leftmost), month6Text the newest.
            const int slot = i < 5 ? 4 - i : 5;
            const double x = xIn(plot.left() + plot.width() * (slot + 1) / 7, width);
            months_[size_t(i)]->setGeometry(int(x) - 25, fundchart::kViewHeight - 24, 50, 14);
        }
    };
    chartBox->place(fundchart::kViewWidth);
    layout->addWidget(chartBox);
    connect(&controller, &FundQuoteViewController::changed, this, [this] { refresh(); });
    refresh();
}

void FundQuotePanel::refresh()
{
    if (!controller_)
        return;
    name_->setText(controller_->fundNameText());
    code_->setText(controller_->fundCodeText());
    value_->setText(controller_->fundValueText());
    for (size_t i = 0; i < months_.size(); ++i)
        months_[i]->setText(controller_->monthTexts()[i]);
    for (size_t i = 0; i < values_.size(); ++i)
        values_[i]->setText(controller_->netValueTexts()[i]);
    chart_->setChart(controller_->fundQuoteView());
}

void registerFundViews()
{
    MenuItemViewCatalogue::shared().registerView(QString::fromLatin1(OpdQuoteViewController::kPageClass),
        [](MenuItemViewController& controller, QWidget* parent) -> MenuItemView* {
            auto* page = qobject_cast<OpdQuoteViewController*>(&controller);
            return page ? new OpdQuoteView(*page, parent) : nullptr;
        });
    registerFundTradeViews();
    registerFundCancelViews();
}
