#include "transfer/FundTransferInfo.h"

#include "comm/recordset/ServerNumber.h"
#include "comm/recordset/VEKTCRS.h"

namespace {

// A code by its value, so that a code sent as a decimal ("1.0", or "1.000"
// from a floating-point field) is still 1; a missing one, or one without a
// value, is 0. A number that is no 32-bit whole number ("2.5") is -1, which
// no code is.
qint32 code(const QString& text)
{
    if (!servernumber::valueOf(text))
        return 0;
    const qint64 whole = servernumber::wholeValueOf(text).value_or(-1);
    return whole == qint32(whole) ? qint32(whole) : -1;
}

bool matches(const RDOTransferTypeInfo& entry, qint32 transferType, qint32 moneyType)
{
    return code(entry.moneyType()) == moneyType
        && (transferType == transfercode::kAnyTransfer || code(entry.bankTransferType()) == transferType);
}

} // namespace

QString transfercode::moneyName(qint32 moneyType)
{
    switch (moneyType) {
    case kRenminbi:
        return QStringLiteral("人民币");
    case kHongKongDollar:
        return QStringLiteral("港币");
    case kUSDollar:
        return QStringLiteral("美元");
    default:
        return QString();
    }
}

RDOTransferTypeInfo::RDOTransferTypeInfo(const VEKTCRS* row)
{
    if (!row)
        return;
    moneyType_ = row->toStringWithName(QStringLiteral("moneytype"));
    bankTransferType_ = row->toStringWithName(QStringLiteral("banktrantype"));
    fundPwdFlag_ = row->toStringWithName(QStringLiteral("fundpwdflag"));
    bankPwdFlag_ = row->toStringWithName(QStringLiteral("bankpwdflag"));
}

RDOFundAccountInfo::RDOFundAccountInfo(const VEKTCRS* row)
{
    if (!row)
        return;
    fundId_ = row->toStringWithName(QStringLiteral("fundid"));
    isMain_ = code(row->toStringWithName(QStringLiteral("fundseq"))) == 0;
    fundSeqDesc_ = isMain_ ? QStringLiteral("(主)") : QString();
    bankCode_ = row->toStringWithName(QStringLiteral("bankcode"));
    bankName_ = row->toStringWithName(QStringLiteral("bankname"));
    transferTypeInfoArray_.emplace_back(row);
}

void RDOFundAccountInfo::updateWithRDOFundAccountInfo(const RDOFundAccountInfo& other)
{
    for (const RDOTransferTypeInfo& entry : other.transferTypeInfoArray_) {
        if (!isSupportTransferType(code(entry.bankTransferType()), code(entry.moneyType())))
            transferTypeInfoArray_.push_back(entry);
    }
}

bool RDOFundAccountInfo::isSupportTransferType(qint32 transferType, qint32 moneyType) const
{
    for (const RDOTransferTypeInfo& entry : transferTypeInfoArray_) {
        if (matches(entry, transferType, moneyType))
            return true;
    }
    return false;
}

bool RDOFundAccountInfo::moneyTypeIsExistInArray(const QString& name, const QStringList& names)
{
    return names.contains(name);
}

void RDOFundAccountInfo::appendMoneyNames(const std::vector<RDOTransferTypeInfo>& entries, QStringList& names)
{
    const QString renminbi = transfercode::moneyName(transfercode::kRenminbi);
    for (const RDOTransferTypeInfo& entry : entries) {
        const QString name = transfercode::moneyName(code(entry.moneyType()));
        if (name.isEmpty() || moneyTypeIsExistInArray(name, names))
            continue;
        if (name == renminbi && names.contains(transfercode::moneyName(transfercode::kHongKongDollar))
            && names.contains(transfercode::moneyName(transfercode::kUSDollar)))
            names.prepend(name);
        else
            names.append(name);
    }
}

QStringList RDOFundAccountInfo::getSupportMoneyNames() const
{
    QStringList names;
    appendMoneyNames(transferTypeInfoArray_, names);
    return names;
}

qint32 RDOFundAccountInfo::getMoneyTypeWithMoneyName(const QString& name)
{
    for (qint32 type : { transfercode::kHongKongDollar, transfercode::kUSDollar }) {
        if (name == transfercode::moneyName(type))
            return type;
    }
    return transfercode::kRenminbi;
}

bool RDOFundAccountInfo::needPassword(qint32 transferType, qint32 moneyType, bool bank) const
{
    for (const RDOTransferTypeInfo& entry : transferTypeInfoArray_) {
        if (matches(entry, transferType, moneyType) && code(bank ? entry.bankPwdFlag() : entry.fundPwdFlag()) == 0)
            return false;
    }
    return true;
}

bool RDOFundAccountInfo::transferNeedFundPassword(qint32 transferType, qint32 moneyType) const
{
    return needPassword(transferType, moneyType, false);
}

bool RDOFundAccountInfo::transferNeedBankPassword(qint32 transferType, qint32 moneyType) const
{
    return needPassword(transferType, moneyType, true);
}

RDOFundTransferInfo::RDOFundTransferInfo(const VEKTCRS* recordSet)
{
    if (!recordSet || recordSet->rowsAffected() <= 0)
        return;
    // The cursor is moved on a copy, so the caller's record set stays where it was.
    VEKTCRS rows = *recordSet;
    for (qint32 i = 0; i < rows.rowsAffected(); ++i) {
        rows.moveTo(i);
        RDOFundAccountInfo account(&rows);
        bool merged = false;
        for (RDOFundAccountInfo& existing : fundAccountInfoArray_) {
            if (existing.fundId() == account.fundId() && existing.bankCode() == account.bankCode()) {
                existing.updateWithRDOFundAccountInfo(account);
                merged = true;
                break;
            }
        }
        if (!merged)
            fundAccountInfoArray_.push_back(std::move(account));
    }
}

const RDOFundAccountInfo* RDOFundTransferInfo::getFundAccountInfoObject(
    const QString& fundId, const QString& bankCode) const
{
    for (const RDOFundAccountInfo& a : fundAccountInfoArray_) {
        if (a.fundId() == fundId && a.bankCode() == bankCode)
            return &a;
    }
    return nullptr;
}

const RDOFundAccountInfo* RDOFundTransferInfo::getFundAccountInfoObjectWithBankCode(const QString& bankCode) const
{
    for (const RDOFundAccountInfo& a : fundAccountInfoArray_) {
        if (a.bankCode() == bankCode)
            return &a;
    }
    return nullptr;
}

const RDOFundAccountInfo* RDOFundTransferInfo::getMainFundAccountInfo() const
{
    for (const RDOFundAccountInfo& a : fundAccountInfoArray_) {
        if (a.isMain())
            return &a;
    }
    return nullptr;
}

QStringList RDOFundTransferInfo::getSupportMoneyNames() const
{
    QStringList names;
    for (const RDOFundAccountInfo& a : fundAccountInfoArray_)
        RDOFundAccountInfo::appendMoneyNames(a.transferTypeInfoArray(), names);
    return names;
}

const RDOFundAccountInfo* RDOFundTransferInfo::fundAccountInfoAtIndex(qsizetype index) const
{
    return index >= 0 && size_t(index) < fundAccountInfoArray_.size() ? &fundAccountInfoArray_[size_t(index)]
                                                                       : nullptr;
}
