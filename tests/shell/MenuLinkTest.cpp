#include "shell/menu/MenuLink.h"

#include "shell/menu/RDOMenuInfo.h"

#include <gtest/gtest.h>

namespace {

struct GrammarCase {
    const char* params;
    QStringList keys;
    // The expected answer: key=value pairs, "otherUrl" included; none for nullopt.
    std::optional<QMap<QString, QString>> expected;
};

QMap<QString, QString> answer(std::initializer_list<std::pair<QString, QString>> pairs)
{
    QMap<QString, QString> out;
    for (const auto& [k, v] : pairs)
        out.insert(k, v);
    return out;
}

} // namespace

TEST(MenuLink, AnalyzeUrlAndSymbolByKeys)
{
    const GrammarCase cases[] = {
        { "x=1&&y=2", { "x", "y" }, answer({ { "x", "1" }, { "y", "2" }, { "otherUrl", "" } }) },
        { "X = 1&z=3", { "x" }, answer({ { "x", " 1" }, { "otherUrl", "z=3" } }) },
        { "\tTC_MFUNCNO\t=500&b=2", { "tc_mfuncno" },
            answer({ { "tc_mfuncno", "500" }, { "otherUrl", "b=2" } }) },
        { "flag&k=v", { "flag" }, answer({ { "flag", "" }, { "otherUrl", "k=v" } }) },
        { "k=a=b&m=1", { "k", "m" }, answer({ { "m", "1" }, { "otherUrl", "" } }) },
        { "k=1&k=2", { "k" }, answer({ { "k", "2" }, { "otherUrl", "" } }) },
        { "", { "k" }, answer({ { "otherUrl", "" } }) },
        { "a=1", {}, std::nullopt },
        // Keys match whatever the case; the answer keeps the caller's spelling.
        { "MMLB=0", { "mmlb" }, answer({ { "mmlb", "0" }, { "otherUrl", "" } }) },
        // Parts nobody asked for keep their order and their text.
        { "tc_mfuncno=500&tc_sfuncno=8&sign=~bsflag&position=poststr&unlist=|market|",
            { "tc_mfuncno", "tc_sfuncno", "unlist" },
            answer({ { "tc_mfuncno", "500" }, { "tc_sfuncno", "8" }, { "unlist", "|market|" },
                { "otherUrl", "sign=~bsflag&position=poststr" } }) },
        // A value is not decoded: "%26" stays as sent.
        { "q=a%26b&r", { "q" }, answer({ { "q", "a%26b" }, { "otherUrl", "r" } }) },
    };
    for (const GrammarCase& c : cases)
        EXPECT_EQ(analyzeUrlAndSymbolByKeys(QString::fromUtf8(c.params), c.keys), c.expected) << c.params;
}

TEST(MenuLink, FunctionParamsTypeAndId)
{
    struct Case {
        const char* link;
        const char* function;
        const char* params;
        qint32 type;
        qint32 id;
    };
    const Case cases[] = {
        { "", "", "", 4, 0 },
        { "tradequery", "tradequery", "", 0, 0 },
        { "a?b?c", "a", "b?c", 4, 0 },
        { "jjdt?", "jjdt", "", 4, 30007 },
        { "trademenu", "trademenu", "", 4, 1 },
        { "tradequery?tc_mfuncno=500&tc_sfuncno=2", "tradequery", "tc_mfuncno=500&tc_sfuncno=2", 0, 10003 },
        { "zccx?tc_mfuncno=500&tc_sfuncno=2", "zccx", "tc_mfuncno=500&tc_sfuncno=2", 4, 10003 },
        { "TradeQuery?tc_mfuncno=500&tc_sfuncno=2", "TradeQuery", "tc_mfuncno=500&tc_sfuncno=2", 4, 0 },
        { "buysale?MMLB=0&x=1", "buysale", "MMLB=0&x=1", 4, 0 },
        { "hisquery?tc_mfuncno=500&tc_sfuncno=42", "hisquery", "tc_mfuncno=500&tc_sfuncno=42", 1, 30012 },
        { "tradehisquery?a=1", "tradehisquery", "a=1", 2, 0 },
        { "zshqpmd?code=1", "zshqpmd", "code=1", 3, 0 },
        { "hgtjyqxsz?", "hgtjyqxsz", "", 4, 90009 },
        { "wtcd?tc_mfuncno=500&tc_sfuncno=121&sign=~bsflag&position=poststr&unlist=|market|orderstatus|",
            "wtcd", "tc_mfuncno=500&tc_sfuncno=121&sign=~bsflag&position=poststr&unlist=|market|orderstatus|",
            4, 10002 },
        { "https://www.lumora-broker.test/help?from=client", "https://www.lumora-broker.test/help",
            "from=client", 4, 0 },
    };
    for (const Case& c : cases) {
        const QString link = QString::fromUtf8(c.link);
        EXPECT_EQ(getUrlFunctionString(link), QString::fromUtf8(c.function)) << c.link;
        EXPECT_EQ(getUrlParamString(link), QString::fromUtf8(c.params)) << c.link;
        EXPECT_EQ(RDOMenuInfo::getMenuLinkTypeWithLinkString(link), c.type) << c.link;
        EXPECT_EQ(RDOMenuInfo::getMenuLinkIdWithIdString(link), c.id) << c.link;
    }
}

TEST(MenuLink, EveryRowOfTheLinkIdTableAndItsNearMisses)
{
    struct Row {
        const char* link;
        qint32 type;
        qint32 id;
    };
    const Row table[] = {
        { "buysale?MMLB=0", 4, 10000 },
        { "buysale?MMLB=1", 4, 10001 },
        { "kcbbuysale?MMLB=3m", 4, 10007 },
        { "kcbbuysale?MMLB=3n", 4, 10008 },
        { "wtcd?tc_mfuncno=500&tc_sfuncno=121&sign=~bsflag&position=poststr&unlist=|market|orderstatus|", 4, 10002 },
        { "tradequery?tc_mfuncno=500&tc_sfuncno=2", 0, 10003 },
        { "tradequery?tc_mfuncno=500&tc_sfuncno=3&sign=proincome&position=poststr&unlist=|market|hq_market|", 0, 10004 },
        { "tradequery?tc_mfuncno=500&tc_sfuncno=8&sign=~bsflag&position=poststr&unlist=|market|", 0, 10005 },
        { "tradequery?tc_mfuncno=500&tc_sfuncno=9&sign=~bsflag&position=poststr", 0, 10006 },
        { "trademenu", 4, 1 },
        { "hisquery?tc_mfuncno=500&tc_sfuncno=125&position=poststr", 1, 20001 },
        { "hisquery?tc_mfuncno=500&tc_sfuncno=10&position=poststr", 1, 20002 },
        { "hisquery?tc_mfuncno=500&tc_sfuncno=54&position=poststr", 1, 20003 },
        { "hisquery?tc_mfuncno=500&tc_sfuncno=126&position=poststr", 1, 20004 },
        { "hisquery?tc_mfuncno=500&tc_sfuncno=23&unlist=|market|", 1, 20005 },
        { "hisquery?tc_mfuncno=500&tc_sfuncno=25&position=poststr", 1, 20006 },
        { "tradequery?tc_mfuncno=500&tc_sfuncno=100&unlist=|market|~secuidtype|", 0, 20007 },
        { "of_jjrg?tc_mfuncno=500&tc_sfuncno=34", 4, 30001 },
        { "of_jjsg?tc_mfuncno=500&tc_sfuncno=35", 4, 30002 },
        { "of_jjsh?tc_mfuncno=500&tc_sfuncno=36", 4, 30003 },
        { "of_wtcd?tc_mfuncno=500&tc_sfuncno=55&unlist=|orderdate|", 4, 30004 },
        { "of_jjzh?tc_mfuncno=500&tc_sfuncno=38", 4, 30005 },
        { "of_fhsz?tc_mfuncno=500&tc_sfuncno=39", 4, 30006 },
        { "jjdt?", 4, 30007 },
        { "jjdtcd?tc_mfuncno=500&tc_sfuncno=60&unlist=|~overkind|overkind|actionmode|", 4, 30008 },
        { "of_fecx?tc_mfuncno=500&tc_sfuncno=41", 4, 30009 },
        { "of_jycx?tc_mfuncno=500&tc_sfuncno=45", 4, 30010 },
        { "hisquery?tc_mfuncno=500&tc_sfuncno=40", 1, 30011 },
        { "hisquery?tc_mfuncno=500&tc_sfuncno=42", 1, 30012 },
        { "ofhqquery?tc_mfuncno=500&tc_sfuncno=50&unlist=|~shareclass|ofstatus|tacode|ecflag|", 4, 30013 },
        { "ofacc_query?tc_mfuncno=500&tc_sfuncno=43&unlist=|tacode|", 4, 30014 },
        { "banktransfer", 4, 40001 },
        { "stocktransfer", 4, 40002 },
        { "banktranquery?tc_mfuncno=500&tc_sfuncno=22", 4, 40003 },
        { "bankbalance?tc_mfuncno=500&tc_sfuncno=67", 4, 40004 },
        { "mlt_intransfer?tc_mfuncno=500&tc_sfuncno=114", 4, 40005 },
        { "mlt_alltransfer?tc_mfuncno=500&tc_sfuncno=115", 4, 40006 },
        { "fundhisquery?tc_mfuncno=500&tc_sfuncno=118", 4, 40007 },
        { "jjfxcp?tc_mfuncno=500&tc_sfuncno=160", 4, 50001 },
        { "query_of_fhsz?tc_mfuncno=500&tc_sfuncno=162", 4, 50002 },
        { "xgmm?tc_mfuncno=500&tc_sfuncno=12", 4, 60000 },
        { "tradeexit", 4, 60004 },
        { "xgsg?tc_mfuncno=500&tc_sfuncno=6", 4, 70000 },
        { "zccx?tc_mfuncno=500&tc_sfuncno=2", 4, 10003 },
        { "qzxq?", 4, 80000 },
        { "qxsz?", 4, 60001 },
        { "ylxxxg?", 4, 60002 },
        { "sdzdspsj?", 4, 60003 },
        { "hgtmr?", 4, 90000 },
        { "hgtzsmc?", 4, 90001 },
        { "hgtlgmc?", 4, 90002 },
        { "hgtcd?", 4, 90003 },
        { "hgtbdcx?", 4, 90004 },
        { "hgttpsb?", 4, 90005 },
        { "hgtqtxwsb?", 4, 90006 },
        { "hgtgsxwsbcx?", 4, 90007 },
        { "hgttzxxcx?", 4, 90008 },
        { "hgtjyqxsz?", 4, 90009 },
    };
    ASSERT_EQ(std::size(table), 58u);
    for (const Row& row : table) {
        const QString link = QString::fromUtf8(row.link);
        EXPECT_EQ(RDOMenuInfo::getMenuLinkIdWithIdString(link), row.id) << row.link;
        EXPECT_EQ(RDOMenuInfo::getMenuLinkTypeWithLinkString(link), row.type) << row.link;
        // A node made from a reply row carries both.
        const RDOMenuInfo::Ptr node = RDOMenuInfo::fromFields("1", "-1", "n", link, QString());
        EXPECT_EQ(node->menuLinkId, row.id) << row.link;
        EXPECT_EQ(node->menuLinkType, row.type) << row.link;
        // The whole text decides, exactly: any other case, a character more or
        // one fewer is not in the table.
        for (const QString& near : { link.toUpper(), link + u'&', link.chopped(1), QStringLiteral(" ") + link }) {
            if (near != link)
                EXPECT_EQ(RDOMenuInfo::getMenuLinkIdWithIdString(near), 0) << near.toStdString();
        }
    }
}
