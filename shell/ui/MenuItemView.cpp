#include "shell/ui/MenuItemView.h"

#include "shell/ui/WheelScroll.h"

#include <QLabel>
#include <QLayout>
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
{
    setObjectName(controller.pageClass().isEmpty() ? QStringLiteral("menuItemView") : controller.pageClass());
    controller.setAlertPresenter(&alerts_);
    ui::letTheWheelScrollPastFields();
    connect(&controller, &MenuItemViewController::changed, this, [this] { refresh(); });
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
