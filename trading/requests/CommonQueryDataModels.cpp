#include "trading/requests/CommonQueryDataModels.h"

#include "comm/crypto/AesEncryption.h"
#include "comm/recordset/ServerNumber.h"
#include "platform/ChinaClock.h"
#include "shell/menu/MenuLink.h"

namespace {

const QString kMFunc = QStringLiteral("tc_mfuncno");
const QString kSFunc = QStringLiteral("tc_sfuncno");
const QString kUnlist = QStringLiteral("unlist");

QStringList unlistOf(const QString& parameters)
{
    const auto found = analyzeUrlAndSymbolByKeys(parameters, { kUnlist });
    return found ? found->value(kUnlist).split(QLatin1Char('|'), Qt::SkipEmptyParts) : QStringList();
}

} // namespace

QString CommonQueryLink::decipher(const std::string& storedLink, bool* ok)
{
    *ok = true;
    if (storedLink.empty())
        return {};
    const std::optional<QString> plain = AesEncryption::decodeStringWithAES(
        QString::fromLatin1(storedLink.data(), qsizetype(storedLink.size())),
        QString::fromLatin1(kMenuLinkKey));
    *ok = plain.has_value();
    return plain.value_or(QString());
}

std::optional<CommonQueryLink> CommonQueryLink::parse(
    const std::string& storedLink, QString* why, std::optional<bool> today)
{
    auto refuse = [why](const QString& message) {
        if (why)
            *why = message;
        return std::nullopt;
    };
    bool ok = false;
    const QString link = decipher(storedLink, &ok);
    if (!ok)
        return refuse(QStringLiteral("查询链接无法解密"));
    const QString parameters = getUrlParamString(link);
    CommonQueryLink out;
    out.filterKeys = unlistOf(parameters);
    QString set = parameters;
    if (today) {
        const qsizetype colon = parameters.indexOf(QLatin1Char(':'));
        if (colon < 0)
            return refuse(QStringLiteral("查询链接缺少历史查询的功能号"));
        set = *today ? parameters.left(colon) : parameters.mid(colon + 1);
    }
    const auto found = analyzeUrlAndSymbolByKeys(set, { kMFunc, kSFunc, kUnlist });
    // A link that names no function would send 0 / 0: nothing goes out.
    if (!found || !found->contains(kMFunc) || !found->contains(kSFunc))
        return refuse(QStringLiteral("查询链接没有功能号，未发送查询"));
    // By their value: "500.000" is 500, but "", "8x" or "8.5" names no
    // function, and a query to one the link did not name never goes out.
    const std::optional<qint64> mFunc = servernumber::wholeValueOf(found->value(kMFunc));
    const std::optional<qint64> sFunc = servernumber::wholeValueOf(found->value(kSFunc));
    if (!mFunc || !sFunc || *mFunc <= 0 || *sFunc < 0)
        return refuse(QStringLiteral("查询链接没有功能号，未发送查询"));
    out.mFunc = quint64(*mFunc);
    out.sFunc = quint64(*sFunc);
    out.otherUrl = found->value(QString::fromLatin1(kOtherUrlKey));
    return out;
}

void DMCommonQuery::body(const tagCommonQueryParam& p, RequestBody& b)
{
    b.prefix(p.commonUrl);
    if (const std::optional<CommonQueryLink> link = linkOf(p))
        b.passThrough(link->otherUrl.toStdString());
}

namespace {

void historicBody(const std::string& commonUrl, const std::string& begin, const std::string& end,
    const std::optional<CommonQueryLink>& link, RequestBody& b)
{
    b.prefix(commonUrl).add("strdate", begin).add("enddate", end);
    if (link)
        b.passThrough(link->otherUrl.toStdString());
}

} // namespace

void DMCommonHistoricQuery::body(const tagCommonHistoricQueryParam& p, RequestBody& b)
{
    historicBody(p.commonUrl, p.beginDate, p.endDate, linkOf(p), b);
}

QString DMCommonHistoricQueryEx::getDateString(const QDate& date)
{
    return date.toString(QStringLiteral("yyyyMMdd"));
}

QString DMCommonHistoricQueryEx::today()
{
    return getDateString(platform::ChinaClock::now().date());
}

std::optional<CommonQueryLink> DMCommonHistoricQueryEx::linkOf(
    const tagCommonHistoricQueryParam& p, QString* why)
{
    const std::string day = today().toStdString();
    return CommonQueryLink::parse(p.link, why, p.beginDate == day && p.endDate == day);
}

void DMCommonHistoricQueryEx::body(const tagCommonHistoricQueryParam& p, RequestBody& b)
{
    historicBody(p.commonUrl, p.beginDate, p.endDate, linkOf(p), b);
}
