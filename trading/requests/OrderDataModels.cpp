#include "trading/requests/OrderDataModels.h"

#include "platform/ChinaClock.h"
#include "trading/requests/UnknownOutcomeWords.h"

namespace {

QString firstRowText(const std::vector<VEKTCRS>& sets, const char* field)
{
    VEKTCRS first = sets.front();
    first.fetchFirst();
    return first.toStringWithName(QLatin1StringView(field));
}

} // namespace

QString orderOutcomeUnknownMessage(const CSError& cause)
{
    return unknownOutcomeOf(cause, unknownoutcome::kOrder);
}

QString unknownOutcomeOf(const CSError& cause, const char* words)
{
    return DataModel::getNetworkError(cause).domain + QStringLiteral("，") + QString::fromUtf8(words);
}

QString DMRequestCancelOrder::unknownOutcomeMessage(const CSError&)
{
    // The cancel page's own words, whatever left the outcome open.
    return QString::fromUtf8(unknownoutcome::kCancel);
}

void formatOrderBody(const tagTradeOrderParam& p, RequestBody& b, bool withVersion)
{
    b.prefix(p.commonUrl)
        .add("secuid", p.securityId)
        .add("price", p.price)
        .add("qty", p.quantity)
        .add("stkcode", p.stockCode)
        .add("bsflag", TradeDataModel::getTradeBSFlag(qint32(p.orderType)).toStdString())
        .add("market", p.marketCode)
        .add("ordertime", platform::ChinaClock::currentSecsSinceEpoch());
    if (withVersion)
        b.add("reqversion", "1");
}

DMTradeDepute::Result DMTradeDepute::reply(const std::vector<VEKTCRS>& sets)
{
    return firstRowText(sets, "ordersno");
}

DMRequestCancelOrder::Result DMRequestCancelOrder::reply(const std::vector<VEKTCRS>& sets)
{
    return firstRowText(sets, "msgok");
}

std::optional<QString> lackingOrderNumber(const QString& orderNumber)
{
    if (!orderNumber.trimmed().isEmpty())
        return std::nullopt;
    return QStringLiteral("委托应答缺少委托序号");
}

QString submittedText(QStringView format, const QString& number)
{
    const qsizetype at = format.indexOf(u"%1");
    if (at < 0)
        return format.toString();
    QString text;
    if (!number.trimmed().isEmpty()) {
        text.append(format.left(at)).append(number);
    } else {
        // The words naming the number run from the last comma before it.
        qsizetype from = at;
        while (from > 0 && format[from - 1] != u'，' && format[from - 1] != u',')
            --from;
        text.append(format.left(from > 0 ? from - 1 : 0));
    }
    return text.append(format.mid(at + 2));
}

std::optional<QString> DMRequestCancelOrder::lacking(const Result& message)
{
    if (!message.trimmed().isEmpty())
        return std::nullopt;
    return QStringLiteral("撤单应答缺少结果信息");
}

void DMQueryMaxQuantityInfo::body(const tagMaxQuantityParam& p, RequestBody& b)
{
    b.prefix(p.commonUrl).add("secuid", p.securityId);
    if (!p.price.empty())
        b.add("price", p.price);
    b.add("stkcode", p.stockCode)
        .add("bsflag", TradeDataModel::getQueryBSFlag(qint32(p.orderType)).toStdString())
        .add("market", p.marketCode);
}

DMQueryMaxQuantityInfo::Result DMQueryMaxQuantityInfo::reply(const std::vector<VEKTCRS>& sets)
{
    return firstRowText(sets, "maxstkqty");
}
