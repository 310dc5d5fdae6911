#pragma once

#include <QString>
#include <QStringList>
#include <vector>

class VEKTCRS;

// Codes of the transfer functions. They travel as decimal text; the records
// keep the text and compare integer values.
namespace transfercode {
inline constexpr qint32 kRenminbi = 0;
inline constexpr qint32 kHongKongDollar = 1;
inline constexpr qint32 kUSDollar = 2;
inline constexpr qint32 kAnyTransfer = 0;
inline constexpr qint32 kBankToStock = 1;
inline constexpr qint32 kStockToBank = 2;
inline constexpr qint32 kBankBalance = 4;
// "人民币", "港币", "美元" for 0, 1, 2; "" for any other code.
QString moneyName(qint32 moneyType);
} // namespace transfercode

// One transfer type in one currency that a bank link allows, with the
// passwords it needs.
class RDOTransferTypeInfo {
public:
    RDOTransferTypeInfo() = default;
    // initWithTCRSObj: the record set's current row; null gives an empty record.
    explicit RDOTransferTypeInfo(const VEKTCRS* row);

    const QString& moneyType() const { return moneyType_; }
    const QString& bankTransferType() const { return bankTransferType_; }
    const QString& fundPwdFlag() const { return fundPwdFlag_; }
    const QString& bankPwdFlag() const { return bankPwdFlag_; }

private:
    QString moneyType_;
    QString bankTransferType_;
    QString fundPwdFlag_;
    QString bankPwdFlag_;
};

// One capital account linked to one bank, with every transfer type and
// currency the link allows.
class RDOFundAccountInfo {
public:
    RDOFundAccountInfo() = default;
    // initWithTCRSObj: the current row; null gives an empty account.
    explicit RDOFundAccountInfo(const VEKTCRS* row);

    // updateWithRDOFundAccountInfo: appends the other's entries this one
    // does not support yet.
    void updateWithRDOFundAccountInfo(const RDOFundAccountInfo& other);
    // isSupportTransferType:MoneyType: (transfer type 0: any)
    bool isSupportTransferType(qint32 transferType, qint32 moneyType) const;
    // moneyTypeIsExistInArray:MoneyTypeArray:
    static bool moneyTypeIsExistInArray(const QString& name, const QStringList& names);
    QStringList getSupportMoneyNames() const;
    // getMoneyTypeWithMoneyName: (any other name is 0)
    static qint32 getMoneyTypeWithMoneyName(const QString& name);
    // transferNeedFundPassword:MoneyType: / transferNeedBankPassword:MoneyType:
    // needed unless a matching entry's flag is 0.
    bool transferNeedFundPassword(qint32 transferType, qint32 moneyType) const;
    bool transferNeedBankPassword(qint32 transferType, qint32 moneyType) const;

    const std::vector<RDOTransferTypeInfo>& transferTypeInfoArray() const { return transferTypeInfoArray_; }
    const QString& fundId() const { return fundId_; }
    bool isMain() const { return isMain_; }
    const QString& fundSeqDesc() const { return fundSeqDesc_; }
    const QString& bankCode() const { return bankCode_; }
    const QString& bankName() const { return bankName_; }

    // The money names of entries in order (shared by both record classes).
    static void appendMoneyNames(const std::vector<RDOTransferTypeInfo>& entries, QStringList& names);

private:
    bool needPassword(qint32 transferType, qint32 moneyType, bool bank) const;

    std::vector<RDOTransferTypeInfo> transferTypeInfoArray_;
    QString fundId_;
    bool isMain_ = false;
    QString fundSeqDesc_;
    QString bankCode_;
    QString bankName_;
};

// The customer's capital accounts and their banks: one entry per pair of
// fund id and bank code, in the order the reply first names it.
class RDOFundTransferInfo {
public:
    RDOFundTransferInfo() = default;
    // initWithTCRSObj: every row of the record set (which is moved).
    explicit RDOFundTransferInfo(const VEKTCRS* recordSet);

    // getFundAccountInfoObjectWithFundId:bankCode:
    const RDOFundAccountInfo* getFundAccountInfoObject(const QString& fundId, const QString& bankCode) const;
    // getFundAccountInfoObjectWithBankCode:
    const RDOFundAccountInfo* getFundAccountInfoObjectWithBankCode(const QString& bankCode) const;
    const RDOFundAccountInfo* getMainFundAccountInfo() const;
    static bool moneyTypeIsExistInArray(const QString& name, const QStringList& names)
    {
        return RDOFundAccountInfo::moneyTypeIsExistInArray(name, names);
    }
    QStringList getSupportMoneyNames() const;
    // fundAccountInfoAtIndex: null past the end.
    const RDOFundAccountInfo* fundAccountInfoAtIndex(qsizetype index) const;
    const std::vector<RDOFundAccountInfo>& fundAccountInfoArray() const { return fundAccountInfoArray_; }

private:
    std::vector<RDOFundAccountInfo> fundAccountInfoArray_;
};
