#pragma once

#include "core/DTTable.h"
#include "core/DataModelClass.h"
#include "core/DataModelFactory.h"
#include "core/TradeDataModel.h"
#include "trading/requests/OrderDataModels.h"
#include "transfer/FundTransferInfo.h"

#include <QMetaType>
#include <QStringList>
#include <memory>
#include <optional>

// One row of the transfer history.
class RDOBSTransferInfo {
public:
    RDOBSTransferInfo() = default;
    // initWithTCRSObj: the current row.
    explicit RDOBSTransferInfo(const VEKTCRS* row);

    QString operateDate;
    QString operateTime;
    QString transferAmount;
    QString fundBalance;
    QString operateName;
    QString moneyType;
    QString operateStatus;
    QString fundId;
    QString errorMsg;
    qint64 moneyTypeCode = 0;
};
Q_DECLARE_METATYPE(RDOBSTransferInfo)

// The result of collecting money from the secondary capital accounts.
struct RDOFundCollectionResult {
    QString amount;
    QString number;
};

// The transfer history table: every field but "errormsg", "moneytype" and the
// filter keys; a row object per row in contentObjectArray.
class DTBSTransferInfo : public DTTable {
public:
    // initWithTCRSObj:filterKeys:
    explicit DTBSTransferInfo(const VEKTCRS* recordSet, const QStringList& filterKeys = {});
    // The row object at a position; nullopt past the end.
    std::optional<RDOBSTransferInfo> rowObject(qsizetype index) const;
};
using DTBSTransferInfoPtr = std::shared_ptr<DTBSTransferInfo>;

// The prefix with its "fundid" pair naming `fundId` (keys compared whole).
// An empty fund id keeps the prefix; nullopt when the prefix has no such pair,
// so that a transfer never silently moves the default account's money.
std::optional<QString> prefixWithFundId(const QString& prefix, const QString& fundId);

LUMORA_DATA_MODEL_PROTOCOL(IQueryFundTransferInfoDelegate, queryFundTransferInfo, RDOFundTransferInfo)
LUMORA_DATA_MODEL_PROTOCOL(IFundTransferDelegate, fundTransfer, QString)
LUMORA_DATA_MODEL_PROTOCOL(IQueryBankBalanceDelegate, queryBankBalance, QString)
LUMORA_DATA_MODEL_PROTOCOL(IQueryBSTransferDelegate, queryBSTransfer, DTBSTransferInfoPtr)
LUMORA_DATA_MODEL_PROTOCOL(IFundInsideTransferDelegate, fundInsideTransfer, QStringList)
LUMORA_DATA_MODEL_PROTOCOL(IFundCollectionDelegate, fundCollection, RDOFundCollectionResult)

// The capital accounts with their banks: 500 / 20, the prefix alone.
class DMQueryFundTransferInfo final : public DataModelClass<DMQueryFundTransferInfo, TradeDataModel,
                                          tagQueryFundTransferInfoParam, IQueryFundTransferInfoDelegate> {
public:
    static constexpr DataModelInfo info { "56C1B613-0B2A-8E3C-0210-FD46DD9C08BB", 500, 20 };
    using DataModelClass::DataModelClass;
    static void body(const tagQueryFundTransferInfoParam& p, RequestBody& b) { b.prefix(p.commonUrl); }
    static Result reply(const std::vector<VEKTCRS>& sets) { return RDOFundTransferInfo(&sets.front()); }
};

// Requests that move money are never merged; the balance query merges, as
// queries do. Of all of them, one whose answer never came (time-out, lost
// connection) ends in kOrderOutcomeUnknownCode: it is never sent again by
// itself, and the page reads the history and funds again. So does an answer
// without what its success names: a serial, or a collection's amount or
// count, that is missing or blank proves nothing about the money. Any other
// text is shown as the server sent it.

// What a transfer answer lacks when `serial` is missing or blank: `message`.
std::optional<QString> lackingSerial(const QString& serial, const QString& message);

// A bank-securities transfer: 500 / 21, the serial number.
class DMFundTransfer final
    : public OrderDataModelClass<DMFundTransfer, tagFundTransferParam, IFundTransferDelegate> {
public:
    static constexpr DataModelInfo info { "91936E2E-D024-DB9A-B331-07DA1EC0D8AC", 500, 21, HandleRule::Fields,
        RequestEffect::NewIntent };
    // The bank's side moves too: the balance read before it is no longer the bank's.
    static QStringList changes()
    {
        return { owedfigure::kTransfers, owedfigure::kMoney, owedfigure::kMaximum, owedfigure::kBankBalance };
    }
    using OrderDataModelClass::OrderDataModelClass;
    static void body(const tagFundTransferParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);
    static std::optional<QString> lacking(const Result& serial);
};

// The bank balance: 500 / 116, a serial number (the balance comes with the
// history, which the pages read next; the serial is shown nowhere, so an
// answer without one is still a success). Answering it puts the link's
// balance on top of the history, so it ends the reads sent before it as an
// action does: a history, or an equal balance query, asked after another
// link's query goes out anew. An equal query asked with nothing between
// still takes the caller in.
class DMQueryBankBalance final
    : public OrderDataModelClass<DMQueryBankBalance, tagQueryBankBalanceParam, IQueryBankBalanceDelegate> {
public:
    static constexpr DataModelInfo info { .identifier = "A9EDE809-0FC7-0BCC-D9B4-0BEE9AC39FA7",
        .mFunc = 500,
        .sFunc = 116,
        .handle = HandleRule::Fields,
        .effect = RequestEffect::Reads,
        .endsEarlierReads = true };
    // The bank's balance changes nothing the server keeps.
    static QStringList changes() { return {}; }
    using OrderDataModelClass::OrderDataModelClass;
    static void body(const tagQueryBankBalanceParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);
};

// The transfer history: 500 / 22, the prefix alone. Its first row carries
// the bank balance of the latest balance query, so a page reading a link's
// balance asks the history for that link: the link goes into the request
// handle (never into the body), so that a history asked for one link never
// joins one still waiting for another, and its answer names the link asked.
class DMQueryBSTransfer final : public DataModelClass<DMQueryBSTransfer, TradeDataModel,
                                    tagQueryBSTransferParam, IQueryBSTransferDelegate> {
public:
    static constexpr DataModelInfo info { "94CE7778-3AC2-DD8D-6BD0-18899E5735B3", 500, 22 };
    using DataModelClass::DataModelClass;
    static void body(const tagQueryBSTransferParam& p, RequestBody& b) { b.prefix(p.commonUrl); }
    static Result reply(const std::vector<VEKTCRS>& sets)
    {
        return std::make_shared<DTBSTransferInfo>(&sets.front());
    }
    // requestData for the history asked for `link` ("" for none). The handle
    // is formed while the request is filed, so the link stands for this call
    // alone.
    QString requestForLink(
        DataModelObserver* observer, const tagRequestParam& param, qint32 timeout, const QString& link);
    QString getRequestHandle(const tagRequestParam& param) const override;

private:
    QString link_;
};

// Between two of the customer's capital accounts: 500 / 114, the out and in
// serial numbers. The out serial is what shows the money moved; a missing in
// serial reads as an empty text.
class DMFundInsideTransfer final : public OrderDataModelClass<DMFundInsideTransfer,
                                       tagFundInsideTransferParam, IFundInsideTransferDelegate> {
public:
    static constexpr DataModelInfo info { "39316B6D-9E68-00A6-89B4-537B4DEB2A75", 500, 114,
        HandleRule::Fields, RequestEffect::NewIntent };
    static QStringList changes() { return { owedfigure::kMoney, owedfigure::kMaximum }; }
    using OrderDataModelClass::OrderDataModelClass;
    static void body(const tagFundInsideTransferParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);
    static std::optional<QString> lacking(const Result& serials);
};

// Collects every secondary account's money into the main one: 500 / 115,
// the amount collected and the number of inside transfers made.
class DMFundCollection final
    : public OrderDataModelClass<DMFundCollection, tagFundCollectionParam, IFundCollectionDelegate> {
public:
    static constexpr DataModelInfo info { "9985F294-67C7-DB59-EA6C-3AACDC7DC874", 500, 115,
        HandleRule::Fields, RequestEffect::NewIntent };
    static QStringList changes() { return { owedfigure::kMoney, owedfigure::kMaximum }; }
    using OrderDataModelClass::OrderDataModelClass;
    static void body(const tagFundCollectionParam& p, RequestBody& b);
    static Result reply(const std::vector<VEKTCRS>& sets);
    static std::optional<QString> lacking(const Result& result);
};

// Registers the classes above in the catalogue.
void registerTransferDataModels();
LUMORA_REGISTER_DATA_MODELS(registerTransferDataModels)
