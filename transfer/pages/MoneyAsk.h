#pragma once

#include "trading/requests/TradeQueryDataModels.h"

#include <functional>
#include <utility>

// One ask for a capital account's money. The page makes a new one for every
// ask and keeps only the latest, so the answer to an earlier ask (another
// account or currency) reaches nobody; the one kept hands its answer, or
// null for a failure, to the page with the number the page filed it under.
class MoneyAsk final : public IMoneyInfoDelegate {
public:
    using Answered = std::function<void(quint64 ask, const RDOMoney* money)>;

    MoneyAsk(quint64 ask, Answered answered)
        : ask_(ask)
        , answered_(std::move(answered))
    {
    }

    void queryMoneyInfo(DataModel*, const QString&, const RDOMoney& money) override { answered_(ask_, &money); }
    bool queryMoneyInfo(DataModel*, const QString&, const CSError&) override
    {
        answered_(ask_, nullptr);
        return false;
    }

private:
    quint64 ask_;
    Answered answered_;
};
