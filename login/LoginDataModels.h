#pragma once

#include "core/DataModelClass.h"
#include "core/DataModelFactory.h"
#include "core/RDOServerInfo.h"
#include "core/TradeDataModel.h"
#include "login/LoginRecords.h"

#include <optional>
#include <vector>

class DMServerManager;

// The request classes of the login sequence and of the logged-in account.
// All go to the trade server.

LUMORA_DATA_MODEL_PROTOCOL(IUtidDelegate, queryUtid, QString)
LUMORA_DATA_MODEL_PROTOCOL(IAppLoginDelegate, appLogin, std::optional<RDOServerVersionInfo>)
LUMORA_DATA_MODEL_PROTOCOL(IOrganizationInfoDelegate, queryOrganizationInfo, RDOOrganizationInfo)
LUMORA_DATA_MODEL_PROTOCOL(IIdentifyingCodeDelegate, identifyingCode, RDOIdentifyingCode)
LUMORA_DATA_MODEL_PROTOCOL(ITradeLoginDelegate, tradeLogin, RDOAccount)
LUMORA_DATA_MODEL_PROTOCOL(IIdentifyLoginDelegate, identifyLogin, RDOAccount)
LUMORA_DATA_MODEL_PROTOCOL(IQuerySystemMessageDelegate, querySystemMessage, std::vector<RDOSystemMessage>)
LUMORA_DATA_MODEL_PROTOCOL(
    IQueryRiskAssessmentStatusDelegate, queryRiskAssessmentStatus, RDORiskAssessmentStatus)
LUMORA_DATA_MODEL_PROTOCOL(IQueryFundInfoDelegate, queryFundInfo, std::vector<RDOFund>)
LUMORA_DATA_MODEL_PROTOCOL(IChangeTradePasswordDelegate, changeTradePassword, bool)
LUMORA_DATA_MODEL_PROTOCOL(IChangeFundPasswordDelegate, changeFundPassword, bool)
LUMORA_DATA_MODEL_PROTOCOL(IReservationInfoDelegate, reservationInfo, bool)

// Terminal id: 1000 / 1, the id in "UTID".
class DMUtid final : public DataModelClass<DMUtid, TradeDataModel, tagUtidParam, IUtidDelegate> {
public:
    static constexpr DataModelInfo info { "263AA7CD-AA70-A3B4-6621-005031E49E14", 1000, 1,
        HandleRule::Fixed };
    using DataModelClass::DataModelClass;
    static void body(const tagUtidParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// Application login: 1000 / 2. The reply's server lists replace the stored
// ones before any observer hears of it.
class DMAppLogin final
    : public DataModelClass<DMAppLogin, TradeDataModel, tagAppLoginParam, IAppLoginDelegate> {
public:
    static constexpr DataModelInfo info { "56D3255F-8E67-03F3-70A5-BF5131D5AC03", 1000, 2,
        HandleRule::Fixed };
    // init: the server lists default to the shared DMServerManager.
    explicit DMAppLogin(
        INetworkFactory* networkCreator = nullptr, DMServerManager* serverInfoManager = nullptr);
    static void body(const tagAppLoginParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);

    // The last error code tells the latest outcome: a transport failure or a
    // success replaces an earlier 90001, so it cannot cause a retry.
    bool respondWithError(const CSError& error, const QString& identifier) override;

protected:
    void completeWithRecordSets(const QString& handle, const tagRequestParam& param,
        const std::vector<VEKTCRS>& recordSets, const ObserverList& observers) override;

private:
    DMServerManager* serverInfoManager;
};

// Branch list: 550 / 7, no parameters, handle "fixed".
class DMOrganizationInfo final : public TradeDataModel {
public:
    static constexpr DataModelInfo info { "7CDCB912-E3FA-BEDE-5A42-1D88CD95E818", 550, 7, HandleRule::Fixed };
    explicit DMOrganizationInfo(INetworkFactory* networkCreator = nullptr);

    QString getRequestHandle(const tagRequestParam& param) const override;
    void request(const DMRequestParamObject& object) override;

protected:
    bool acceptsObserver(DataModelObserver* observer) const override;
    void completeWithRecordSets(const QString& handle, const tagRequestParam& param,
        const std::vector<VEKTCRS>& recordSets, const ObserverList& observers) override;
    void failWithError(const QString& handle, const tagRequestParam& param, const CSError& error,
        const ObserverList& observers) override;
};

// Captcha: 1001 / 1 with the TC session, handle "fixed".
class DMIdentifyingCode final : public DataModelClass<DMIdentifyingCode, TradeDataModel,
                                    tagIdentifyingCodeParam, IIdentifyingCodeDelegate> {
public:
    static constexpr DataModelInfo info { "B599F15B-6751-D7D3-FC3C-8C33F3BB09B2", 1001, 1, HandleRule::Fixed,
        RequestEffect::Reads, true };
    using DataModelClass::DataModelClass;
    static void body(const tagIdentifyingCodeParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// Trade login: 501 / 500 with the TC session. Equal logins (all fields, the
// password hashed in the handle) pending together are one.
class DMTradeLogin final
    : public DataModelClass<DMTradeLogin, TradeDataModel, tagTradeLoginParam, ITradeLoginDelegate> {
public:
    static constexpr DataModelInfo info { "5F2E0D57-4FD1-49C4-7C1B-80D64B51FC4B", 501, 500,
        HandleRule::Fields, RequestEffect::Reads, true };
    using DataModelClass::DataModelClass;
    static void body(const tagTradeLoginParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets) { return RDOAccount(sets); }
    // The session needs the customer number and the common prefix that
    // begins every later trade request: a reply without either logs nobody in.
    static std::optional<QString> lacking(const Result& account);
};

// Identity login (password re-check on unlock): 500 / 1, input type always "C".
class DMIdentifyLogin final
    : public DataModelClass<DMIdentifyLogin, TradeDataModel, tagIdentifyLoginParam, IIdentifyLoginDelegate> {
public:
    static constexpr DataModelInfo info { "5B676C98-221D-DFC2-9AED-F4C964F65F63", 500, 1,
        HandleRule::Fields };
    using DataModelClass::DataModelClass;
    static void body(const tagIdentifyLoginParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets) { return RDOAccount(sets); }
};

// System messages of the login window: 550 / 13, handle "fixed".
class DMQuerySystemMessage final : public DataModelClass<DMQuerySystemMessage, TradeDataModel,
                                       tagQuerySystemMessageParam, IQuerySystemMessageDelegate> {
public:
    static constexpr DataModelInfo info { "612D9A90-7C07-0B56-E54E-15BA0C5630E3", 550, 13,
        HandleRule::Fixed };
    using DataModelClass::DataModelClass;
    static void body(const tagQuerySystemMessageParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// Risk-evaluation status after login: 500 / 2162, prefix and "version=1".
class DMQueryRiskEvaluationStatus final
    : public DataModelClass<DMQueryRiskEvaluationStatus, TradeDataModel, tagRiskAssessmentStatusParam,
          IQueryRiskAssessmentStatusDelegate> {
public:
    static constexpr DataModelInfo info { "f08e9d68-abd6-482f-aa83-3286f9990d8b", 500, 2162,
        HandleRule::Fixed };
    using DataModelClass::DataModelClass;
    static void body(const tagRiskAssessmentStatusParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// The customer's capital accounts: 500 / 113, the prefix alone.
class DMQueryFundInfo final
    : public DataModelClass<DMQueryFundInfo, TradeDataModel, tagFundInfoParam, IQueryFundInfoDelegate> {
public:
    static constexpr DataModelInfo info { "B3FB987D-A4CF-2273-1E5F-610388D6E606", 500, 113 };
    using DataModelClass::DataModelClass;
    static void body(const tagFundInfoParam& p, RequestBody& b) { b.prefix(p.commonUrl); }
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// Trade password change: 500 / 12.
class DMChangeTradePassword final : public DataModelClass<DMChangeTradePassword, TradeDataModel,
                                        tagTradePasswordParam, IChangeTradePasswordDelegate> {
public:
    static constexpr DataModelInfo info { "59ED04F6-C2DB-2EB7-C248-FC3C0F84F37B", 500, 12, HandleRule::Fields,
        RequestEffect::Changes };
    using DataModelClass::DataModelClass;
    static void body(const tagTradePasswordParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("newpwd", p.newPassword).add("oldpwd", p.oldPassword);
    }
    static Result reply(const std::vector<VEKTCRS>&) { return true; }
};

// Fund password change: 500 / 13.
class DMChangeFundPassword final : public DataModelClass<DMChangeFundPassword, TradeDataModel,
                                       tagFundPasswordParam, IChangeFundPasswordDelegate> {
public:
    static constexpr DataModelInfo info { "6937A799-8B4C-5774-D5EB-E254E3F3946B", 500, 13, HandleRule::Fields,
        RequestEffect::Changes };
    using DataModelClass::DataModelClass;
    static void body(const tagFundPasswordParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("newfundpwd", p.newPassword).add("oldfundpwd", p.oldPassword);
    }
    static Result reply(const std::vector<VEKTCRS>&) { return true; }
};

// Reserved greeting: 500 / 704, the greeting percent-escaped.
class DMReservationInfo final : public DataModelClass<DMReservationInfo, TradeDataModel,
                                    tagReservationInfoParam, IReservationInfoDelegate> {
public:
    static constexpr DataModelInfo info { "0241E5F3-FFA2-9660-90F0-674FBD4D33CA", 500, 704,
        HandleRule::Fields, RequestEffect::Changes };
    using DataModelClass::DataModelClass;
    static void body(const tagReservationInfoParam& p, RequestBody& b)
    {
        b.prefix(p.commonUrl).add("prompt", p.prompt);
    }
    // Done only when the first row's "ErrCode" has the value 0.
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// Registers the classes above in the catalogue; the catalogue runs it before
// its first lookup.
void registerLoginDataModels();
LUMORA_REGISTER_DATA_MODELS(registerLoginDataModels)
