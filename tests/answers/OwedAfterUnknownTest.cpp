// What each action of the catalogue leaves owed when its outcome is unknown:
// the figures it may have changed, wherever a page shows them (a fund order
// or a transfer spends the money the buy page figures its maximum from).
// A class added later that changes something a page shows fails here until
// it names it.
#include "compliance/permissions/PermissionDataModels.h"
#include "connect/requests/HGTDataModels.h"
#include "core/DataModelFactory.h"
#include "core/NetworkFactory.h"
#include "funds/requests/FundDataModels.h"
#include "login/AccountManager.h"
#include "login/OwedReads.h"
#include "trading/requests/OrderDataModels.h"
#include "transfer/TransferDataModels.h"

#include <gtest/gtest.h>
#include <map>

namespace {

using namespace owedfigure;

// A page that shows every figure and asks none.
struct EveryFigure : IOwedReader {
    QStringList readOwed(const QStringList&) override { return {}; }
};

QStringList figures(std::initializer_list<const char*> names)
{
    QStringList out;
    for (const char* name : names)
        out << QString::fromLatin1(name);
    out.sort();
    return out;
}

TEST(OwedAfterUnknown, EachActionOwesWhatItMayChange)
{
    const QStringList shareOrder = figures({ kMoney, kMaximum, kPositions, kOrders });
    const QStringList fundOrder = figures({ kFundShares, kFundOrders, kMoney, kMaximum });
    const QStringList connectOrder = figures({ kMoney, kMaximum, kPositions, kHGTOrders });
    const std::map<QString, QStringList> owes {
        { DMTradeDepute::info.identifier, shareOrder },
        { DMPurchaseNewStock::info.identifier, shareOrder },
        { DMRequestCancelOrder::info.identifier, shareOrder },
        { DMFundTransfer::info.identifier, figures({ kTransfers, kMoney, kMaximum, kBankBalance }) },
        { DMFundInsideTransfer::info.identifier, figures({ kMoney, kMaximum }) },
        { DMFundCollection::info.identifier, figures({ kMoney, kMaximum }) },
        { DMOpdFundTrade::info.identifier, fundOrder },
        { DMRedeemOpdFund::info.identifier, fundOrder },
        { DMTransformOpdFund::info.identifier, fundOrder },
        { DMOpdFundCancelOrder::info.identifier, fundOrder },
        { DMSubmitOpdBonusSetting::info.identifier, figures({ kFundShares, kFundOrders, kFundDividends }) },
        { DMOpdFundInvestOntime::info.identifier, figures({ kFundPlans }) },
        { DMInvestOntimeCancelOrder::info.identifier, figures({ kFundPlans }) },
        { DMHGTMakeOrder::info.identifier, connectOrder },
        { DMHGTCancelOrder::info.identifier, connectOrder },
        { DMOpenPermissionAccess::info.identifier, figures({ kPermissions }) },
    };
    auto account = std::make_shared<Account>();
    account->customerNumber = QStringLiteral("010100000001");
    AccountManager::getInstance()->addActiveAccount(account);
    DataModelFactory factory;
    std::size_t owing = 0;
    for (const QString& id : DataModelFactory::registeredIdentifiers()) {
        SCOPED_TRACE(qPrintable(id));
        OwedReads::resetInstance();
        EveryFigure page;
        OwedReads::getInstance()->join(&page,
            { kMoney, kMaximum, kPositions, kOrders, kTransfers, kPermissions, kFundShares, kFundOrders,
                kFundPlans, kHGTOrders, kBankBalance, kFundDividends });
        std::unique_ptr<DataModel> model = factory.createDataModel(id);
        ASSERT_TRUE(model);
        // The answer of a request sent for the account: none waits under
        // the handle, so the ledger names the test's.
        RequestLedger::Answering lost(RequestLedger::sent(), false);
        model->respondWithError(CSErrors::requestTimeout(), model->requestIdentifier(QStringLiteral("lost")));
        QStringList owed = OwedReads::getInstance()->owedTo(&page);
        owed.sort();
        const auto expected = owes.find(id);
        EXPECT_EQ(owed, expected != owes.end() ? expected->second : QStringList());
        owing += owed.isEmpty() ? 0 : 1;
    }
    EXPECT_EQ(owing, owes.size());
    OwedReads::resetInstance();
    AccountManager::resetInstance();
    NetworkFactory::resetInstance();
}

} // namespace
