#pragma once

#include "compliance/BusinessContractWindow.h"
#include "core/DataModel.h"

#include <QString>
#include <memory>

class AccountManager;
class DataModelManager;
class IOpenPermissionAccessDelegate;
class IQueryPermissionContractDelegate;
class IQueryPermissionInfoDelegate;

// The one front of the permission pages, the opening wizard and the notice
// windows' signing: fills the record from the active account and the link and
// sends with the caller as observer. A prefix or link that does not fit its
// field, is not ASCII or names no function is refused before anything goes
// out, and the observer hears why. Main thread only.
class PermissionSettingsManager final : public IPermissionSigner {
public:
    static constexpr qint32 kTimeout = 30; // seconds

    static PermissionSettingsManager* getInstance();
    // Tests: drops the shared manager.
    static void resetInstance();

    // Null services are the shared instances.
    explicit PermissionSettingsManager(
        DataModelManager* dataModelManager = nullptr, AccountManager* accountManager = nullptr);
    ~PermissionSettingsManager() override;
    PermissionSettingsManager(const PermissionSettingsManager&) = delete;
    PermissionSettingsManager& operator=(const PermissionSettingsManager&) = delete;

    // Each answers the request handle ("" when nothing could be filed).
    QString requestQueryPermissionInfo(IQueryPermissionInfoDelegate* observer);
    // requestQueryPermissionContract:requestUrl:
    QString requestQueryPermissionContract(IQueryPermissionContractDelegate* observer, const QString& requestUrl);
    // requestOpenPermissionAccess:requestUrl:
    QString requestOpenPermissionAccess(IOpenPermissionAccessDelegate* observer, const QString& requestUrl);
    // requestPermissionSign:requestString: (also the notice windows' signer)
    QString requestPermissionSign(IPermissionSign* observer, const QString& signLink) override;

    // Tests: the time-out of every request.
    void setRequestTimeout(qint32 seconds) { timeout = seconds; }

private:
    template <class Param>
    QString send(std::unique_ptr<DataModel>& slot, const char* identifier, DataModelObserver* observer,
        std::string Param::*link, const QString& linkText);
    QString activePrefix() const;

    DataModelManager* dataModelManager; // null: the shared one, when first needed
    AccountManager* accountManager; // null: the shared one, when first needed
    std::unique_ptr<DataModel> queryInfo_;
    std::unique_ptr<DataModel> queryContract_;
    std::unique_ptr<DataModel> openAccess_;
    std::unique_ptr<DataModel> sign_;
    qint32 timeout = kTimeout;
};
