#pragma once

#include "core/DataModel.h"

#include <QString>
#include <memory>

class AccountManager;
class DataModelManager;
class IQueryRiskAssessmentInfoDelegate;
class IQueryRiskAssessmentMatchDelegate;
class ISubmitRiskAssessmentResultDelegate;
class ISubmitRiskAssessmentResultExDelegate;

// The one front through which pages send the questionnaire's requests: it
// fills the record from the active account and the arguments and sends with
// the caller as observer. A text too long for its field makes the request
// refused and the observer hears why. Main thread only.
class RiskAssessmentManager {
public:
    static constexpr qint32 kTimeout = 30; // seconds

    static RiskAssessmentManager* getInstance();
    // Tests: drops the shared manager.
    static void resetInstance();

    // init: null services are the shared instances.
    explicit RiskAssessmentManager(
        DataModelManager* dataModelManager = nullptr, AccountManager* accountManager = nullptr);
    ~RiskAssessmentManager();
    RiskAssessmentManager(const RiskAssessmentManager&) = delete;
    RiskAssessmentManager& operator=(const RiskAssessmentManager&) = delete;

    // Each answers the request handle ("" when nothing was sent).
    QString requestQueryRiskAssessmentInfo(IQueryRiskAssessmentInfoDelegate* observer);
    // requestSubmitRiskAssessmentResult:count:result:surveySn:
    QString requestSubmitRiskAssessmentResult(ISubmitRiskAssessmentResultDelegate* observer, qint32 count,
        const QString& result, const QString& surveySn);
    // requestSubmitRiskAssessmentResultEx:count:result:surveySn:
    QString requestSubmitRiskAssessmentResultEx(ISubmitRiskAssessmentResultExDelegate* observer, qint32 count,
        const QString& result, const QString& surveySn);
    // requestQueryRiskAssessmentMatch:surveySn:
    QString requestQueryRiskAssessmentMatch(IQueryRiskAssessmentMatchDelegate* observer, const QString& surveySn);

    // Tests: the time-out of every request.
    void setRequestTimeout(qint32 seconds) { timeout = seconds; }

private:
    DataModel* dataModel(std::unique_ptr<DataModel>& slot, const char* identifier);
    QString submit(std::unique_ptr<DataModel>& slot, const char* identifier, DataModelObserver* observer,
        qint32 count, const QString& result, const QString& surveySn);
    QString activePrefix() const;

    DataModelManager* dataModelManager;
    AccountManager* accountManager;
    std::unique_ptr<DataModel> queryInfo_;
    std::unique_ptr<DataModel> submit_;
    std::unique_ptr<DataModel> submitEx_;
    std::unique_ptr<DataModel> queryMatch_;
    qint32 timeout = kTimeout;
};
