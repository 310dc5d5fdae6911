#include "session/SessionServer.h"

#include "core/DMServerManager.h"
#include "core/UserDefaultConfig.h"
#include "login/LoginManager.h"
#include "shell/menu/MenuManager.h"

namespace {
constexpr int32_t kAllKinds = -1;
LoginManager* login()
{
    return LoginManager::getInstance();
}
} // namespace

void SharedSessionServer::startTesting(DMServerManagerDelegate* delegate)
{
    DMServerManager::getInstance()->setDelegate(delegate);
    DMServerManager::getInstance()->startTestingByType(kAllKinds);
}

void SharedSessionServer::cancelTesting()
{
    DMServerManager::getInstance()->cancelTestingByType(kAllKinds);
}

void SharedSessionServer::selectServer(int32_t kind, const QString& tag)
{
    DMServerManager* servers = DMServerManager::getInstance();
    const qint64 index = servers->getIndexWithType(kind, tag);
    if (index >= 0)
        servers->setIndexOfSelectedByType(kind, quint64(index));
}

bool SharedSessionServer::needRequestUtid()
{
    return login()->needRequestUtid();
}
void SharedSessionServer::requestUtid(IUtidDelegate* observer)
{
    login()->requestUtid(observer);
}
void SharedSessionServer::setUtid(const QString& utid)
{
    login()->setUtid(utid);
}
void SharedSessionServer::setNetworkUtidConifg()
{
    login()->setNetworkUtidConifg();
}
void SharedSessionServer::requestAppLogin(IAppLoginDelegate* observer)
{
    login()->requestAppLogin(observer);
}
bool SharedSessionServer::needRetryAppLogin(qint64 errorCode)
{
    return login()->needRetryAppLogin(errorCode);
}
void SharedSessionServer::setContId(const QString& contId)
{
    UserDefaultConfig::getInstance()->setContId(contId);
}

bool SharedSessionServer::needRequestOrgInfo(const std::optional<QString>& version)
{
    return login()->needRequestOrgInfo(version);
}

void SharedSessionServer::requestOrgInfo(IOrganizationInfoDelegate* observer)
{
    login()->requestOrgInfo(observer);
}
bool SharedSessionServer::setOrgInfo(const RDOOrganizationInfo& info)
{
    return login()->setOrgInfo(&info);
}

bool SharedSessionServer::needRequestMenuInfo(const QString& version)
{
    return MenuManager::getInstance()->needRequestMenuInfo(version);
}

bool SharedSessionServer::requestMenuInfo(IQueryMenuInfoDelegate* observer)
{
    return !MenuManager::getInstance()->requestMenuInfo(observer).isEmpty();
}

void SharedSessionServer::setMenuInfo(std::shared_ptr<RDOMenuManager> menu)
{
    MenuManager::getInstance()->setMenuInfo(std::move(menu));
}
