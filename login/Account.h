#pragma once

#include "core/DataModel.h"
#include "login/LoginRecords.h"

#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class DataModelManager;
class IChangeFundPasswordDelegate;
class IChangeTradePasswordDelegate;
class IQueryFundInfoDelegate;
class IReservationInfoDelegate;
class OrgInfoManager;
class UserDefaultConfig;

// One customer account: identity, capital account, shareholder accounts per
// market and the common request prefix that begins every trade request. Made
// from the trade-login reply (a logged-in account) or from a saved record
// (offers its numbers to the login form). Main thread only.
class Account {
public:
    static constexpr qint32 kTimeout = 30; // seconds, for every request
    static constexpr qsizetype kMaxPasswordLength = 31;
    static constexpr qsizetype kMaxPrefixLength = 1023;

    // init: the defaults; services default to the shared instances.
    explicit Account(OrgInfoManager* orgInfoManager = nullptr, DataModelManager* dataModelManager = nullptr,
        UserDefaultConfig* userDefaultConfig = nullptr);
    ~Account();
    Account(const Account&) = delete;
    Account& operator=(const Account&) = delete;

    // initWithDict: fills the account from a saved-account record.
    void initWithDict(const QVariantMap& record);
    // initWithRDOAccount: fills the account from the trade-login reply.
    void initWithRDOAccount(const RDOAccount& reply);

    // fixIPInfo: the value of the "netaddr" pair becomes the text; every
    // other pair stays. No such pair, or a text that could split a pair:
    // the prefix is left as it is.
    void fixIPInfo(const QString& deviceString);
    QString getAccountInfo() const;
    // getDictObject: the saved-account record, updated in place. It holds no
    // password, prefix or name.
    QVariantMap getDictObject();

    std::optional<QString> getSecurityId(qint64 marketCode) const;
    QVariantList getSecuidInfo() const;
    QVariantList getSecuidInfoByMarketCode(qint64 marketCode) const;
    QVariantList getSecuidInfoExceptByMarketCode(qint64 marketCode) const;

    // The requests answer "" when sent (or, with a missing argument, when
    // nothing was to be done), or why they were refused before sending;
    // `handle` hears the request handle ("" when nothing was sent).
    QString requestFundInfo(IQueryFundInfoDelegate* observer);
    std::vector<RDOFund> getFundInfoList(const std::optional<std::vector<RDOFund>>& list);
    QString requestChangeTradePassword(IChangeTradePasswordDelegate* observer, const QString& oldPassword,
        const QString& newPassword, QString* handle = nullptr);
    // getCommonUrlStringReplaceNewPwd: nullopt for an absent or empty
    // password, an absent prefix, or a password that cannot stand as a value.
    std::optional<QString> getCommonUrlStringReplaceNewPwd(const QString& password) const;
    void upateTradePassword();
    std::optional<QString> getTradePassword() const;
    static QString getChangeTradePasswordSuccessMessage();
    static QString getChangeFundPasswordSuccessMessage();
    QString getChangeTradePasswordErrorMessage() const;
    QString getChangeFundPasswordErrorMessage() const;
    QString getFundInfoErrorMessage() const;
    QString requestChangeFundPassword(IChangeFundPasswordDelegate* observer, const QString& oldPassword,
        const QString& newPassword, const std::optional<QString>& fundId, QString* handle = nullptr);
    // getNewCommonUrlStringByFundid: nullopt for a capital account that
    // cannot stand as a value.
    std::optional<QString> getNewCommonUrlStringByFundid(const QString& fundId) const;
    std::optional<QString> getFundidFromCommonUrl() const;
    std::optional<QString> getOrgIdFromCommonUrl() const;
    QString requestReservationInfo(
        IReservationInfoDelegate* observer, const std::optional<QString>& info, QString* handle = nullptr);

    // Properties.
    QString customerNumber;
    QString zj_account;
    QString gd_HuA_account;
    QString gd_HuB_account;
    QString gd_ShenA_account;
    QString gd_ShenB_account;
    QString gd_3BanA_account;
    QString gd_3BanB_account;
    QString businessDepartmentName;
    QString name;
    QString commonUrlString;
    qint32 singleFlag = 0;
    std::optional<QString> organizationCode;
    qint32 loginType = 0;
    bool isLoginStatus = false;

    const std::optional<QString>& promptInfo() const { return promptInfo_; }
    // The greeting the server took last, so the account shows the new one.
    void setPromptInfo(const QString& prompt) { promptInfo_ = prompt; }
    const std::vector<RDOSecurityInfo>& secuidInfoArray() const { return secuidInfoArray_; }
    const std::optional<QString>& lastLoginInfoTitle() const { return lastLoginInfoTitle_; }
    const std::optional<QString>& lastLoginInfoContent() const { return lastLoginInfoContent_; }

    // The request objects, made on first use (tests look at them).
    DataModel* fundInfoDataModel();
    DataModel* tradePasswordDataModel();
    DataModel* fundPasswordDataModel();
    DataModel* reservationDataModel();

private:
    QString* shareholderField(qint64 marketCode);
    QVariantList secuidList(const std::function<bool(qint64)>& take) const;
    DataModel* dataModel(std::unique_ptr<DataModel>& slot, const char* identifier);
    void clearPendingPassword();
    // The settings store's installation key, read at each use: one another
    // client stored first is taken in place of this one's during the run.
    QString secretKey() const;

    OrgInfoManager* orgInfoManager;
    DataModelManager* dataModelManager;
    UserDefaultConfig* userDefaultConfig;
    std::optional<QVariantMap> accountDict;
    std::unique_ptr<DataModel> fundInfoModel_;
    std::unique_ptr<DataModel> tradePasswordModel_;
    std::unique_ptr<DataModel> fundPasswordModel_;
    std::unique_ptr<DataModel> reservationModel_;
    std::vector<RDOFund> fundInfoCache;
    QString pendingTradePassword;

    std::optional<QString> promptInfo_;
    std::vector<RDOSecurityInfo> secuidInfoArray_;
    std::optional<QString> lastLoginInfoTitle_;
    std::optional<QString> lastLoginInfoContent_;
};

// Overwrites a text's characters before it is let go.
void wipeText(QString& text);
