#include "shell/ui/MenuItemView.h"

#include "shell/ui/WheelScroll.h"

#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QPalette>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// The fall-back widget: the entry's title over an empty page.
class TitledPage final : public MenuItemView {
public:
    TitledPage(MenuItemViewController& controller, QWidget* parent)
        : MenuItemView(controller, parent)
        , title_(new QLabel(this))
    {
        title_->setObjectName(QStringLiteral("pageTitle"));
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(title_);
        layout->addStretch(1);
        refresh();
    }

protected:
    void refresh() override
    {
        if (controller())
            title_->setText(controller()->pageTitle());
    }

private:
    QLabel* title_;
};

} // namespace

MenuItemView::MenuItemView(MenuItemViewController& controller, QWidget* parent)
    : QWidget(parent)
    , controller_(&controller)
    , alerts_(this)
    , outOfDate_(new QLabel(QString::fromUtf8(kOutOfDateText), this))
{
    setObjectName(controller.pageClass().isEmpty() ? QStringLiteral("menuItemView") : controller.pageClass());
    outOfDate_->setObjectName(QStringLiteral("outOfDateMark"));
    QPalette warning = outOfDate_->palette();
    warning.setColor(QPalette::Window, QColor(0xff, 0xf3, 0xcd));
    warning.setColor(QPalette::WindowText, QColor(0x8a, 0x4b, 0x00));
    outOfDate_->setPalette(warning);
    outOfDate_->setAutoFillBackground(true);
    outOfDate_->setMargin(4);
    outOfDate_->hide();
    controller.setAlertPresenter(&alerts_);
    ui::letTheWheelScrollPastFields();
    markOutOfDate();
    connect(&controller, &MenuItemViewController::changed, this, [this] {
        markOutOfDate();
        refresh();
    });
}

void MenuItemView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    markOutOfDate();
}

void MenuItemView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    markOutOfDate();
}

void MenuItemView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        markOutOfDate();
}

void MenuItemView::markOutOfDate()
{
    // The page's own font, not the one a desktop theme gives labels.
    QFont pageFont = font();
    pageFont.setResolveMask(QFont::AllPropertiesResolved);
    if (outOfDate_->font() != pageFont)
        outOfDate_->setFont(pageFont);
    const bool shown = controller_ && !controller_->figuresOutOfDate().isEmpty();
    // A page that shows figures an action may change keeps the line's band
    // above its layout at all times, whatever the layout's direction: the
    // line covers no control, and its coming and going moves none.
    const bool reserved = shown || (controller_ && controller_->showsChangeableFigures());
    const int band = reserved ? outOfDate_->fontMetrics().height() + 2 * outOfDate_->margin() : 0;
    QMargins margins = contentsMargins();
    if (margins.top() != band) {
        margins.setTop(band);
        setContentsMargins(margins);
    }
    outOfDate_->setGeometry(0, 0, width(), band);
    if (shown) {
        // One line: on a page narrower than the text it ends in "…".
        const QString text = QString::fromUtf8(kOutOfDateText);
        const QString fitted = outOfDate_->fontMetrics().elidedText(
            text, Qt::ElideRight, std::max(0, width() - 2 * outOfDate_->margin()));
        outOfDate_->setText(fitted);
        outOfDate_->setToolTip(fitted == text ? QString() : text);
        outOfDate_->raise();
    }
    outOfDate_->setVisible(shown);
}

MenuItemView::~MenuItemView()
{
    if (controller_ && controller_->alerts() == &alerts_)
        controller_->setAlertPresenter(nullptr);
}

void MenuItemView::removeSubViewsFromView(QWidget* view)
{
    if (!view)
        return;
    const QList<QWidget*> children = view->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (view->layout())
            view->layout()->removeWidget(child);
        child->hide();
    }
}

MenuItemViewCatalogue& MenuItemViewCatalogue::shared()
{
    static MenuItemViewCatalogue catalogue;
    return catalogue;
}

void MenuItemViewCatalogue::registerView(const QString& className, ViewFactory factory)
{
    factories_.insert(className, std::move(factory));
}

MenuItemView* MenuItemViewCatalogue::makeView(MenuItemViewController& controller, QWidget* parent) const
{
    const auto factory = factories_.constFind(controller.pageClass());
    if (factory != factories_.constEnd()) {
        if (MenuItemView* view = (*factory)(controller, parent))
            return view;
    }
    return new TitledPage(controller, parent);
}
