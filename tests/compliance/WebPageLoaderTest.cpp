#include "platform/WebView.h"
#include "support/Spin.h"

#include <QStringEncoder>
#include <QTcpServer>
#include <QTcpSocket>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// Answers every request with one fixed response (or never, when empty).
class TinyHttpServer : public QTcpServer {
public:
    QByteArray response;
    TinyHttpServer() { listen(QHostAddress::LocalHost); }
    QUrl url(const char* path = "/page") const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(QLatin1String(path)));
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto* socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            socket->readAll();
            if (!response.isEmpty()) {
                socket->write(response);
                socket->disconnectFromHost();
            }
        });
    }
};

platform::WebPage fetch(platform::WebPageLoader& loader, const QUrl& url)
{
    std::optional<platform::WebPage> page;
    auto token = loader.load(url, [&](const platform::WebPage& p) { page = p; });
    EXPECT_TRUE(testsupport::spinUntil([&] { return page.has_value(); }, 5s));
    return page.value_or(platform::WebPage {});
}

TEST(WebPageLoaderTest, FetchesDecodesAndRefusesWhatItMustNotShow)
{
    TinyHttpServer server;
    platform::NetworkWebPageLoader loader(300ms);

    QStringEncoder gbk("GB18030");
    const QByteArray body = gbk.encode(QStringLiteral("<p>风险揭示书</p>"));
    server.response = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=GBK\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    platform::WebPage page = fetch(loader, server.url());
    EXPECT_FALSE(page.error);
    EXPECT_EQ(page.html, QStringLiteral("<p>风险揭示书</p>"));

    server.response = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 99999999\r\n\r\n<p>";
    EXPECT_EQ(fetch(loader, server.url()).error, QStringLiteral("页面过大"));

    server.response = "HTTP/1.1 302 Found\r\nLocation: file:///etc/passwd\r\nContent-Length: 0\r\n\r\n";
    EXPECT_TRUE(fetch(loader, server.url()).error);

    server.response.clear(); // never answers
    EXPECT_EQ(fetch(loader, server.url()).error, QStringLiteral("页面加载超时"));

    for (const char* bad : { "file:///etc/passwd", "javascript:alert(1)", "ftp://127.0.0.1/x" })
        EXPECT_EQ(fetch(loader, QUrl(QString::fromLatin1(bad))).error, QStringLiteral("页面地址无效")) << bad;

    // A page whose token is dropped never calls back.
    bool called = false;
    server.response = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
    loader.load(server.url(), [&](const platform::WebPage&) { called = true; }).reset();
    testsupport::spinFor(100ms);
    EXPECT_FALSE(called);

    EXPECT_EQ(platform::NetworkWebPageLoader::decode("<meta charset=\"gbk\">\xb7\xe7", QByteArray()),
        QStringLiteral("<meta charset=\"gbk\">风"));
}

} // namespace
