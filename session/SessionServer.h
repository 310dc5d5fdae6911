#pragma once

#include "login/LoginDataModels.h"
#include "shell/ShellDataModels.h"

#include <QString>
#include <memory>
#include <optional>

class DMServerManagerDelegate;

// The start-up requests as the session controller sends them: the speed test
// of the server lists, the login sequence's steps and the menu. The
// application's go to the shared managers; tests script the server.
class ISessionServer {
public:
    virtual ~ISessionServer() = default;

    // Speed tests of both kinds (kind -1), results to `delegate`.
    virtual void startTesting(DMServerManagerDelegate* delegate) = 0;
    virtual void cancelTesting() = 0;
    // Selects the server with this tag in the list of its kind (0 quote, 1 trade).
    virtual void selectServer(int32_t kind, const QString& tag) = 0;

    virtual bool needRequestUtid() = 0;
    virtual void requestUtid(IUtidDelegate* observer) = 0;
    virtual void setUtid(const QString& utid) = 0;
    virtual void setNetworkUtidConifg() = 0;
    virtual void requestAppLogin(IAppLoginDelegate* observer) = 0;
    virtual bool needRetryAppLogin(qint64 errorCode) = 0;
    virtual void setContId(const QString& contId) = 0;
    virtual bool needRequestOrgInfo(const std::optional<QString>& version) = 0;
    virtual void requestOrgInfo(IOrganizationInfoDelegate* observer) = 0;
    virtual bool setOrgInfo(const RDOOrganizationInfo& info) = 0;
    virtual bool needRequestMenuInfo(const QString& version) = 0;
    // False when the request could not be made (the observer hears nothing).
    virtual bool requestMenuInfo(IQueryMenuInfoDelegate* observer) = 0;
    virtual void setMenuInfo(std::shared_ptr<RDOMenuManager> menu) = 0;
};

// The shared DMServerManager, LoginManager, MenuManager and settings store.
class SharedSessionServer final : public ISessionServer {
public:
    void startTesting(DMServerManagerDelegate* delegate) override;
    void cancelTesting() override;
    void selectServer(int32_t kind, const QString& tag) override;
    bool needRequestUtid() override;
    void requestUtid(IUtidDelegate* observer) override;
    void setUtid(const QString& utid) override;
    void setNetworkUtidConifg() override;
    void requestAppLogin(IAppLoginDelegate* observer) override;
    bool needRetryAppLogin(qint64 errorCode) override;
    void setContId(const QString& contId) override;
    bool needRequestOrgInfo(const std::optional<QString>& version) override;
    void requestOrgInfo(IOrganizationInfoDelegate* observer) override;
    bool setOrgInfo(const RDOOrganizationInfo& info) override;
    bool needRequestMenuInfo(const QString& version) override;
    bool requestMenuInfo(IQueryMenuInfoDelegate* observer) override;
    void setMenuInfo(std::shared_ptr<RDOMenuManager> menu) override;

private:
    quint64 test_ = 0; // the speed test it started last
};
