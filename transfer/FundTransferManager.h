#pragma once

#include "core/DataModel.h"

#include <QString>
#include <memory>
#include <optional>

class AccountManager;
class DataModelManager;
class IQueryFundTransferInfoDelegate;
class IFundTransferDelegate;
class IQueryBankBalanceDelegate;
class IQueryBSTransferDelegate;
class IFundInsideTransferDelegate;
class IFundCollectionDelegate;

// What a user types for a transfer, checked before anything is confirmed or
// sent: a message saying what is wrong, nullopt when the text may go.
namespace transferinput {
// A text of printable ASCII other than "&" and "=" that fits its field (255
// characters), so that it can never rewrite the request; `name` names it.
std::optional<QString> checkText(const QString& text, const QString& name);
// A password as checkText has it; empty only when `required` is false.
std::optional<QString> checkPassword(const QString& password, const QString& name, bool required);
} // namespace transferinput

// The one front through which the transfer pages talk to the trade server:
// it fills each function's record from the active account and the arguments
// and sends with the caller as observer; the reply goes straight to it.
// Without an active account, or when the prefix cannot name the chosen
// capital account, nothing is sent and the observer hears why (on a later
// pass of the loop). Each answers the request handle ("" when nothing was
// sent). Password fields are wiped when the record is freed. Main thread only.
class FundTransferManager {
public:
    static constexpr qint32 kTimeout = 30; // seconds

    static FundTransferManager* getInstance();
    // Tests: drops the shared manager.
    static void resetInstance();

    // null services are the shared instances.
    explicit FundTransferManager(
        DataModelManager* dataModelManager = nullptr, AccountManager* accountManager = nullptr);
    ~FundTransferManager();
    FundTransferManager(const FundTransferManager&) = delete;
    FundTransferManager& operator=(const FundTransferManager&) = delete;

    QString requestQueryFundTransferInfo(IQueryFundTransferInfoDelegate* observer);
    // requestFundTransfer:moneyType:fundId:bankCode:amount:tranferType:fundPassword:bankPassword:
    QString requestFundTransfer(IFundTransferDelegate* observer, qint32 moneyType, const QString& fundId,
        const QString& bankCode, const QString& amount, qint32 tranferType, const QString& fundPassword,
        const QString& bankPassword);
    // requestFundInsideTransfer:outFundId:inFundId:moneyType:amount:fundPassword:
    QString requestFundInsideTransfer(IFundInsideTransferDelegate* observer, const QString& outFundId,
        const QString& inFundId, qint32 moneyType, const QString& amount, const QString& fundPassword);
    // requestFundCollection:moneyType:
    QString requestFundCollection(IFundCollectionDelegate* observer, qint32 moneyType);
    // requestBankBalance:moneyType:fundId:bankCode:fundPassword:bankPassword:
    QString requestBankBalance(IQueryBankBalanceDelegate* observer, qint32 moneyType, const QString& fundId,
        const QString& bankCode, const QString& fundPassword, const QString& bankPassword);
    // The history asked for a bank link (`link` names it: see DMQueryBSTransfer)
    // goes under a handle of its own; the request sent is the same.
    QString requestBSTransferInfo(IQueryBSTransferDelegate* observer, const QString& link = QString());

    // Tests: the time-out of every request.
    void setRequestTimeout(qint32 seconds) { timeout = seconds; }

private:
    DataModel* dataModel(std::unique_ptr<DataModel>& slot, const char* identifier);
    // The active account's prefix naming `fundId` (kept as it is for an
    // empty one); nullopt and why otherwise.
    std::optional<QString> activePrefix(const QString& fundId, QString* why) const;
    QString send(DataModel* request, DataModelObserver* observer, tagRequestParam& param);

    DataModelManager* dataModelManager;
    AccountManager* accountManager;
    std::unique_ptr<DataModel> transferInfo_;
    std::unique_ptr<DataModel> transfer_;
    std::unique_ptr<DataModel> insideTransfer_;
    std::unique_ptr<DataModel> collection_;
    std::unique_ptr<DataModel> bankBalance_;
    std::unique_ptr<DataModel> history_;
    qint32 timeout = kTimeout;
};
