#include "login/Account.h"

#include "comm/crypto/AesEncryption.h"
#include "comm/recordset/ServerNumber.h"
#include "core/DataModelManager.h"
#include "core/RequestParam.h"
#include "core/UserDefaultConfig.h"
#include "login/CommonUrl.h"
#include "login/LoginDataModels.h"
#include "login/OrgInfoManager.h"
#include "platform/Crypto.h"

#include <QUrl>
#include <algorithm>

namespace {

const QString kCustorgid = QStringLiteral("custorgid");
const QString kFundid = QStringLiteral("fundid");
const QString kOrgid = QStringLiteral("orgid");
const QString kTrdpwd = QStringLiteral("trdpwd");
const QString kNetaddr = QStringLiteral("netaddr");

// Saved-record keys of the text fields, in the record's order.
struct SavedKey {
    const char* key;
    QString Account::*field;
};
const SavedKey kSavedKeys[] = {
    { "customerNumber", &Account::customerNumber },
    { "bankroll", &Account::zj_account },
    { "shareholderHuA", &Account::gd_HuA_account },
    { "shareholderHuB", &Account::gd_HuB_account },
    { "shareholderShenA", &Account::gd_ShenA_account },
    { "shareholderShenB", &Account::gd_ShenB_account },
    { "shareholder3BanA", &Account::gd_3BanA_account },
    { "shareholder3BanB", &Account::gd_3BanB_account },
    { "businessDepartmentName", &Account::businessDepartmentName },
};

// Why a text cannot go into a field; "" when it can.
QString fieldProblem(const QString& what, const QString& text, qsizetype maxLength)
{
    if (!commonurl::isSafeValue(text))
        return QStringLiteral("%1含有不允许的字符").arg(what);
    if (text.size() > maxLength)
        return QStringLiteral("%1过长：最多%2个字符").arg(what).arg(maxLength);
    return QString();
}

std::string ascii(const QString& text)
{
    return text.toLatin1().toStdString();
}

// The common prefix as the request takes it: UTF-8, whatever it holds (the
// request body percent-escapes what is not ASCII).
std::string prefixText(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    std::string out(bytes.constData(), size_t(bytes.size()));
    platform::secureWipe(bytes);
    return out;
}

} // namespace

void wipeText(QString& text)
{
    if (!text.isEmpty() && !text.isDetached())
        text.detach();
    std::fill(text.begin(), text.end(), QChar(u'\0'));
    text.clear();
}

Account::Account(
    OrgInfoManager* orgInfoManager, DataModelManager* dataModelManager, UserDefaultConfig* userDefaultConfig)
    : orgInfoManager(orgInfoManager ? orgInfoManager : OrgInfoManager::getInstance())
    , dataModelManager(dataModelManager ? dataModelManager : DataModelManager::getInstance())
    , userDefaultConfig(userDefaultConfig ? userDefaultConfig : UserDefaultConfig::getInstance())
{
}

QString Account::secretKey() const
{
    return userDefaultConfig->secretKey();
}

Account::~Account()
{
    clearPendingPassword();
    wipeText(commonUrlString);
}

void Account::initWithDict(const QVariantMap& record)
{
    const QString key = secretKey();
    for (const SavedKey& saved : kSavedKeys) {
        const QVariant value = record.value(QString::fromLatin1(saved.key));
        std::optional<QString> plain;
        if (value.typeId() == QMetaType::QString)
            plain = AesEncryption::decodeStringWithAES(value.toString(), key);
        this->*saved.field = plain.value_or(QString());
    }
    secuidInfoArray_.clear();
    for (const QVariant& entry : record.value(QStringLiteral("secuid_info")).toList()) {
        if (entry.typeId() != QMetaType::QVariantMap)
            continue;
        const QVariantMap d = entry.toMap();
        RDOSecurityInfo info;
        info.marketCode
            = servernumber::wholeValueOf(d.value(QStringLiteral("secuid_info_market_code"))).value_or(0);
        info.marketType = d.value(QStringLiteral("secuid_info_market_type")).toString();
        info.securityId = AesEncryption::decodeStringWithAES(
            d.value(QStringLiteral("secuid_info_secuid_id")).toString(), key)
                              .value_or(QString());
        info.securityType
            = servernumber::wholeValueOf(d.value(QStringLiteral("secuid_info_secuid_type"))).value_or(0);
        secuidInfoArray_.push_back(info);
    }
    // Keys this version does not know stay in the record.
    accountDict = record;
}

void Account::initWithRDOAccount(const RDOAccount& reply)
{
    customerNumber = reply.customerId().value_or(QString());
    name = reply.customerName().value_or(QString());
    businessDepartmentName = orgInfoManager->getOrgNameFromCustomerNumber(customerNumber);
    commonUrlString = reply.commonString().value_or(QString());
    if (std::optional<QString> code = commonurl::firstValue(commonUrlString, kCustorgid))
        organizationCode = code;
    if (zj_account.isEmpty()) {
        if (std::optional<QString> fund = commonurl::firstValue(commonUrlString, kFundid))
            zj_account = *fund;
    }
    secuidInfoArray_ = reply.securityInfoArray().value_or(std::vector<RDOSecurityInfo>());
    for (const RDOSecurityInfo& info : secuidInfoArray_) {
        if (QString* field = shareholderField(info.marketCode))
            *field = info.securityId;
    }
    singleFlag = reply.singleFlag();
    promptInfo_ = reply.promptInfo();
    lastLoginInfoTitle_ = reply.lastLoginInfoTitle();
    lastLoginInfoContent_ = reply.lastLoginInfoContent();
}

QString* Account::shareholderField(qint64 marketCode)
{
    switch (marketCode) {
    case 0:
        return &gd_ShenA_account;
    case 1:
        return &gd_HuA_account;
    case 2:
        return &gd_ShenB_account;
    case 3:
        return &gd_HuB_account;
    case 6:
        return &gd_3BanA_account;
    case 7:
        return &gd_3BanB_account;
    default:
        return nullptr; // Stock Connect (5) and unknown markets: listed only
    }
}

void Account::fixIPInfo(const QString& deviceString)
{
    if (!commonurl::hasKey(commonUrlString, kNetaddr) || !commonurl::isSafeValue(deviceString))
        return;
    commonUrlString = commonurl::withValue(commonUrlString, kNetaddr, deviceString);
}

QString Account::getAccountInfo() const
{
    QString line;
    if (!name.isEmpty())
        line += name;
    line += QLatin1String("    ");
    if (!customerNumber.isEmpty())
        line += userDefaultConfig->getProtectedString(customerNumber);
    line += QLatin1String("    ");
    if (!businessDepartmentName.isEmpty())
        line += businessDepartmentName;
    line += QLatin1String("        ");
    line += QStringLiteral("普通交易登陆");
    return line;
}

QVariantMap Account::getDictObject()
{
    const QString key = secretKey();
    if (!accountDict)
        accountDict = QVariantMap();
    for (const SavedKey& saved : kSavedKeys) {
        const QString& value = this->*saved.field;
        if (value.isEmpty())
            continue;
        if (std::optional<QString> sealed = AesEncryption::encodeStringWithAES(value, key))
            accountDict->insert(QString::fromLatin1(saved.key), *sealed);
    }
    if (!secuidInfoArray_.empty()) {
        QVariantList list;
        for (const RDOSecurityInfo& info : secuidInfoArray_) {
            QVariantMap entry;
            entry.insert(QStringLiteral("secuid_info_market_code"), QString::number(info.marketCode));
            if (!info.marketType.isEmpty())
                entry.insert(QStringLiteral("secuid_info_market_type"), info.marketType);
            entry.insert(QStringLiteral("secuid_info_secuid_id"),
                AesEncryption::encodeStringWithAES(info.securityId, key).value_or(QString()));
            entry.insert(QStringLiteral("secuid_info_secuid_type"), QString::number(info.securityType));
            list << entry;
        }
        accountDict->insert(QStringLiteral("secuid_info"), list);
    }
    return *accountDict;
}

std::optional<QString> Account::getSecurityId(qint64 marketCode) const
{
    for (const RDOSecurityInfo& info : secuidInfoArray_) {
        if (info.marketCode == marketCode)
            return info.securityId;
    }
    return std::nullopt;
}

QVariantList Account::secuidList(const std::function<bool(qint64)>& take) const
{
    std::vector<const RDOSecurityInfo*> picked;
    for (const RDOSecurityInfo& info : secuidInfoArray_) {
        if (take(info.marketCode))
            picked.push_back(&info);
    }
    std::stable_sort(picked.begin(), picked.end(),
        [](const RDOSecurityInfo* a, const RDOSecurityInfo* b) { return a->marketCode < b->marketCode; });
    QVariantList out;
    for (const RDOSecurityInfo* info : picked) {
        out << QVariantMap {
            { QStringLiteral("security_info_text"),
                QStringLiteral("%1 %2").arg(
                    info->marketType, userDefaultConfig->getProtectedString(info->securityId)) },
            { QStringLiteral("security_info_market_code"), QString::number(info->marketCode) },
            { QStringLiteral("security_info_id"), info->securityId },
        };
    }
    return out;
}

QVariantList Account::getSecuidInfo() const
{
    return secuidList([](qint64) { return true; });
}

QVariantList Account::getSecuidInfoByMarketCode(qint64 marketCode) const
{
    return secuidList([marketCode](qint64 code) { return code == marketCode; });
}

QVariantList Account::getSecuidInfoExceptByMarketCode(qint64 marketCode) const
{
    return secuidList([marketCode](qint64 code) { return code != marketCode; });
}

DataModel* Account::dataModel(std::unique_ptr<DataModel>& slot, const char* identifier)
{
    if (!slot)
        slot = dataModelManager->getDataModel(QString::fromLatin1(identifier));
    return slot.get();
}

DataModel* Account::fundInfoDataModel()
{
    return dataModel(fundInfoModel_, DMQueryFundInfo::info.identifier);
}

DataModel* Account::tradePasswordDataModel()
{
    return dataModel(tradePasswordModel_, DMChangeTradePassword::info.identifier);
}

DataModel* Account::fundPasswordDataModel()
{
    return dataModel(fundPasswordModel_, DMChangeFundPassword::info.identifier);
}

DataModel* Account::reservationDataModel()
{
    return dataModel(reservationModel_, DMReservationInfo::info.identifier);
}

QString Account::requestFundInfo(IQueryFundInfoDelegate* observer)
{
    if (commonUrlString.size() > kMaxPrefixLength)
        return QStringLiteral("通用参数过长：最多%1个字符").arg(kMaxPrefixLength);
    DataModel* request = fundInfoDataModel();
    if (!request)
        return QStringLiteral("无法创建请求");
    tagRequestParam param;
    request->mallocParam(&param);
    param.fundInfo()->commonUrl = prefixText(commonUrlString);
    request->requestData(observer, param, kTimeout);
    request->freeParam(&param);
    return QString();
}

std::vector<RDOFund> Account::getFundInfoList(const std::optional<std::vector<RDOFund>>& list)
{
    if (fundInfoCache.empty() && list) {
        // The main capital account is the one whose "fundseq" has the value 0
        // ("0", "0.000", a number field); a missing one is not.
        const auto isMain = [](const RDOFund& fund) { return servernumber::wholeValueOf(fund.fundSeq) == 0; };
        for (const RDOFund& fund : *list) {
            if (isMain(fund)) {
                auto firstOther = std::find_if(fundInfoCache.begin(), fundInfoCache.end(),
                    [&](const RDOFund& cached) { return !isMain(cached); });
                fundInfoCache.insert(firstOther, fund);
            } else {
                fundInfoCache.push_back(fund);
            }
        }
    }
    return fundInfoCache;
}

QString Account::requestChangeTradePassword(IChangeTradePasswordDelegate* observer,
    const QString& oldPassword, const QString& newPassword, QString* handle)
{
    if (oldPassword.isEmpty() || newPassword.isEmpty())
        return QString();
    for (const auto& [what, text] : { std::pair { QStringLiteral("原密码"), &oldPassword },
             std::pair { QStringLiteral("新密码"), &newPassword } }) {
        if (QString problem = fieldProblem(what, *text, kMaxPasswordLength); !problem.isEmpty())
            return problem;
    }
    std::optional<QString> prefix = getCommonUrlStringReplaceNewPwd(oldPassword);
    if (!prefix || prefix->size() > kMaxPrefixLength)
        return QStringLiteral("通用参数过长：最多%1个字符").arg(kMaxPrefixLength);
    DataModel* request = tradePasswordDataModel();
    if (!request)
        return QStringLiteral("无法创建请求");
    clearPendingPassword();
    pendingTradePassword = newPassword;
    tagRequestParam param;
    request->mallocParam(&param);
    param.tradePassword()->commonUrl = prefixText(*prefix);
    param.tradePassword()->oldPassword = ascii(oldPassword);
    param.tradePassword()->newPassword = ascii(newPassword);
    wipeText(*prefix);
    const QString sent = request->requestData(observer, param, kTimeout);
    request->freeParam(&param);
    if (handle)
        *handle = sent;
    return QString();
}

std::optional<QString> Account::getCommonUrlStringReplaceNewPwd(const QString& password) const
{
    if (password.isEmpty() || !commonurl::isSafeValue(password))
        return std::nullopt;
    if (!commonurl::hasKey(commonUrlString, kTrdpwd))
        return commonUrlString;
    return commonurl::withValue(commonUrlString, kTrdpwd, password);
}

void Account::upateTradePassword()
{
    if (pendingTradePassword.isEmpty())
        return;
    if (std::optional<QString> prefix = getCommonUrlStringReplaceNewPwd(pendingTradePassword)) {
        wipeText(commonUrlString);
        commonUrlString = *prefix;
    }
    clearPendingPassword();
}

void Account::clearPendingPassword()
{
    wipeText(pendingTradePassword);
}

std::optional<QString> Account::getTradePassword() const
{
    return commonurl::lastValue(commonUrlString, kTrdpwd);
}

QString Account::getChangeTradePasswordSuccessMessage()
{
    return QStringLiteral("交易密码修改成功。");
}

QString Account::getChangeFundPasswordSuccessMessage()
{
    return QStringLiteral("资金密码修改成功。");
}

QString Account::getChangeTradePasswordErrorMessage() const
{
    return tradePasswordModel_ ? tradePasswordModel_->getLastErrorMessage() : QString();
}

QString Account::getChangeFundPasswordErrorMessage() const
{
    return fundPasswordModel_ ? fundPasswordModel_->getLastErrorMessage() : QString();
}

QString Account::getFundInfoErrorMessage() const
{
    return fundInfoModel_ ? fundInfoModel_->getLastErrorMessage() : QString();
}

QString Account::requestChangeFundPassword(IChangeFundPasswordDelegate* observer, const QString& oldPassword,
    const QString& newPassword, const std::optional<QString>& fundId, QString* handle)
{
    if (oldPassword.isNull() || newPassword.isNull() || !fundId)
        return QString();
    for (const auto& [what, text] : { std::pair { QStringLiteral("原密码"), &oldPassword },
             std::pair { QStringLiteral("新密码"), &newPassword } }) {
        if (QString problem = fieldProblem(what, *text, kMaxPasswordLength); !problem.isEmpty())
            return problem;
    }
    std::optional<QString> prefix = getNewCommonUrlStringByFundid(*fundId);
    if (!prefix)
        return QStringLiteral("资金账号含有不允许的字符");
    if (prefix->size() > kMaxPrefixLength)
        return QStringLiteral("通用参数过长：最多%1个字符").arg(kMaxPrefixLength);
    DataModel* request = fundPasswordDataModel();
    if (!request)
        return QStringLiteral("无法创建请求");
    tagRequestParam param;
    request->mallocParam(&param);
    param.fundPassword()->commonUrl = prefixText(*prefix);
    param.fundPassword()->oldPassword = ascii(oldPassword);
    param.fundPassword()->newPassword = ascii(newPassword);
    wipeText(*prefix);
    const QString sent = request->requestData(observer, param, kTimeout);
    request->freeParam(&param);
    if (handle)
        *handle = sent;
    return QString();
}

std::optional<QString> Account::getNewCommonUrlStringByFundid(const QString& fundId) const
{
    if (!commonurl::isSafeValue(fundId))
        return std::nullopt;
    return commonurl::withValue(commonUrlString, kFundid, fundId);
}

std::optional<QString> Account::getFundidFromCommonUrl() const
{
    return commonurl::lastValue(commonUrlString, kFundid);
}

std::optional<QString> Account::getOrgIdFromCommonUrl() const
{
    return commonurl::lastValue(commonUrlString, kOrgid);
}

QString Account::requestReservationInfo(
    IReservationInfoDelegate* observer, const std::optional<QString>& info, QString* handle)
{
    if (!info)
        return QString();
    const std::string escaped = requestparam::percentEscape(*info);
    if (qsizetype(escaped.size()) > kMaxPrefixLength)
        return QStringLiteral("预留信息过长");
    if (commonUrlString.size() > kMaxPrefixLength)
        return QStringLiteral("通用参数过长：最多%1个字符").arg(kMaxPrefixLength);
    DataModel* request = reservationDataModel();
    if (!request)
        return QStringLiteral("无法创建请求");
    tagRequestParam param;
    request->mallocParam(&param);
    param.reservationInfo()->commonUrl = prefixText(commonUrlString);
    param.reservationInfo()->prompt = escaped;
    const QString sent = request->requestData(observer, param, kTimeout);
    request->freeParam(&param);
    if (handle)
        *handle = sent;
    return QString();
}
