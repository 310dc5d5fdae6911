#pragma once

#include "core/DataModel.h"
#include "login/LoginRecords.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class AccountManager;
class DMServerManager;
class DataModelManager;
class IAppLoginDelegate;
class IIdentifyLoginDelegate;
class IIdentifyingCodeDelegate;
class IOrganizationInfoDelegate;
class IQueryRiskAssessmentStatusDelegate;
class IQuerySystemMessageDelegate;
class ITradeLoginDelegate;
class IUtidDelegate;
class OrgInfoManager;
class SystemInfo;
class UserDefaultConfig;

// What LoginManager works with; null ones are the shared instances.
struct LoginManagerServices {
    AccountManager* accountManager = nullptr;
    OrgInfoManager* orgInfoManager = nullptr;
    DataModelManager* dataModelMgr = nullptr;
    UserDefaultConfig* userDefaultConfig = nullptr;
    SystemInfo* systemInfo = nullptr;
    DMServerManager* dmServerManager = nullptr; // taken on first use when null
};

// Sends the requests of the login sequence with the caller as observer and
// keeps what the sequence needs between steps: the terminal id, the branch-
// list version to store and the handles that can be cancelled. The order of
// the steps is the session controller's. Main thread only.
//
// Texts typed by the user go into the bodies only after they are checked for
// their field: a text too long for its buffer, or one that is not printable
// ASCII or holds "&" or "=", makes the request refused and the observer hears
// why (never cut, never sent).
class LoginManager {
public:
    static constexpr qint32 kTimeout = 30; // seconds
    static constexpr qint64 kRetryAppLoginCode = 90001;

    using Services = LoginManagerServices;

    static LoginManager* getInstance();
    // Tests: drops the shared manager.
    static void resetInstance();

    // Null services are the shared instances.
    explicit LoginManager(Services services = Services());
    ~LoginManager();
    LoginManager(const LoginManager&) = delete;
    LoginManager& operator=(const LoginManager&) = delete;

    const std::optional<QString>& utid() const { return _utid; }
    void setUtid(const std::optional<QString>& utid);
    bool needRequestUtid();
    void requestUtid(IUtidDelegate* observer);
    void setNetworkUtidConifg();
    void requestAppLogin(IAppLoginDelegate* observer);
    bool needRetryAppLogin(qint64 errorCode) const;
    bool needRequestOrgInfo(const std::optional<QString>& orgVersion);
    void requestOrgInfo(IOrganizationInfoDelegate* observer);
    bool setOrgInfo(const RDOOrganizationInfo* info);
    void requestIdentifyingCode(IIdentifyingCodeDelegate* observer);
    bool checkNecessaryInfo() const;
    static std::optional<QString> getInputType(quint32 index);
    // requestTradeLogin:Account:Password:InputType:OrganizationId:identifyingCode:guardCode:
    void requestTradeLogin(ITradeLoginDelegate* observer, const QString& account, const QString& password,
        quint32 inputType, const QString& organizationId, const QString& identifyingCode,
        const QString& guardCode);
    void cancelTradeLogin();
    // requestIdentifyLogin:Account:Password:OrganizationId:
    void requestIdentifyLogin(IIdentifyLoginDelegate* observer, const QString& account,
        const QString& password, const QString& organizationId);
    void cancelIdentifyLogin();
    // Answers the request's handle (empty when it could not be made).
    QString requestRiskEvaluationStatus(IQueryRiskAssessmentStatusDelegate* observer);
    void cancelRiskEvaluationStatus(const QString& handle);
    QString requestSystemMessage(IQuerySystemMessageDelegate* observer);
    std::optional<QStringList> getAccountArray(qint64 type) const;

    // The trade-login network address "M:%@|%@|MAC:%@|SN:%@|DN:%@|ver%@".
    QString tradeLoginNetAddr() const;
    // Tests: the time-out of every request (seconds; 30 by default).
    void setRequestTimeout(qint32 seconds) { timeout = seconds; }
    const std::optional<QString>& orgVersion() const { return _orgVersion; }
    const QString& identifyCodeHandle() const { return _identifyCodeHandle; }
    // The request objects, made on first use (tests look at them).
    DataModel* utidDataModel();
    DataModel* appLoginDataModel();
    DataModel* orgInfoDataModel();
    DataModel* tradeLoginDataModel();
    DataModel* identifyLoginDataModel();
    DataModel* identifyingCodeDataModel();
    DataModel* querySystemMessageDataModel();
    DataModel* queryRiskEvaluationStatusDataModel();

private:
    DataModel* dataModel(std::unique_ptr<DataModel>& slot, const char* identifier);
    DMServerManager* serverManager();

    AccountManager* accountManager;
    OrgInfoManager* orgInfoManager;
    DataModelManager* dataModelMgr;
    std::unique_ptr<DataModel> utidDataModel_;
    std::unique_ptr<DataModel> appLoginDataModel_;
    std::unique_ptr<DataModel> orgInfoDataModel_;
    std::unique_ptr<DataModel> tradeLoginDataModel_;
    std::unique_ptr<DataModel> dmIdentifyLogin;
    std::unique_ptr<DataModel> dmIdentifyingCode;
    std::unique_ptr<DataModel> dmQuerySystemMessage;
    std::unique_ptr<DataModel> dmQueryRiskEvaluationStatus;
    DMServerManager* dmServerManager;
    UserDefaultConfig* userDefaultConfig;
    SystemInfo* systemInfo;
    std::optional<QString> _utid;
    std::optional<QString> _orgVersion;
    QString loginHandle;
    QString identifyLoginHandle;
    QString _identifyCodeHandle = QStringLiteral("");
    qint32 timeout = kTimeout;
};
