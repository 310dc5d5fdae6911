#include "funds/pages/OpdQuoteViewController.h"

#include "funds/cancel/FundCancelPages.h"
#include "funds/pages/OpdFundTradePages.h"
#include "shell/pages/MenuItemViewManager.h"

OpdQuoteViewController::OpdQuoteViewController(
    BaseNode::Ptr node, Services services, std::unique_ptr<OpenFundList> source)
    : MenuItemViewController(std::move(node), services)
    , openFundList_(source ? std::move(source) : std::make_unique<PurchaseOpenFundList>())
{
}

OpdQuoteViewController::~OpdQuoteViewController() = default;

void OpdQuoteViewController::awakeFromNib()
{
    content_.reset();
    content_.endLoading();
    requestTableContent();
}

void OpdQuoteViewController::requestTableContent()
{
    content_.beginLoading();
    emit changed();
    openFundList_->requestContent(this);
}

void OpdQuoteViewController::requestContentComplete(const OpdFundTablePtr& table)
{
    content_.complete(table);
    emit changed();
}

bool OpdQuoteViewController::requestContentError(const CSError& error)
{
    content_.endLoading();
    emit changed();
    alerts()->runAlert(AlertRequest::error(error.domain), nullptr);
    return true;
}

void OpdQuoteViewController::filterPButtonSelected(qsizetype index)
{
    if (content_.chooseFilter(index))
        emit changed();
}

void registerFundPages()
{
    MenuItemViewManager::getInstance()->registerPageClass(
        QString::fromLatin1(OpdQuoteViewController::kPageClass), [](const BaseNode::Ptr& node) {
            return std::make_unique<OpdQuoteViewController>(node);
        });
    registerFundTradePages();
    registerFundCancelPages();
}
