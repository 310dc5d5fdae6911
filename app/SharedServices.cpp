#include "app/SharedServices.h"

#include "comm/request/CSSession.h"
#include "compliance/RiskAssessmentManager.h"
#include "compliance/permissions/PermissionSettingsManager.h"
#include "core/DMCDataCache.h"
#include "core/DMServerManager.h"
#include "core/DataModelManager.h"
#include "core/NetworkFactory.h"
#include "core/SystemInfo.h"
#include "core/UserDefaultConfig.h"
#include "funds/FundTradeOperations.h"
#include "funds/OpenFundManager.h"
#include "login/AccountManager.h"
#include "login/LoginManager.h"
#include "login/OrgInfoManager.h"
#include "shell/menu/MenuManager.h"
#include "shell/messages/MessageCenterManager.h"
#include "shell/pages/MenuItemViewManager.h"
#include "trading/orders/OrderManager.h"
#include "trading/query/CommonQueryManager.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/security/StockManager.h"
#include "transfer/FundTransferManager.h"

void releaseSharedServices()
{
    MenuItemViewManager::resetInstance();
    MessageCenterManager::resetInstance();
    RiskAssessmentManager::resetInstance();
    PermissionSettingsManager::resetInstance();
    // The request managers, each with the request objects it made.
    OrderManager::resetInstance();
    QueryInfoManager::resetInstance();
    CommonQueryManager::resetInstance();
    OrderManagerFunds::resetInstance();
    QueryInfoManagerFunds::resetInstance();
    OpenFundManager::resetInstance();
    FundTransferManager::resetInstance();
    StockManager::resetInstance();
    MenuManager::resetInstance();
    LoginManager::resetInstance();
    AccountManager::resetInstance();
    OrgInfoManager::resetInstance();
    DMCDataCache::resetInstance();
    DMServerManager::resetInstance();
    NetworkFactory::resetInstance();
    CSSession::releaseAll();
    DataModelManager::resetInstance();
    SystemInfo::resetInstance();
    UserDefaultConfig::resetInstance();
}
