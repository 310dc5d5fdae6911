#include "funds/requests/FundDataModels.h"

#include "comm/recordset/ServerNumber.h"
#include "core/DMCDataCache.h"
#include "core/DataModelFactory.h"
#include "trading/requests/UnknownOutcomeWords.h"

namespace fundreply {

VEKTCRS firstRow(const std::vector<VEKTCRS>& sets)
{
    VEKTCRS first = sets.front();
    first.fetchFirst();
    return first;
}

QString firstText(const std::vector<VEKTCRS>& sets, const char* field)
{
    return firstRow(sets).toStringWithName(QLatin1String(field));
}

} // namespace fundreply

QString fundOrderOutcomeUnknownMessage(const CSError& cause)
{
    return unknownOutcomeOf(cause, unknownoutcome::kFundOrder);
}

QString fundCancelOutcomeUnknownMessage(const CSError&)
{
    // As the share cancel's: the words alone, whatever left it open.
    return QString::fromUtf8(unknownoutcome::kFundCancel);
}

int32_t DMQueryOpdFundList::getDataCacheType(const QString& listType)
{
    bool ok = false;
    const int value = listType.trimmed().toInt(&ok);
    if (!ok)
        return 0;
    switch (value) {
    case 0:
        return 3;
    case 1:
        return 1;
    case 2:
        return 2;
    default:
        return 0;
    }
}

OpdFundTablePtr DMQueryOpdFundList::cachedList(const QVariant& entry)
{
    return entry.metaType() == QMetaType::fromType<OpdFundTablePtr>() ? entry.value<OpdFundTablePtr>()
                                                                      : nullptr;
}

DMOpdQueryAppropriateness::Result DMOpdQueryAppropriateness::reply(const std::vector<VEKTCRS>& sets)
{
    Result result;
    for (qsizetype i = 0; i < qsizetype(sets.size()); ++i) {
        const QString name = sets[size_t(i)].recordsetInfo();
        if (name == QLatin1String("sdxstatus")) {
            VEKTCRS set = sets[size_t(i)];
            // Suited by the value 1 in any form ("1.000" among them).
            result.status = set.fetchFirst() && servernumber::Row(set).wholeValue("sdx_status") == 1;
        } else if (name == QLatin1String("sdxxy")) {
            result.notices = RDOOpdAppropriateness::parseResultsets(sets, i);
        }
    }
    return result;
}

DMQueryBonusSetting::Result DMQueryBonusSetting::reply(const std::vector<VEKTCRS>& sets)
{
    return servernumber::Row(fundreply::firstRow(sets)).wholeValue("dividmethod").value_or(0);
}

std::pair<quint64, quint64> DMOpdFundTrade::functions(const tagOpdFundParam& p)
{
    const bool purchase = servernumber::wholeValueOf(QString::fromStdString(p.tradeType)) == 240022;
    return { info.mFunc, purchase ? kPurchaseFunction : info.sFunc };
}

DMQueryFundHistoricNet::Result DMQueryFundHistoricNet::reply(const std::vector<VEKTCRS>& sets)
{
    Result values;
    VEKTCRS set = sets.front();
    for (qint32 r = 0; r < set.rowsAffected(); ++r) {
        set.moveTo(r);
        values.emplace_back(set);
    }
    return values;
}

void registerFundDataModels()
{
    DataModelFactory::registerDataModel<DMQueryOpdFundList>();
    DataModelFactory::registerDataModel<DMQueryOpdFund>();
    DataModelFactory::registerDataModel<DMQueryOpdFundPosition>();
    DataModelFactory::registerDataModel<DMQueryOpdFundPositionList>();
    DataModelFactory::registerDataModel<DMQueryOpdFundCurrentOrders>();
    DataModelFactory::registerDataModel<DMRedeemOpdFund>();
    DataModelFactory::registerDataModel<DMTransformOpdFund>();
    DataModelFactory::registerDataModel<DMOpdFundCancelOrder>();
    DataModelFactory::registerDataModel<DMQueryBonusSetting>();
    DataModelFactory::registerDataModel<DMSubmitOpdBonusSetting>();
    DataModelFactory::registerDataModel<DMOpdQueryAppropriateness>();
    DataModelFactory::registerDataModel<DMOpdQuerySignNumber>();
    DataModelFactory::registerDataModel<DMOpdFundTrade>();
    DataModelFactory::registerDataModel<DMUserRiskLevelMatch>();
    DataModelFactory::registerDataModel<DMQueryFundHistoricNet>();
    DataModelFactory::registerDataModel<DMOpdFundInvestOntime>();
    DataModelFactory::registerDataModel<DMQueryInvestOntimeOrderList>();
    DataModelFactory::registerDataModel<DMInvestOntimeCancelOrder>();
}
