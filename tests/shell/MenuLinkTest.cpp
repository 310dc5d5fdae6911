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
        { "\tTC_MFUNCNO\t=500&b=2", { "tc_mfuncno" }, answer({ { "tc_mfuncno", "500" }, { "otherUrl", "b=2" } }) },
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
        { "wtcd?tc_mfuncno=500&tc_sfuncno=121&sign=~bsflag&position=poststr&unlist=|market|orderstatus|", "wtcd",
            "tc_mfuncno=500&tc_sfuncno=121&sign=~bsflag&position=poststr&unlist=|market|orderstatus|", 4, 10002 },
        { "https://www.lumora-broker.test/help?from=client", "https://www.lumora-broker.test/help", "from=client", 4,
            0 },
    };
    for (const Case& c : cases) {
        const QString link = QString::fromUtf8(c.link);
        EXPECT_EQ(getUrlFunctionString(link), QString::fromUtf8(c.function)) << c.link;
        EXPECT_EQ(getUrlParamString(link), QString::fromUtf8(c.params)) << c.link;
        EXPECT_EQ(RDOMenuInfo::getMenuLinkTypeWithLinkString(link), c.type) << c.link;
        EXPECT_EQ(RDOMenuInfo::getMenuLinkIdWithIdString(link), c.id) << c.link;
    }
}
