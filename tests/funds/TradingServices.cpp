// The shared services the fund form's tests reset, kept out of the test
// files that see the fund records.
#include "compliance/permissions/PermissionSettingsManager.h"
#include "funds/trade/FundMoneyQuery.h"

namespace fundtest {

void registerMoneyQuery()
{
    FundMoneyQuery::registerDataModels();
}

void resetMoneyQuery()
{
    FundMoneyQuery::resetShared();
    // Signs the notices; its requests belong to the test's connection.
    PermissionSettingsManager::resetInstance();
}

} // namespace fundtest
