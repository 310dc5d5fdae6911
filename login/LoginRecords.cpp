#include "login/LoginRecords.h"

#include "comm/recordset/ServerNumber.h"

namespace {

QString text(const VEKTCRS& set, const char* field)
{
    return set.toStringWithName(QLatin1StringView(field));
}

} // namespace

RDOSecurityInfo::RDOSecurityInfo(const VEKTCRS* recordSet)
{
    if (!recordSet)
        return;
    const servernumber::Row row(*recordSet);
    marketType = text(*recordSet, "~market");
    marketCode = row.wholeValue("market").value_or(0);
    securityId = text(*recordSet, "secuid");
    securityType = row.wholeValue("~secuidType").value_or(0);
}

RDOFund::RDOFund(const VEKTCRS& set)
    : fundId(text(set, "fundid"))
    , fundSeq(text(set, "fundseq"))
    , bankName(text(set, "bankname"))
    , moneyTypeName(text(set, "~moneytype"))
    , fundBalance(text(set, "fundbal"))
    , fundAvailable(text(set, "fundavl"))
    , stockValue(text(set, "stkvalue"))
    , marketValue(text(set, "marketvalue"))
{
}

RDORiskAssessmentStatus::RDORiskAssessmentStatus(const VEKTCRS& set)
    : tips(text(set, "tips"))
    , fctipstitle(text(set, "fctipstitle"))
    , fctips(text(set, "fctips"))
{
    const std::optional<qint64> isrisk = servernumber::Row(set).wholeValue("isrisk");
    status = isrisk == 1 || isrisk == 2 ? qint32(*isrisk) : 0;
}

RDOSystemMessage::RDOSystemMessage(const VEKTCRS& set)
    : title_(text(set, "title"))
    , content_(text(set, "content"))
    , date_(text(set, "date"))
{
}

RDOIdentifyingCode::RDOIdentifyingCode(const VEKTCRS& set)
    : code_(text(set, "code"))
    , imageData_(set.fieldDataWithName(QStringLiteral("image")))
{
    QImage picture;
    if (!imageData_.isEmpty() && picture.loadFromData(imageData_) && !picture.isNull())
        image_ = std::move(picture);
}

RDOAccount::RDOAccount(const std::vector<VEKTCRS>& recordSets)
{
    if (recordSets.empty())
        return;
    VEKTCRS first = recordSets[0];
    first.fetchFirst();
    singleFlag_ = qint32(servernumber::Row(first).wholeValue("singleflag").value_or(0));
    customerId_ = text(first, "custid");
    customerName_ = text(first, "name");
    commonString_ = text(first, "com_url");
    promptInfo_ = text(first, "prompt");
    if (recordSets.size() >= 2) {
        VEKTCRS second = recordSets[1];
        std::vector<RDOSecurityInfo> list;
        for (qint32 row = 0; row < second.rowsAffected(); ++row) {
            if (second.moveTo(row))
                list.emplace_back(&second);
        }
        securityInfoArray_ = std::move(list);
    }
    if (recordSets.size() >= 3) {
        VEKTCRS third = recordSets[2];
        third.fetchFirst();
        lastLoginInfoTitle_ = text(third, "title");
        lastLoginInfoContent_ = text(third, "content");
    }
}

RDOOrganizationDetail::RDOOrganizationDetail(const VEKTCRS& set)
    : areaName(text(set, "area_name"))
    , areaId(text(set, "eb_area_id"))
    , orgName(QStringLiteral("%1营业部").arg(text(set, "org_name")))
    , orgCode(text(set, "org_code"))
    , prefixCode(text(set, "prefix_code"))
{
}

RDOOrganizationInfo::RDOOrganizationInfo(const VEKTCRS& recordSet)
{
    VEKTCRS rows = recordSet;
    for (qint32 row = 0; row < rows.rowsAffected(); ++row) {
        if (!rows.moveTo(row))
            continue;
        // A row without "area_name" forms an area named "" (offered as such).
        const RDOOrganizationDetail detail(rows);
        addOrgAreaName(detail.areaName);
        addOrganization(detail, detail.areaName);
    }
}

void RDOOrganizationInfo::addOrgAreaName(const QString& areaName)
{
    for (const QString& name : orgAreaNameArray_) {
        if (name == areaName)
            return;
    }
    orgAreaNameArray_.push_back(areaName);
    orgDetailArrayDict[areaName];
}

void RDOOrganizationInfo::addOrganization(const RDOOrganizationDetail& detail, const QString& area)
{
    orgDetailArrayDict[area].push_back(detail);
}

const std::vector<RDOOrganizationDetail>* RDOOrganizationInfo::getOrgDetailList(const QString& area) const
{
    auto found = orgDetailArrayDict.find(area);
    return found == orgDetailArrayDict.end() ? nullptr : &found->second;
}
