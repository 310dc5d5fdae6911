#pragma once

#include <QString>
#include <functional>
#include <memory>

class QueryInfoManager;

// The available money of the login's own capital account, in 人民币, as
// the fund forms show it: the amount as sent followed by its unit. Kept
// apart from the fund records, whose table template shares its name with
// trading's.
class FundMoneyQuery {
public:
    // Null: the shared query facade.
    explicit FundMoneyQuery(QueryInfoManager* queries = nullptr);
    ~FundMoneyQuery();
    FundMoneyQuery(const FundMoneyQuery&) = delete;
    FundMoneyQuery& operator=(const FundMoneyQuery&) = delete;

    // requestAvailableBalance: `shown` hears the text on success; a failed
    // query leaves what is shown. `answered` hears whether the answer came
    // with its rows, either way.
    void request(std::function<void(const QString&)> shown, std::function<void(bool)> answered = {});

    // Tests that use no trading page: the money query's request class, and
    // a fresh query facade.
    static void registerDataModels();
    static void resetShared();

private:
    struct Observer;
    QueryInfoManager* queries_;
    std::unique_ptr<Observer> observer_;
};
