#include "transfer/TransferDataModels.h"

#include "comm/recordset/ServerNumber.h"
#include "login/CommonUrl.h"

namespace {

const QString kFundId = QStringLiteral("fundid");

VEKTCRS firstRow(const std::vector<VEKTCRS>& sets)
{
    VEKTCRS first = sets.front();
    first.fetchFirst();
    return first;
}

// The prefix naming the chosen capital account; a prefix without a "fundid"
// pair refuses the body (a control character cannot stand as a value).
void prefixFor(const std::string& commonUrl, const std::string& fundId, RequestBody& b)
{
    const std::optional<QString> prefix
        = prefixWithFundId(QString::fromUtf8(commonUrl.data(), qsizetype(commonUrl.size())),
            QString::fromLatin1(fundId.data(), qsizetype(fundId.size())));
    if (!prefix) {
        b.add("fundid", std::string_view("\x01", 1));
        return;
    }
    const QByteArray bytes = prefix->toUtf8();
    b.prefix(std::string_view(bytes.constData(), size_t(bytes.size())));
}

} // namespace

std::optional<QString> prefixWithFundId(const QString& prefix, const QString& fundId)
{
    if (fundId.isEmpty())
        return prefix;
    if (!commonurl::hasKey(prefix, kFundId))
        return std::nullopt;
    return commonurl::withValue(prefix, kFundId, fundId);
}

RDOBSTransferInfo::RDOBSTransferInfo(const VEKTCRS* row)
{
    if (!row)
        return;
    auto text = [row](const char* name) { return row->toStringWithName(QLatin1StringView(name)); };
    operateDate = text("operdate1");
    operateTime = text("opertime1");
    transferAmount = text("fundeffect1");
    fundBalance = text("fundbal");
    operateName = text("~banktranid");
    moneyType = text("~moneytype");
    operateStatus = text("~status_3");
    fundId = text("fundid");
    errorMsg = text("errmsg");
    moneyTypeCode = servernumber::Row(*row).wholeValue("moneytype").value_or(0);
}

DTBSTransferInfo::DTBSTransferInfo(const VEKTCRS* recordSet, const QStringList& filterKeys)
    : DTTable(recordSet, QStringList(filterKeys) << QStringLiteral("errormsg") << QStringLiteral("moneytype"))
{
    if (!recordSet)
        return;
    VEKTCRS rows = *recordSet;
    for (qint32 i = 0; i < rows.rowsAffected(); ++i) {
        rows.moveTo(i);
        _contentObjectArray.append(QVariant::fromValue(RDOBSTransferInfo(&rows)));
    }
}

std::optional<RDOBSTransferInfo> DTBSTransferInfo::rowObject(qsizetype index) const
{
    if (index < 0 || index >= _contentObjectArray.size())
        return std::nullopt;
    return _contentObjectArray.at(index).value<RDOBSTransferInfo>();
}

void DMFundTransfer::body(const tagFundTransferParam& p, RequestBody& b)
{
    prefixFor(p.commonUrl, p.fundId, b);
    b.add("moneytype", p.moneyType)
        .add("bankcode", p.bankCode)
        .add("tranamt", p.transferAmount)
        .add("banktrantype", p.transferType)
        .add("fundpwd", p.fundPassword)
        .add("bankpwd", p.bankPassword);
}

DMFundTransfer::Result DMFundTransfer::reply(const std::vector<VEKTCRS>& sets)
{
    return firstRow(sets).toStringWithName(QStringLiteral("sno"));
}

std::optional<QString> lackingSerial(const QString& serial, const QString& message)
{
    if (!lackingOrderNumber(serial))
        return std::nullopt;
    return message;
}

std::optional<QString> DMFundTransfer::lacking(const Result& serial)
{
    return lackingSerial(serial, QStringLiteral("转账应答缺少流水号"));
}

void DMQueryBankBalance::body(const tagQueryBankBalanceParam& p, RequestBody& b)
{
    prefixFor(p.commonUrl, p.fundId, b);
    b.add("moneytype", p.moneyType)
        .add("bankcode", p.bankCode)
        .add("fundpwd", p.fundPassword)
        .add("bankpwd", p.bankPassword);
}

DMQueryBankBalance::Result DMQueryBankBalance::reply(const std::vector<VEKTCRS>& sets)
{
    return DMFundTransfer::reply(sets);
}

QString DMQueryBSTransfer::requestForLink(
    DataModelObserver* observer, const tagRequestParam& param, qint32 timeout, const QString& link)
{
    link_ = link;
    const QString handle = requestData(observer, param, timeout);
    link_.clear();
    return handle;
}

QString DMQueryBSTransfer::getRequestHandle(const tagRequestParam& param) const
{
    if (link_.isEmpty())
        return DataModelClass::getRequestHandle(param);
    return requestparam::handleText(
        QStringLiteral("link ") + QString::fromStdString(requestparam::percentEscape(link_)), param);
}

void DMFundInsideTransfer::body(const tagFundInsideTransferParam& p, RequestBody& b)
{
    b.prefix(p.commonUrl)
        .add("outfundid", p.outFundId)
        .add("infundid", p.inFundId)
        .add("moneytype", p.moneyType)
        .add("fundeffect", p.transferAmount)
        .add("outpassword", p.fundPassword)
        .add("cashcheck", "0")
        .add("checkpwdflag", "1");
}

DMFundInsideTransfer::Result DMFundInsideTransfer::reply(const std::vector<VEKTCRS>& sets)
{
    const VEKTCRS row = firstRow(sets);
    return { row.toStringWithName(QStringLiteral("outsno")), row.toStringWithName(QStringLiteral("insno")) };
}

std::optional<QString> DMFundInsideTransfer::lacking(const Result& serials)
{
    const QString message = QStringLiteral("资金内转应答缺少转出合同号");
    if (serials.size() != 2)
        return message;
    return lackingSerial(serials.front(), message);
}

void DMFundCollection::body(const tagFundCollectionParam& p, RequestBody& b)
{
    // The prefix as it stands; the empty "fundid" after it collects from
    // every secondary account.
    b.prefix(p.commonUrl)
        .add("fundid", "")
        .add("moneytype", p.moneyType)
        .add("cashcheck", "0");
}

DMFundCollection::Result DMFundCollection::reply(const std::vector<VEKTCRS>& sets)
{
    const VEKTCRS row = firstRow(sets);
    return { row.toStringWithName(QStringLiteral("fundeffect")), row.toStringWithName(QStringLiteral("renum")) };
}

std::optional<QString> DMFundCollection::lacking(const Result& result)
{
    // Only a figure missing or blank leaves the collection unknown; any other
    // text is shown as the server sent it.
    if (!lackingOrderNumber(result.amount) && !lackingOrderNumber(result.number))
        return std::nullopt;
    return QStringLiteral("资金归集应答缺少归集金额或内转笔数");
}

void registerTransferDataModels()
{
    DataModelFactory::registerDataModel<DMQueryFundTransferInfo>();
    DataModelFactory::registerDataModel<DMFundTransfer>();
    DataModelFactory::registerDataModel<DMQueryBankBalance>();
    DataModelFactory::registerDataModel<DMQueryBSTransfer>();
    DataModelFactory::registerDataModel<DMFundInsideTransfer>();
    DataModelFactory::registerDataModel<DMFundCollection>();
}
