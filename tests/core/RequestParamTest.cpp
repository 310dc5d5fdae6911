#include "core/RequestParam.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

QStringList fieldNames(const auto& record)
{
    QStringList names;
    requestparam::forEachField(
        record,
        [&](const char* name, const std::string&, std::size_t, bool) { names << QLatin1String(name); },
        [&](const char* name, auto) { names << QLatin1String(name); });
    return names;
}

tagRequestParam passwordRecord(const char* oldPassword, const char* newPassword)
{
    tagRequestParam param;
    tagTradePasswordParam& p = param.value.emplace<tagTradePasswordParam>();
    EXPECT_TRUE(requestparam::setParam(p, &tagTradePasswordParam::commonUrl, "fundid=1"));
    EXPECT_TRUE(requestparam::setParam(p, &tagTradePasswordParam::oldPassword, oldPassword));
    EXPECT_TRUE(requestparam::setParam(p, &tagTradePasswordParam::newPassword, newPassword));
    return param;
}

} // namespace

TEST(RequestParam, FieldsSizesAndOrder)
{
    // Buffer sizes as constants: the field holds one byte less.
    EXPECT_EQ(tagTradeLoginParam::utidSize, 256u);
    EXPECT_EQ(tagTradeLoginParam::netAddrSize, 512u);
    EXPECT_EQ(tagTradePasswordParam::oldPasswordSize, 32u);
    EXPECT_EQ(tagFundPasswordParam::newPasswordSize, 32u);
    EXPECT_EQ(tagOpdQueryAppropriateness::fundCodeSize, 1024u);

    EXPECT_EQ(fieldNames(tagTradeLoginParam {}),
        QStringList({ "utid", "operateWay", "inputType", "inputId", "orgId", "password", "identifyingCode",
            "guardCode", "netAddr" }));
    // The 16-bit count before the texts; the 8-bit flag next to the 64-bit order type.
    EXPECT_EQ(fieldNames(tagRiskAssessmentResultParam {}),
        QStringList({ "count", "commonUrl", "result", "surveySn" }));
    EXPECT_EQ(fieldNames(tagHGTQueryCombInfo {}),
        QStringList({ "commonUrl", "stockCode", "securityId", "price", "bsFlag", "orderType" }));
    static_assert(std::is_same_v<decltype(tagRiskAssessmentResultParam::count), qint16>);
    static_assert(std::is_same_v<decltype(tagHGTQueryCombInfo::bsFlag), qint8>);
    static_assert(std::is_same_v<decltype(tagHGTOrdersOfToday::count), quint64>);
    static_assert(std::is_same_v<decltype(tagHGTOtherVote::voteType), qint32>);
    static_assert(std::variant_size_v<tagRequestParam::Value> == 78); // none and 77 members

    // Which secrets are secrets: the passwords, and the common prefix, which
    // carries the trade password and the login ticket.
    QStringList secrets;
    const tagFundTransferParam transfer;
    requestparam::forEachField(
        transfer,
        [&](const char* name, const std::string&, std::size_t, bool secret) {
            if (secret)
                secrets << QLatin1String(name);
        },
        [](const char*, auto) {});
    EXPECT_EQ(secrets, QStringList({ "commonUrl", "fundPassword", "bankPassword" }));

    tagRequestParam param;
    EXPECT_TRUE(param.empty());
    EXPECT_STREQ(param.memberName(), "");
    EXPECT_EQ(param.tradeLogin(), nullptr);
    param.value.emplace<tagTradeLoginParam>();
    EXPECT_NE(param.tradeLogin(), nullptr);
    EXPECT_EQ(param.utid(), nullptr);
    EXPECT_STREQ(param.memberName(), "tradeLogin");
}

TEST(RequestParam, OverLongTextIsRefusedNeverCut)
{
    tagTradePasswordParam p;
    QString message;
    EXPECT_TRUE(requestparam::setParam(p, &tagTradePasswordParam::oldPassword, std::string(31, '1')));
    EXPECT_EQ(p.oldPassword.size(), 31u);
    EXPECT_FALSE(
        requestparam::setParam(p, &tagTradePasswordParam::oldPassword, std::string(32, '2'), &message));
    EXPECT_EQ(p.oldPassword, std::string(31, '1')); // unchanged
    // The customer reads it: it names no field of the record.
    EXPECT_EQ(message, QStringLiteral("输入的内容过长：最多31个字符"));
    // A zero byte would end the text early.
    EXPECT_FALSE(requestparam::setParam(p, &tagTradePasswordParam::newPassword,
        std::string_view("12\0"
                         "34",
            5),
        &message));
    EXPECT_EQ(message, QStringLiteral("输入的内容含有不能发送的字符"));
    // QString text goes in as UTF-8 and counts bytes.
    EXPECT_TRUE(requestparam::setParam(p, &tagTradePasswordParam::commonUrl, QStringLiteral("fundid=1")));
    EXPECT_EQ(p.commonUrl, "fundid=1");
    EXPECT_FALSE(requestparam::setParam(p, &tagTradePasswordParam::newPassword, QString(11, QChar(0x4E2D))));

    // validate() finds a field filled behind setParam's back.
    tagRequestParam param;
    param.value = p;
    EXPECT_FALSE(requestparam::validate(param));
    param.tradePassword()->newPassword = std::string(32, 'x');
    ASSERT_TRUE(requestparam::validate(param));
    EXPECT_EQ(*requestparam::validate(param), QStringLiteral("输入的内容过长：最多31个字符"));
    EXPECT_FALSE(requestparam::validate(tagRequestParam {}));

    // Percent-escaping leaves only letters, digits, "-._~" and escapes.
    EXPECT_EQ(requestparam::percentEscape(QStringLiteral("a&b=c 中")), "a%26b%3Dc%20%E4%B8%AD");
}

TEST(RequestParam, WipeLeavesNothingBehind)
{
    tagRequestParam param = passwordRecord("secret1", "secret2");
    tagTradePasswordParam* p = param.tradePassword();
    const char* buffer = p->oldPassword.data();
    requestparam::wipe(param);
    EXPECT_TRUE(p->oldPassword.empty());
    EXPECT_TRUE(p->newPassword.empty());
    EXPECT_TRUE(p->commonUrl.empty());
    // The old bytes are overwritten, not only forgotten.
    EXPECT_EQ(std::string(buffer, 7).find("secret"), std::string::npos);

    tagRequestParam withInts;
    tagPositionInfoParam& position = withInts.value.emplace<tagPositionInfoParam>();
    position.queryFlag = 9;
    position.market = "1";
    requestparam::wipe(withInts);
    EXPECT_EQ(withInts.positionInfo()->queryFlag, 0);
    EXPECT_TRUE(withInts.positionInfo()->market.empty());
}

TEST(RequestParam, HandlesCoverEveryFieldUnambiguouslyAndHideSecrets)
{
    // Two plain texts (the message-centre detail's "pt" and "pd").
    auto commonQuery = [](const char* pt, const char* pd) {
        tagRequestParam param;
        tagMessageCenterDetailParam& p = param.value.emplace<tagMessageCenterDetailParam>();
        p.pt = pt;
        p.pd = pd;
        return param;
    };
    // Moving text from one field to the next gives another handle.
    EXPECT_NE(requestparam::handleText({}, commonQuery("ab", "c")),
        requestparam::handleText({}, commonQuery("a", "bc")));
    EXPECT_EQ(requestparam::handleText({}, commonQuery("ab", "c")),
        requestparam::handleText({}, commonQuery("ab", "c")));
    EXPECT_EQ(requestparam::handleText({}, commonQuery("ab", "c")),
        QStringLiteral("ab\x1f"
                       "c"));
    EXPECT_EQ(requestparam::handleText(QStringLiteral("fixed"), commonQuery("a", "")),
        QStringLiteral("fixed\x1f"
                       "a\x1f"));
    // The separator and the escape character inside a value are escaped.
    EXPECT_NE(requestparam::handleText({},
                  commonQuery("a\x1f"
                              "b",
                      "c")),
        requestparam::handleText({},
            commonQuery("a",
                "b\x1f"
                "c")));
    EXPECT_EQ(requestparam::handleText({}, commonQuery("a\x1f%", "")), QStringLiteral("a%1F%25\x1f"));

    // Passwords are digests: equal passwords equal handles, never the text.
    const QString h1 = requestparam::handleText({}, passwordRecord("pw123456", "pw654321"));
    const QString h2 = requestparam::handleText({}, passwordRecord("pw123456", "pw654321"));
    const QString h3 = requestparam::handleText({}, passwordRecord("pw123457", "pw654321"));
    EXPECT_EQ(h1, h2);
    EXPECT_NE(h1, h3);
    EXPECT_FALSE(h1.contains(QStringLiteral("pw123456")));
    EXPECT_FALSE(h1.contains(QStringLiteral("pw654321")));
    EXPECT_FALSE(h1.contains(QStringLiteral("fundid=1")));
    EXPECT_TRUE(h1.startsWith(QLatin1Char('#')));
    EXPECT_EQ(h1.count(QLatin1Char('#')), 3); // prefix and both passwords

    // Integers in decimal, whatever their width.
    tagRequestParam comb;
    tagHGTQueryCombInfo& c = comb.value.emplace<tagHGTQueryCombInfo>();
    c.bsFlag = -1;
    c.orderType = 300;
    EXPECT_TRUE(requestparam::handleText({}, comb).endsWith(QStringLiteral("\x1f-1\x1f"
                                                                           "300")));
}
