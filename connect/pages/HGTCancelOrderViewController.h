#pragma once

#include "connect/HGTRequestManager.h"
#include "trading/pages/DeputeCancelViewController.h"

class HGTCancelRelay;

// The Stock Connect cancel page (link id 90003): today's Stock Connect
// orders, ticked and cancelled one request per order after one
// confirmation, as the ordinary cancel page does. Every request sent is
// answered once (a time-out, a lost connection or an answer without its
// order number as an unknown outcome), so the summary always comes and the
// dialog always closes; then the orders are listed again, and only the
// listing asked last is shown.
class HGTCancelOrderViewController : public DeputeCancelViewController,
                                     public IHGTQueryOrdersOfToday,
                                     public IHGTCancelOrder {
    Q_OBJECT
public:
    static constexpr char kPageClass[] = "HGTCancelOrderViewController";
    static constexpr char kQueryFlag[] = "1";
    static constexpr quint64 kQueryCount = 9999;
    // What a single cancel the server took tells, whoever tells it.
    static QString cancelledText() { return QStringLiteral("成功。"); }

    explicit HGTCancelOrderViewController(
        BaseNode::Ptr node = nullptr, HGTRequestManager* requestManager = nullptr, Services services = Services());

    void hgtQueryOrdersOfToday(
        DataModel*, const QString& handle, const std::shared_ptr<DTOrdersOfTodayTable>& table) override;
    bool hgtQueryOrdersOfToday(DataModel*, const QString& handle, const CSError& error) override;
    void hgtCancelOrder(DataModel*, const QString& handle, const QString& orderNumber) override;
    bool hgtCancelOrder(DataModel*, const QString& handle, const CSError& error) override;
    // The run the base sends is heard through a relay of this page's own
    // cancel answers, so it is counted and told whatever became of the page.
    bool doConfigOrder(int type) override;

protected:
    void clearAccountFigures() override;
    bool requestList() override;
    const char* listFigure() const override { return owedfigure::kHGTOrders; }
    QString sendCancel(const RDOOrder& order, QString* handle) override;
    bool namesItsOrder(const RDOOrder& order) const override { return !order.orderSNo.trimmed().isEmpty(); }
    QString succeededText(const QString&) const override { return cancelledText(); }

private:
    // A listing that failed, or could not be asked for.
    void listingFailed(const CSError& error);

    HGTRequestManager* requestManager;
    // The relay the cancels of the run being sent are heard through.
    HGTCancelRelay* runRelay_ = nullptr;
};
