#pragma once

#include "shell/pages/MenuItemViewController.h"
#include "trading/pages/PageTable.h"
#include "trading/query/QueryInfoManager.h"

// What the distribution list page works with; null: the shared instance.
struct DistributionServices : MenuItemViewControllerServices {
    QueryInfoManager* queryInfoManager = nullptr;
};

// The customer's distribution list as the server sends it, one column per
// field. A failed query shows the warning over an empty table.
class DistributionViewController : public MenuItemViewController, public IQueryDistributionDelegate {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "DistributionViewController";
    using Services = DistributionServices;

    explicit DistributionViewController(BaseNode::Ptr node = nullptr, Services services = Services());

    PageTable& distributionTableView() { return table_; }
    DVTableModel& distributionTable() { return table_.model(); }
    bool warningShown() const { return warning_; }

    void requestQueryDistribution();
    void queryDistribution(DataModel* request, const QString& handle, const DTTablePtr& table) override;
    bool queryDistribution(DataModel* request, const QString& handle, const CSError& error) override;

protected:
    void awakeFromNib() override;
    void clearAccountFigures() override;

private:
    QueryInfoManager* queryInfoManager_;
    PageTable table_;
    bool warning_ = false;
};
