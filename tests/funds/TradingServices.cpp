// The trading services the fund forms use, kept out of the fund tests' own
// files: trading's record templates share names with the fund records'.
#include "compliance/permissions/PermissionSettingsManager.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/requests/SecurityInfoDataModels.h"

namespace fundtest {

void registerMoneyQuery()
{
    registerOrderAndQueryDataModels();
}

void resetMoneyQuery()
{
    QueryInfoManager::resetInstance();
    // Signs the notices; its requests belong to the test's connection.
    PermissionSettingsManager::resetInstance();
}

} // namespace fundtest
