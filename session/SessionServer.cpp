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
    DMServerManager* servers = DMServerManager::getInstance();
    // The start-up cannot go on without its own test: one still running (the
    // server-list window's) gives way, rather than reporting to a start-up
    // that waits for results of both kinds.
    if (servers->isTesting())
        servers->cancelTestingByType(kAllKinds);
    servers->setDelegate(delegate);
    test_ = servers->startTestingByType(kAllKinds) ? servers->runningTest() : 0;
}

void SharedSessionServer::cancelTesting()
{
    // Only its own: a test the server-list window started since goes on.
    DMServerManager::getInstance()->cancelTest(test_);
}

void SharedSessionServer::selectServer(int32_t kind, const QString& tag)
{
    // An entry no network can be pointed at is never selected (the test
    // does not probe one either).
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
