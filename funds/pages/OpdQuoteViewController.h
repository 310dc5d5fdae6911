#pragma once

#include "funds/lists/FundListContent.h"
#include "funds/lists/OpenFundList.h"
#include "shell/pages/MenuItemViewController.h"

#include <memory>

// The fund quote list page (link id 30013): the funds open for purchase with
// the columns the server sends, filterable by fund company. It trades
// nothing. It shares the purchase list's cache with the purchase page.
class OpdQuoteViewController : public MenuItemViewController, public IRequestContentDelegate {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "OpdQuoteViewController";
    static constexpr qint64 kLinkId = 30013;

    // initWithNodeInfo: the page and its PurchaseOpenFundList source.
    explicit OpdQuoteViewController(BaseNode::Ptr node = nullptr, Services services = Services(),
        std::unique_ptr<OpenFundList> source = nullptr);
    ~OpdQuoteViewController() override;

    void requestTableContent();
    void requestContentComplete(const OpdFundTablePtr& table) override;
    bool requestContentError(const CSError& error) override;
    // filterPButtonSelected: the filter entry chosen.
    void filterPButtonSelected(qsizetype index);

    OpenFundList* openFundList() const { return openFundList_.get(); }
    const FundListContent& content() const { return content_; }

protected:
    void awakeFromNib() override;

private:
    std::unique_ptr<OpenFundList> openFundList_;
    FundListContent content_;
};

// Registers the fund pages of this library with the page dispatch.
void registerFundPages();
