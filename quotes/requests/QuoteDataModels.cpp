#include "quotes/requests/QuoteDataModels.h"

#include "comm/crypto/AesEncryption.h"
#include "comm/recordset/ServerNumber.h"
#include "core/DataModelFactory.h"
#include "login/RequestSender.h"

#include <QStringList>

namespace {

// The quote fields the five-level requests ask for.
constexpr char kFiveLevelFields[]
    = "1|2|3|4|20|21|17|18|32|29|30|27|26|50|51|52|53|54|55|56|57|58|59|70|71|72|73|74|75|76|77|78|79|19|22|35|"
      "36|38|39|6|24|25|16|11|210|215";

QString firstRowText(VEKTCRS set, const char* name)
{
    set.fetchFirst();
    return set.toStringWithName(QLatin1String(name));
}

} // namespace

CSError quoteCodeMismatchError()
{
    return { QStringLiteral("行情应答与所请求的证券代码不符"), CSErrorServerNoData };
}

void DMQuote5Level::body(const tagQuote5LevelParam& p, RequestBody& b)
{
    b.add("code", p.code).add("IgnoreDataConv", "1").add("field", kFiveLevelFields).add("iswd", "1");
}

QString DMQuote5Level::replyCode(const std::vector<VEKTCRS>& sets)
{
    return firstRowText(sets.front(), "code");
}

void DMQuote5LevelEx::body(const tagQuote5LevelParam& p, RequestBody& b)
{
    b.add("code", p.code)
        .add("exclude", "2")
        .add("IgnoreDataConv", "1")
        .add("field", kFiveLevelFields)
        .add("iswd", "1");
}

void DMStockTimesharingInfo::body(const tagQuotaInfoParam& p, RequestBody& b)
{
    b.add("code", p.code).add("iswd", "0").add("lx", "12").add("IgnoreDataConv", "1");
}

QString DMStockTimesharingInfo::askedCode(const tagQuotaInfoParam& p)
{
    return QString::fromStdString(p.code).section(QLatin1Char('.'), 0, 0);
}

QString DMStockTimesharingInfo::replyCode(const std::vector<VEKTCRS>& sets)
{
    return sets.size() < 2 ? QString() : firstRowText(sets[1], "code");
}

std::optional<DMQueryStockIndexInfo::Link> DMQueryStockIndexInfo::parseLink(
    const std::string& storedLink, QString* why)
{
    auto refuse = [why](const char* message) {
        if (why)
            *why = QString::fromUtf8(message);
        return std::nullopt;
    };
    QString link;
    if (!storedLink.empty()) {
        const std::optional<QString> plain = AesEncryption::decodeStringWithAES(
            QString::fromLatin1(storedLink.data(), qsizetype(storedLink.size())), QString::fromLatin1(kLinkKey));
        if (!plain)
            return refuse("行情指数链接无法解密");
        link = *plain;
    }
    // The parameters after the first "?": the two function numbers are taken
    // out (keys compared without case or surrounding blanks), "unlist" is not
    // this request's business, every other pair stays as written.
    const qsizetype question = link.indexOf(QLatin1Char('?'));
    const QString parameters = question < 0 ? QString() : link.mid(question + 1);
    Link out;
    QStringList others;
    for (const QString& pair : parameters.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const QStringList parts = pair.split(QLatin1Char('='));
        if (parts.size() > 2)
            continue;
        const QString key = parts.front().trimmed();
        const QString value = parts.size() == 2 ? parts.back() : QString();
        quint64* function = key.compare(QLatin1String("tc_mfuncno"), Qt::CaseInsensitive) == 0 ? &out.mFunc
            : key.compare(QLatin1String("tc_sfuncno"), Qt::CaseInsensitive) == 0               ? &out.sFunc
                                                                                               : nullptr;
        if (function) {
            // By its value, as every link's: "1100.000" is 1100, while "",
            // "8x" or "8.5" names no function, and nothing goes to one the
            // link did not name.
            const std::optional<qint64> number = servernumber::wholeValueOf(value);
            if (!number || *number < 0)
                return refuse("行情指数链接的功能号无效，未发送");
            *function = quint64(*number);
        } else if (key.compare(QLatin1String("unlist"), Qt::CaseInsensitive) != 0) {
            others << pair;
        }
    }
    out.body = others.join(QLatin1Char('&'));
    return out;
}

void DMQueryStockIndexInfo::body(const tagPMDIndexInfoParam& p, RequestBody& b)
{
    if (const std::optional<Link> link = parseLink(p.link))
        b.raw(link->body.toStdString());
}

std::optional<QString> DMQueryStockIndexInfo::checkParam(const tagRequestParam& param) const
{
    // No function or body can be taken from a link that does not decipher or
    // names no function number.
    QString why;
    if (const auto* member = param.get<tagPMDIndexInfoParam>(); member && !parseLink(member->link, &why))
        return why;
    return DataModelClass::checkParam(param);
}

std::pair<quint64, quint64> DMQueryStockIndexInfo::functions(const tagPMDIndexInfoParam& p)
{
    const std::optional<Link> link = parseLink(p.link);
    return link ? std::pair { link->mFunc, link->sFunc } : std::pair<quint64, quint64> { 0, 0 };
}

DMQueryStockIndexInfo::Result DMQueryStockIndexInfo::reply(const std::vector<VEKTCRS>& sets)
{
    VEKTCRS rows = sets.front();
    Result indexes;
    for (qint32 row = 0; row < rows.rowsAffected(); ++row) {
        if (rows.moveTo(row))
            indexes.emplace_back(&rows);
    }
    return indexes;
}

void registerQuotesDataModels()
{
    DataModelFactory::registerDataModel<DMQuote5Level>();
    DataModelFactory::registerDataModel<DMQuote5LevelEx>();
    DataModelFactory::registerDataModel<DMStockTimesharingInfo>();
    DataModelFactory::registerDataModel<DMQueryStockIndexInfo>();
}

QString DMQueryStockIndexInfo::send(
    RequestSender& sender, IQueryStockIndexInfoDelegate* observer, const QString& link, qint32 timeout)
{
    // A menu without a ticker node gives no link: nothing to ask for.
    if (link.isEmpty())
        return QStringLiteral("没有行情指数链接");
    return sender.sendWithoutAccount<tagPMDIndexInfoParam>(info.identifier, observer, timeout,
        [&](tagPMDIndexInfoParam& p, QString* m) {
            return requestparam::setParam(p, &tagPMDIndexInfoParam::link, link, m);
        });
}
