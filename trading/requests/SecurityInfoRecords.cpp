#include "trading/requests/SecurityInfoRecords.h"

#include "comm/VEKTCRS.h"

#include <utility>

namespace {

template <class Record, std::size_t N>
void readTexts(Record& record, const VEKTCRS& set, const std::pair<QString Record::*, const char*> (&fields)[N])
{
    for (const auto& [member, key] : fields)
        record.*member = set.toStringWithName(QLatin1String(key));
}

} // namespace

RDONewStock::RDONewStock(const VEKTCRS* set)
{
    if (!set)
        return;
    static constexpr std::pair<QString RDONewStock::*, const char*> fields[] = {
        { &RDONewStock::stockName, "ZQMC" },
        { &RDONewStock::stockCode, "ZQDM" },
        { &RDONewStock::stockPrice, "SGJG" },
        { &RDONewStock::limitUp, "SGSX" },
        { &RDONewStock::limitDown, "SGXX" },
        { &RDONewStock::totalVolume, "SGZL" },
        { &RDONewStock::marketName, "JYSMC" },
        { &RDONewStock::date, "SGRQ" },
        { &RDONewStock::marketType, "market" },
        { &RDONewStock::moneyType, "moneytype" },
        { &RDONewStock::stockType, "stktype" },
        { &RDONewStock::priceUnit, "priceunit" },
        { &RDONewStock::limitDownValue, "maxdownvalue" },
        { &RDONewStock::stopFlag, "stopflag" },
        { &RDONewStock::marketCalFlag, "mtkcalflag" },
        { &RDONewStock::bondIntr, "bondintr" },
        { &RDONewStock::minQuantity, "minqty" },
        { &RDONewStock::maxQuantity, "maxstkqty" },
        { &RDONewStock::buyUnit, "buyunit" },
        { &RDONewStock::saleUnit, "saleunit" },
        { &RDONewStock::stockStatus, "stkstatus" },
        { &RDONewStock::stockLevel, "stklevel" },
        { &RDONewStock::quitDate, "quitdate" },
        { &RDONewStock::memoText, "memotext" },
        { &RDONewStock::securityId, "secuid" },
    };
    readTexts(*this, *set, fields);
    stockCodeAndName = stockCode + QLatin1Char(' ') + stockName;
}

RDOWarrantInfo::RDOWarrantInfo(const VEKTCRS* set)
{
    if (!set)
        return;
    static constexpr std::pair<QString RDOWarrantInfo::*, const char*> fields[] = {
        { &RDOWarrantInfo::warrantCode, "warrantcode" },
        { &RDOWarrantInfo::stockCode, "stkcode" },
        { &RDOWarrantInfo::exercisePrice, "exerprice" },
        { &RDOWarrantInfo::marketCode, "market" },
    };
    readTexts(*this, *set, fields);
}
