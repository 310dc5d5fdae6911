#include "shell/ui/MenuItemView.h"

#include "shell/ui/WheelScroll.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QPalette>
#include <QVBoxLayout>

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
    outOfDate_->setWordWrap(true);
    QPalette warning = outOfDate_->palette();
    warning.setColor(QPalette::Window, QColor(0xff, 0xf3, 0xcd));
    warning.setColor(QPalette::WindowText, QColor(0x8a, 0x4b, 0x00));
    outOfDate_->setPalette(warning);
    outOfDate_->setAutoFillBackground(true);
    outOfDate_->setMargin(4);
    outOfDate_->hide();
    controller.setAlertPresenter(&alerts_);
    ui::letTheWheelScrollPastFields();
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
    if (!markInLayout_)
        outOfDate_->setGeometry(0, 0, width(), outOfDate_->heightForWidth(width()));
}

void MenuItemView::markOutOfDate()
{
    // The page's own font, not the one a desktop theme gives labels.
    QFont pageFont = font();
    pageFont.setResolveMask(QFont::AllPropertiesResolved);
    outOfDate_->setFont(pageFont);
    const bool shown = controller_ && !controller_->figuresOutOfDate().isEmpty();
    // Above the page's own controls where its layout lets it stand there;
    // over their top otherwise.
    if (shown && !markInLayout_) {
        if (auto* box = qobject_cast<QBoxLayout*>(layout())) {
            box->insertWidget(0, outOfDate_);
            markInLayout_ = true;
        } else {
            outOfDate_->setGeometry(0, 0, width(), outOfDate_->heightForWidth(width()));
            outOfDate_->raise();
        }
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
