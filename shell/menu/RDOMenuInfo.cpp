#include "shell/menu/RDOMenuInfo.h"

#include "comm/crypto/AesEncryption.h"
#include "comm/recordset/ServerNumber.h"
#include "comm/recordset/VEKTCRS.h"
#include "shell/menu/MenuLink.h"
#include "shell/menu/TreeTeardown.h"

#include <algorithm>
#include <iterator>

namespace {

struct LinkRow {
    const char* link;
    qint32 linkId;
};

// Link ids by whole link text, in the order of comparison.
constexpr LinkRow kLinkIds[] = {
    { "buysale?MMLB=0", 10000 },
    { "buysale?MMLB=1", 10001 },
    { "kcbbuysale?MMLB=3m", 10007 },
    { "kcbbuysale?MMLB=3n", 10008 },
    { "wtcd?tc_mfuncno=500&tc_sfuncno=121&sign=~bsflag&position=poststr&unlist=|market|orderstatus|", 10002 },
    { "tradequery?tc_mfuncno=500&tc_sfuncno=2", 10003 },
    { "tradequery?tc_mfuncno=500&tc_sfuncno=3&sign=proincome&position=poststr&unlist=|market|hq_market|",
        10004 },
    { "tradequery?tc_mfuncno=500&tc_sfuncno=8&sign=~bsflag&position=poststr&unlist=|market|", 10005 },
    { "tradequery?tc_mfuncno=500&tc_sfuncno=9&sign=~bsflag&position=poststr", 10006 },
    { "trademenu", 1 },
    { "hisquery?tc_mfuncno=500&tc_sfuncno=125&position=poststr", 20001 },
    { "hisquery?tc_mfuncno=500&tc_sfuncno=10&position=poststr", 20002 },
    { "hisquery?tc_mfuncno=500&tc_sfuncno=54&position=poststr", 20003 },
    { "hisquery?tc_mfuncno=500&tc_sfuncno=126&position=poststr", 20004 },
    { "hisquery?tc_mfuncno=500&tc_sfuncno=23&unlist=|market|", 20005 },
    { "hisquery?tc_mfuncno=500&tc_sfuncno=25&position=poststr", 20006 },
    { "tradequery?tc_mfuncno=500&tc_sfuncno=100&unlist=|market|~secuidtype|", 20007 },
    { "of_jjrg?tc_mfuncno=500&tc_sfuncno=34", 30001 },
    { "of_jjsg?tc_mfuncno=500&tc_sfuncno=35", 30002 },
    { "of_jjsh?tc_mfuncno=500&tc_sfuncno=36", 30003 },
    { "of_wtcd?tc_mfuncno=500&tc_sfuncno=55&unlist=|orderdate|", 30004 },
    { "of_jjzh?tc_mfuncno=500&tc_sfuncno=38", 30005 },
    { "of_fhsz?tc_mfuncno=500&tc_sfuncno=39", 30006 },
    { "jjdt?", 30007 },
    { "jjdtcd?tc_mfuncno=500&tc_sfuncno=60&unlist=|~overkind|overkind|actionmode|", 30008 },
    { "of_fecx?tc_mfuncno=500&tc_sfuncno=41", 30009 },
    { "of_jycx?tc_mfuncno=500&tc_sfuncno=45", 30010 },
    { "hisquery?tc_mfuncno=500&tc_sfuncno=40", 30011 },
    { "hisquery?tc_mfuncno=500&tc_sfuncno=42", 30012 },
    { "ofhqquery?tc_mfuncno=500&tc_sfuncno=50&unlist=|~shareclass|ofstatus|tacode|ecflag|", 30013 },
    { "ofacc_query?tc_mfuncno=500&tc_sfuncno=43&unlist=|tacode|", 30014 },
    { "banktransfer", 40001 },
    { "stocktransfer", 40002 },
    { "banktranquery?tc_mfuncno=500&tc_sfuncno=22", 40003 },
    { "bankbalance?tc_mfuncno=500&tc_sfuncno=67", 40004 },
    { "mlt_intransfer?tc_mfuncno=500&tc_sfuncno=114", 40005 },
    { "mlt_alltransfer?tc_mfuncno=500&tc_sfuncno=115", 40006 },
    { "fundhisquery?tc_mfuncno=500&tc_sfuncno=118", 40007 },
    { "jjfxcp?tc_mfuncno=500&tc_sfuncno=160", 50001 },
    { "query_of_fhsz?tc_mfuncno=500&tc_sfuncno=162", 50002 },
    { "xgmm?tc_mfuncno=500&tc_sfuncno=12", 60000 },
    { "tradeexit", 60004 },
    { "xgsg?tc_mfuncno=500&tc_sfuncno=6", 70000 },
    { "zccx?tc_mfuncno=500&tc_sfuncno=2", 10003 },
    { "qzxq?", 80000 },
    { "qxsz?", 60001 },
    { "ylxxxg?", 60002 },
    { "sdzdspsj?", 60003 },
    { "hgtmr?", 90000 },
    { "hgtzsmc?", 90001 },
    { "hgtlgmc?", 90002 },
    { "hgtcd?", 90003 },
    { "hgtbdcx?", 90004 },
    { "hgttpsb?", 90005 },
    { "hgtqtxwsb?", 90006 },
    { "hgtgsxwsbcx?", 90007 },
    { "hgttzxxcx?", 90008 },
    { "hgtjyqxsz?", 90009 },
};
static_assert(std::size(kLinkIds) == 58);

QString keyText()
{
    return QString::fromLatin1(RDOMenuInfo::kMenuKey);
}

} // namespace

RDOMenuInfo::~RDOMenuInfo()
{
    releaseTreeIteratively(childArray, [](RDOMenuInfo& node) -> std::vector<Ptr>& { return node.childArray; });
}

RDOMenuInfo::RDOMenuInfo(const VEKTCRS& row)
    : menuId(row.toStringWithName(QStringLiteral("cm_menu_id")))
    , parentId(row.toStringWithName(QStringLiteral("cm_menu_pid")))
    , menuName(row.toStringWithName(QStringLiteral("cm_menu_name")))
{
    setPlainLink(row.toStringWithName(QStringLiteral("cm_menu_link")));
    menuImage = row.toStringWithName(QStringLiteral("cm_menu_image"));
}

RDOMenuInfo::RDOMenuInfo(const QVariantMap& dict)
    : menuId(dict.value(QStringLiteral("menu_id")).toString())
    , parentId(dict.value(QStringLiteral("menu_pid")).toString())
    , menuName(dict.value(QStringLiteral("menu_name")).toString())
    , menuLink(dict.value(QStringLiteral("menu_link")).toString())
    , menuImage(dict.value(QStringLiteral("menu_image")).toString())
{
    const QString link = plainLink();
    menuLinkId = getMenuLinkIdWithIdString(link);
    menuLinkType = link.isEmpty() ? kPageByLinkId : getMenuLinkTypeWithLinkString(link);
}

RDOMenuInfo::Ptr RDOMenuInfo::fromFields(const QString& menuId, const QString& parentId,
    const QString& menuName, const QString& plainLink, const QString& menuImage)
{
    auto node = std::make_shared<RDOMenuInfo>();
    node->menuId = menuId;
    node->parentId = parentId;
    node->menuName = menuName;
    node->setPlainLink(plainLink);
    node->menuImage = menuImage;
    return node;
}

void RDOMenuInfo::setPlainLink(const QString& link)
{
    menuLinkId = getMenuLinkIdWithIdString(link);
    menuLinkType = getMenuLinkTypeWithLinkString(link);
    menuLink = link.isEmpty() ? QString()
                              : AesEncryption::encodeStringWithAES(link, keyText()).value_or(QString());
}

QVariantMap RDOMenuInfo::toDict() const
{
    return {
        { QStringLiteral("menu_id"), menuId },
        { QStringLiteral("menu_pid"), parentId },
        { QStringLiteral("menu_name"), menuName },
        { QStringLiteral("menu_link"), menuLink },
        { QStringLiteral("menu_image"), menuImage },
    };
}

QString RDOMenuInfo::plainLink() const
{
    if (menuLink.isEmpty())
        return QString();
    return AesEncryption::decodeStringWithAES(menuLink, keyText()).value_or(QString());
}

bool RDOMenuInfo::isRoot() const
{
    // By its value, as the server means it: "-1.0" is a root too.
    return servernumber::wholeValueOf(parentId) == -1;
}

void RDOMenuInfo::deleteChild(const RDOMenuInfo* child)
{
    std::erase_if(childArray, [child](const Ptr& c) { return c.get() == child; });
}

qint32 RDOMenuInfo::getMenuLinkTypeWithLinkString(const QString& link)
{
    const QString function = getUrlFunctionString(link);
    if (function == QLatin1String("tradequery"))
        return kTradeQuery;
    if (function == QLatin1String("hisquery"))
        return kHisQuery;
    if (function == QLatin1String("tradehisquery"))
        return kTradeHisQuery;
    if (function == QLatin1String("zshqpmd"))
        return kIndexTicker;
    return kPageByLinkId;
}

qint32 RDOMenuInfo::getMenuLinkIdWithIdString(const QString& link)
{
    for (const LinkRow& row : kLinkIds) {
        if (link == QLatin1String(row.link))
            return row.linkId;
    }
    return 0;
}
