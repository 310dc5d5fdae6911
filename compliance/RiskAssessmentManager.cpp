#include "compliance/RiskAssessmentManager.h"

#include "compliance/ComplianceDataModels.h"
#include "core/DataModelManager.h"
#include "login/AccountManager.h"

#include <limits>

namespace {

std::unique_ptr<RiskAssessmentManager>& instance()
{
    static std::unique_ptr<RiskAssessmentManager> shared;
    return shared;
}

// The text as it is: the request refuses a text that does not fit its field
// rather than sending it cut.
void put(std::string& field, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    field.assign(bytes.constData(), size_t(bytes.size()));
}

} // namespace

RiskAssessmentManager* RiskAssessmentManager::getInstance()
{
    if (!instance())
        instance() = std::make_unique<RiskAssessmentManager>();
    return instance().get();
}

void RiskAssessmentManager::resetInstance()
{
    instance().reset();
}

RiskAssessmentManager::RiskAssessmentManager(DataModelManager* dataModelManager, AccountManager* accountManager)
    : dataModelManager(dataModelManager ? dataModelManager : DataModelManager::getInstance())
    , accountManager(accountManager ? accountManager : AccountManager::getInstance())
{
}

RiskAssessmentManager::~RiskAssessmentManager() = default;

DataModel* RiskAssessmentManager::dataModel(std::unique_ptr<DataModel>& slot, const char* identifier)
{
    if (!slot)
        slot = dataModelManager->getDataModel(QString::fromLatin1(identifier));
    return slot.get();
}

QString RiskAssessmentManager::activePrefix() const
{
    const AccountManager::AccountPtr active = accountManager->getActiveLoginAccount();
    return active ? active->commonUrlString : QString();
}

QString RiskAssessmentManager::requestQueryRiskAssessmentInfo(IQueryRiskAssessmentInfoDelegate* observer)
{
    DataModel* request = dataModel(queryInfo_, DMQueryRiskAssessmentInfo::info.identifier);
    if (!request)
        return QString();
    tagRequestParam param;
    request->mallocParam(&param);
    put(param.riskAssessmentInfo()->commonUrl, activePrefix());
    const QString handle = request->requestData(observer, param, timeout);
    request->freeParam(&param);
    return handle;
}

QString RiskAssessmentManager::submit(std::unique_ptr<DataModel>& slot, const char* identifier,
    DataModelObserver* observer, qint32 count, const QString& result, const QString& surveySn)
{
    DataModel* request = dataModel(slot, identifier);
    if (!request)
        return QString();
    tagRequestParam param;
    request->mallocParam(&param);
    tagRiskAssessmentResultParam* record = param.riskAssessmentResult();
    // The field holds 16 bits; the answers' own limit (511 bytes, at least one
    // per question) keeps a real count far below it.
    record->count = qint16(std::clamp<qint32>(
        count, std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max()));
    put(record->commonUrl, activePrefix());
    put(record->result, result);
    put(record->surveySn, surveySn);
    const QString handle = request->requestData(observer, param, timeout);
    request->freeParam(&param);
    return handle;
}

QString RiskAssessmentManager::requestSubmitRiskAssessmentResult(
    ISubmitRiskAssessmentResultDelegate* observer, qint32 count, const QString& result, const QString& surveySn)
{
    return submit(submit_, DMSubmitRiskAssessmentResult::info.identifier, observer, count, result, surveySn);
}

QString RiskAssessmentManager::requestSubmitRiskAssessmentResultEx(ISubmitRiskAssessmentResultExDelegate* observer,
    qint32 count, const QString& result, const QString& surveySn)
{
    return submit(submitEx_, DMSubmitRiskAssessmentResultEx::info.identifier, observer, count, result, surveySn);
}

QString RiskAssessmentManager::requestQueryRiskAssessmentMatch(
    IQueryRiskAssessmentMatchDelegate* observer, const QString& surveySn)
{
    DataModel* request = dataModel(queryMatch_, DMQueryRiskAssessmentMatch::info.identifier);
    if (!request)
        return QString();
    const AccountManager::AccountPtr active = accountManager->getActiveLoginAccount();
    tagRequestParam param;
    request->mallocParam(&param);
    tagRiskAssessmentMatchParam* record = param.riskAssessmentMatch();
    put(record->commonUrl, activePrefix());
    put(record->trdacctExcls, QString::number(active ? active->singleFlag : 0));
    put(record->surveySn, surveySn);
    const QString handle = request->requestData(observer, param, timeout);
    request->freeParam(&param);
    return handle;
}
