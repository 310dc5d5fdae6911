#include "ShellTestRig.h"

using namespace shelltest;

namespace {

template <class Class> struct Filled {
    tagRequestParam param;
    Class request;
    explicit Filled(std::initializer_list<std::string> fields)
    {
        request.mallocParam(&param);
        auto it = fields.begin();
        requestparam::forEachActiveField(
            param, [&](const char*, std::string& value, std::size_t, bool) { value = *it++; },
            [](const char*, auto&) {});
    }
    QString body() const
    {
        return Class::makePacket(*param.template get<typename Class::ParamType>())->data();
    }
    QString handle() const { return request.getRequestHandle(param); }
};

struct Refusal : IQueryMenuInfoDelegate {
    std::optional<CSError> error;
    void queryMenuInfo(DataModel*, const QString&, const std::shared_ptr<RDOMenuManager>&) override { }
    bool queryMenuInfo(DataModel*, const QString&, const CSError& e) override
    {
        error = e;
        return true;
    }
};

class ShellRequestTest : public ShellHomeFixture { };

} // namespace

TEST_F(ShellRequestTest, BodiesAndHandlesThatDoNotRunTogether)
{
    // Fields in record order: utid, cont_id, hwid, soft_version.
    EXPECT_EQ((Filled<DMQueryMenuInfo>({ "UT", "C1", "SN:x|SV:y", "1.0" }).body()),
        QStringLiteral("utid=UT&hwid=SN:x|SV:y&cont_id=C1&soft_version=1.0"));
    // update key, then organisation code; pt, then pd.
    EXPECT_EQ(
        (Filled<DMMessageCenterList>({ "0|0", "0101" }).body()), QStringLiteral("updatekey=0|0&orgid=0101"));
    EXPECT_EQ(
        (Filled<DMMessageCenterDetail>({ "7", "20240601" }).body()), QStringLiteral("pd=20240601&pt=7"));

    // Joined without a separator these pairs would be one handle each.
    EXPECT_NE((Filled<DMMessageCenterList>({ "1|0", "2" }).handle()),
        (Filled<DMMessageCenterList>({ "1|", "02" }).handle()));
    EXPECT_NE((Filled<DMMessageCenterDetail>({ "c", "ab" }).handle()),
        (Filled<DMMessageCenterDetail>({ "bc", "a" }).handle()));
    EXPECT_NE((Filled<DMQueryMenuInfo>({ "U", "1", "", "" }).handle()),
        (Filled<DMQueryMenuInfo>({ "U1", "", "", "" }).handle()));
    EXPECT_EQ((Filled<DMMessageCenterList>({ "1|0", "2" }).handle()),
        (Filled<DMMessageCenterList>({ "1|0", "2" }).handle()));
    // A field that would rewrite the body is refused.
    EXPECT_FALSE(
        (DMMessageCenterDetail::makePacket(
             *Filled<DMMessageCenterDetail>({ "1&pd=x", "a" }).param.get<tagMessageCenterDetailParam>()))
            .has_value());
}

TEST_F(ShellRequestTest, OverlongMenuFieldIsRefusedNotCut)
{
    UserDefaultConfig::getInstance()->setUserUtid(QString(300, u'A'));
    MenuManager manager;
    Refusal observer;
    EXPECT_FALSE(manager.requestMenuInfo(&observer).isEmpty());
    ASSERT_TRUE(testsupport::spinUntil([&] { return observer.error.has_value(); }));
    EXPECT_EQ(observer.error->code, DataModel::kRefusedRequestCode);
}
