#include "support/EchoContextDelegate.h"
#include "comm/transport/TCHttpForm.h"
#include "comm/transport/VEKHTTPConnectionContext.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

using EchoDelegate = testsupport::EchoContextDelegate;

QByteArray reply(qint64 packetId, const QByteArray& body, qint64 status = 0)
{
    return VEKHTTPConnectionContext::replyBytes({ status, packetId, false, false }, body);
}

std::vector<VEKResponse> readAll(const QByteArray& stream, qsizetype chunk)
{
    return testsupport::readAllResponses<VEKHTTPConnectionContext>(stream, chunk);
}

using testsupport::packetIds;

TCHttpForm::Fields sessionRequest(qint64 packetId)
{
    TCHttpForm::Fields f;
    f.mainFunction = 1001;
    f.subFunction = 2;
    f.packetId = packetId;
    f.service = 300;
    f.encoding = 1;
    f.body = "utid=0123456789ABCDEF&soft_name=lumora&soft_version=1.0.0.12";
    return f;
}

} // namespace

TEST(HttpForm, WritesTheFormTextAndEscapesValues)
{
    TCHttpForm::Fields f = sessionRequest(1);
    EXPECT_EQ(TCHttpForm::formText(f),
        "TC_MFUNCNO=1001&TC_SFUNCNO=2&tc_packageid=1&tc_service=300&tc_isunicode=1&TC_ENCRYPT=0&"
        "utid=0123456789ABCDEF&soft_name=lumora&soft_version=1.0.0.12&supportCompress=0");

    // A stored session travels in every form, compression is offered when asked.
    f.session = "0a1b";
    f.supportCompress = true;
    EXPECT_EQ(TCHttpForm::formText(f),
        "TC_MFUNCNO=1001&TC_SFUNCNO=2&tc_packageid=1&tc_service=300&tc_isunicode=1&TC_ENCRYPT=0&TC_SESSION={"
        "0a1b}&"
        "utid=0123456789ABCDEF&soft_name=lumora&soft_version=1.0.0.12&supportCompress=18");

    // "=", "+", spaces and Chinese inside a value cannot add or change a field.
    f.session.clear();
    f.body = QString::fromUtf8("stock_name=中 A&note=a=b+c&TC_ENCRYPT&x=1~-._");
    const QByteArray form = TCHttpForm::formText(f);
    EXPECT_TRUE(
        form.endsWith("&stock_name=%E4%B8%AD%20A&note=a%3Db%2Bc&TC_ENCRYPT&x=1~-._&supportCompress=18"));
    const auto pairs = TCHttpForm::decode(form);
    ASSERT_TRUE(pairs);
    ASSERT_EQ(pairs->size(), 11);
    EXPECT_EQ((*pairs)[0], (std::pair<QString, QString>("TC_MFUNCNO", "1001")));
    EXPECT_EQ((*pairs)[6].second, QString::fromUtf8("中 A"));
    EXPECT_EQ((*pairs)[7].second, "a=b+c");
    EXPECT_EQ((*pairs)[8], (std::pair<QString, QString>("TC_ENCRYPT", "")));
    EXPECT_EQ(TCHttpForm::value(*pairs, u"TC_ENCRYPT"), "0"); // the first one counts
    EXPECT_EQ(TCHttpForm::value(*pairs, u"supportCompress"), "18");
    EXPECT_FALSE(TCHttpForm::value(*pairs, u"missing"));

    // The enciphered form: Base64 "+", "/" and "=" are escaped too.
    f.encrypt = true;
    f.session = "ff";
    EXPECT_EQ(TCHttpForm::encipheredFormText(f, 12, "ab+c/d=="),
        "TC_MFUNCNO=1001&TC_SFUNCNO=2&tc_packageid=1&tc_service=300&tc_isunicode=1&TC_ENCRYPT=36&TC_SESSION={"
        "ff}"
        "&TC_REQLENGTH=12&TC_REQDATA=ab%2Bc/d%3D%3D");
    f.body = "a=1";
    EXPECT_EQ(TCHttpForm::plainTextToEncipher(f), "a=1&supportCompress=18");
    const auto enciphered = TCHttpForm::decode(TCHttpForm::encipheredFormText(f, 3, "ab+c/d=="));
    EXPECT_EQ(TCHttpForm::value(*enciphered, u"TC_REQDATA"), "ab+c/d==");

    // The decoder refuses what it cannot read, keeps "+" and skips empty pairs.
    EXPECT_FALSE(TCHttpForm::decode("a=%G1"));
    EXPECT_FALSE(TCHttpForm::decode("a=%4"));
    EXPECT_FALSE(TCHttpForm::decode("a=%FF"));
    const auto loose = TCHttpForm::decode("&&a=1+2&&b&=z&");
    ASSERT_TRUE(loose);
    ASSERT_EQ(loose->size(), 3);
    EXPECT_EQ((*loose)[0].second, "1+2");
    EXPECT_EQ((*loose)[1], (std::pair<QString, QString>("b", "")));
    EXPECT_EQ((*loose)[2], (std::pair<QString, QString>("", "z")));
    EXPECT_EQ(TCHttpForm::decode("")->size(), 0);
}

TEST(HttpFraming, WritesTheRequestHeadAndNeutralisesSuppliedLengths)
{
    VEKHTTPConnectionContext context;
    const QByteArray form = TCHttpForm::formText(sessionRequest(1));
    EXPECT_EQ(context.construcData(form),
        "POST / HTTP/1.1\r\nUser-Agent:VEK ios Client\r\nContent-Language:en-US\r\n"
        "Content-Type:application/x-www-form-urlencoded\r\nContent-Length:165\r\n\r\n"
            + form);
    EXPECT_EQ(form.size(), 165);

    context.setHttpHeader("POST /q HTTP/1.1\r\ncontent-LENGTH: 99\r\nX-Content-Length: 7\r\nHost: h");
    EXPECT_EQ(context.construcData("hello"),
        "POST /q HTTP/1.1\r\nabcdefgaaaaaaa: 99\r\nX-abcdefgaaaaaaa: 7\r\nHost: "
        "h\r\nContent-Length:5\r\n\r\nhello");
    EXPECT_EQ(
        context.httpHeader(), "POST /q HTTP/1.1\r\ncontent-LENGTH: 99\r\nX-Content-Length: 7\r\nHost: h");

    // The server reads what the client wrote, split anywhere, with heartbeat bytes between.
    context.setHttpHeader(VEKHTTPConnectionContext().httpHeader());
    const QByteArray request = context.construcData(form);
    const QByteArray stream = request + QByteArray(1, '\0') + request;
    for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
        VEKHTTPRequestReader reader;
        std::vector<HTTPRequest> got;
        reader.append(stream.left(cut));
        while (auto r = reader.next())
            got.push_back(*r);
        reader.append(stream.mid(cut));
        while (auto r = reader.next())
            got.push_back(*r);
        ASSERT_EQ(got.size(), 2u) << "cut at " << cut;
        EXPECT_EQ(got[1].requestLine, "POST / HTTP/1.1");
        EXPECT_EQ(got[1].header("content-type"), QByteArray("application/x-www-form-urlencoded"));
        EXPECT_EQ(got[1].body, form);
        EXPECT_FALSE(reader.failed());
    }
    VEKHTTPRequestReader badLength;
    badLength.append("POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n");
    EXPECT_FALSE(badLength.next());
    EXPECT_TRUE(badLength.failed());
    VEKHTTPRequestReader endless;
    endless.append("POST / HTTP/1.1\r\n" + QByteArray(VEKHTTPConnectionContext::kMaxHeadLength, 'h'));
    EXPECT_FALSE(endless.next());
    EXPECT_TRUE(endless.failed());
    EXPECT_EQ(endless.bufferedLength(), 0);
}

TEST(HttpFraming, ParsesEtagAndContentLengthLines)
{
    auto etag
        = [](const char* line) { return VEKHTTPConnectionContext::parseEtag(QString::fromLatin1(line)); };
    EXPECT_EQ(etag("etag: 0,5,0,0,0,0"), (VEKPacketFlag { 0, 5, false, false }));
    EXPECT_EQ(etag("ETag:100,12,18,36,0,0,9"), (VEKPacketFlag { 100, 12, true, true }));
    EXPECT_EQ(etag("x-etag-y: 3 ,x7, 18 ,36z,,"), (VEKPacketFlag { 3, 0, true, true }));
    EXPECT_FALSE(etag("etag: 0,5,0,0,0"));
    EXPECT_FALSE(etag("etag: 0:5,0,0,0,0,0"));
    EXPECT_FALSE(etag("etag 0,5,0,0,0,0"));
    EXPECT_EQ(etag("etag: 99999999999999999999,-2,0,0,0,0")->status, std::numeric_limits<qint64>::max());

    auto length = [](const char* line) {
        return VEKHTTPConnectionContext::parseContentLength(QString::fromLatin1(line));
    };
    EXPECT_EQ(length("Content-Length:128"), 128);
    EXPECT_EQ(length("content-length: \t 0 \r"), 0);
    EXPECT_EQ(length("Content-Length: 16777216"), 16777216);
    EXPECT_FALSE(length("Content-Length: 16777217"));
    EXPECT_FALSE(length("Content-Length: -1"));
    EXPECT_FALSE(length("Content-Length: 12abc"));
    EXPECT_FALSE(length("Content-Length: "));
    EXPECT_FALSE(length("Content-Length: 1:2"));
    EXPECT_FALSE(length("Content-Length: 99999999999999999999999"));
}

TEST(HttpReader, ReassemblesRepliesAndSkipsBadOnesWithoutStalling)
{
    const QByteArray stream = reply(5, QByteArray(128, 'r')) + reply(6, "second", 100);
    const qsizetype end5 = reply(5, QByteArray(128, 'r')).size();
    const qsizetype head5 = stream.indexOf("\r\n\r\n") + 4;
    const qsizetype head6 = stream.indexOf("\r\n\r\n", end5) + 4;
    for (qsizetype cut = 1; cut < stream.size(); ++cut) {
        EchoDelegate delegate;
        VEKHTTPConnectionContext context(&delegate);
        std::vector<VEKResponse> got;
        context.receiveData(stream.left(cut));
        while (auto r = context.readPacketAvailable())
            got.push_back(*r);
        // The reply still coming in names its packet once its head is read.
        const std::optional<quint64> named = cut >= head6 ? std::optional<quint64>(6)
            : cut >= head5 && cut < end5                  ? std::optional<quint64>(5)
                                                          : std::nullopt;
        EXPECT_EQ(context.incompletePacketId(), named) << "cut at " << cut;
        // It has begun once its "HTTP/" is in; a part of that is no reply yet.
        EXPECT_EQ(context.frameBegun(), (cut >= 5 && cut < end5) || cut >= end5 + 5) << "cut at " << cut;
        context.receiveData(stream.mid(cut));
        while (auto r = context.readPacketAvailable())
            got.push_back(*r);
        ASSERT_EQ(got.size(), 2u) << "cut at " << cut;
        EXPECT_EQ(got[0].data(), QByteArray(128, 'r'));
        EXPECT_EQ(got[1].packetid(), 6u);
        EXPECT_EQ(got[1].status(), 100u);
        EXPECT_EQ(context.bufferedLength(), 0);
    }
    EXPECT_EQ(packetIds(readAll(stream, 1)), (std::vector<qint64> { 5, 6 }));
    EXPECT_EQ(packetIds(readAll(stream, stream.size())), (std::vector<qint64> { 5, 6 }));

    const QByteArray good = reply(42, "ok");
    struct Case {
        const char* name;
        QByteArray before;
        std::vector<qint64> want;
    };
    const std::vector<Case> cases = {
        { "garbage", "garbage\r\n\r\nHTT", { 42, 42 } },
        { "no length", "HTTP/1.1 200 OK\r\netag: 0,1,0,0,0,0\r\n\r\n", { 42, 42 } },
        { "negative length", "HTTP/1.1 200 OK\r\netag: 0,1,0,0,0,0\r\nContent-Length: -4\r\n\r\n",
            { 42, 42 } },
        { "length over cap", "HTTP/1.1 200 OK\r\netag: 0,1,0,0,0,0\r\nContent-Length: 16777217\r\n\r\n",
            { 42, 42 } },
        { "empty body", reply(9, ""), { 42, 42 } },
        { "no etag", "http/1.0 200\r\nContent-Length: 1\r\n\r\nz", { 0, 42, 42 } },
        { "endless head", "HTTP/1.1 200 OK\r\n" + QByteArray(VEKHTTPConnectionContext::kMaxHeadLength, 'h'),
            { 42, 42 } },
    };
    for (const Case& c : cases) {
        const QByteArray all = c.before + good + good;
        for (qsizetype chunk : { qsizetype(1), qsizetype(4096), all.size() }) {
            if (chunk == 1 && all.size() > 10000)
                chunk = 3;
            EXPECT_EQ(packetIds(readAll(all, chunk)), c.want) << c.name << ", chunk " << chunk;
        }
    }

    // A head without a usable etag names packet 0, which no request has.
    {
        VEKHTTPConnectionContext context;
        context.receiveData("http/1.0 200\r\nContent-Length: 5\r\n\r\nzz");
        EXPECT_FALSE(context.readPacketAvailable());
        EXPECT_EQ(context.incompletePacketId(), std::optional<quint64>(0));
    }
    // A first read shorter than the status mark is kept, not lost.
    {
        EchoDelegate delegate;
        VEKHTTPConnectionContext context(&delegate);
        context.receiveData("xxHT");
        EXPECT_FALSE(context.readPacketAvailable());
        EXPECT_EQ(context.bufferedLength(), 2);
        context.receiveData(good.mid(2));
        const auto r = context.readPacketAvailable();
        ASSERT_TRUE(r);
        EXPECT_EQ(r->data(), "ok");
    }
    // Junk is not buffered; a waiting body reports how much of it is there.
    {
        VEKHTTPConnectionContext context;
        context.receiveData(QByteArray(1 << 20, 'j'));
        VEKContextError error;
        EXPECT_FALSE(context.checkResponse(&error, nullptr));
        EXPECT_EQ(error.code, 500);
        EXPECT_EQ(context.bufferedLength(), 0);
        context.receiveData(reply(1, "abcdef").chopped(2));
        EXPECT_FALSE(context.checkResponse(nullptr, nullptr));
        EXPECT_EQ(context.step(), 2);
        EXPECT_EQ(context.findBody(), 4u);
        context.resetData();
        EXPECT_EQ(context.step(), 0);
        EXPECT_EQ(context.bufferedLength(), 0);
    }
}
