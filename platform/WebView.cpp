#include "platform/WebView.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QTimer>

namespace platform {

namespace {

WebPageLoader*& sharedSlot()
{
    static WebPageLoader* loader = nullptr;
    return loader;
}

// One fetch; it goes when its reply has finished or its token is dropped.
class Fetch : public QObject {
public:
    Fetch(QNetworkReply* reply, WebPageLoader::Completion done, std::chrono::milliseconds timeout)
        : reply_(reply)
        , done_(std::move(done))
    {
        reply_->setParent(this);
        connect(reply_, &QNetworkReply::metaDataChanged, this, [this] { checkHeaders(); });
        connect(reply_, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64) {
            if (received > NetworkWebPageLoader::kMaxBytes)
                fail(QStringLiteral("页面过大"));
        });
        connect(reply_, &QNetworkReply::redirected, this, [this](const QUrl& to) {
            if (!WebPageLoader::isWebUrl(to))
                fail(QStringLiteral("页面地址无效"));
        });
        connect(reply_, &QNetworkReply::finished, this, [this] { finished(); });
        timer_.setSingleShot(true);
        connect(&timer_, &QTimer::timeout, this, [this] { fail(QStringLiteral("页面加载超时")); });
        timer_.start(timeout);
    }
    // The caller has gone: nothing is delivered any more, even when the
    // reply finishes before the fetch is deleted.
    void cancel()
    {
        done_ = nullptr;
        timer_.stop();
    }
    ~Fetch() override
    {
        done_ = nullptr;
        if (reply_) {
            QObject::disconnect(reply_, nullptr, this, nullptr);
            reply_->abort();
        }
    }

private:
    void checkHeaders()
    {
        const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > NetworkWebPageLoader::kMaxBytes)
            fail(QStringLiteral("页面过大"));
    }
    void fail(const QString& message)
    {
        WebPage page;
        page.url = reply_ ? reply_->url() : QUrl();
        page.error = message;
        deliver(page);
        if (reply_)
            reply_->abort();
    }
    void finished()
    {
        if (!done_)
            return;
        WebPage page;
        page.url = reply_->url();
        if (reply_->error() != QNetworkReply::NoError) {
            page.error = reply_->errorString();
        } else {
            const QByteArray bytes = reply_->read(NetworkWebPageLoader::kMaxBytes + 1);
            if (bytes.size() > NetworkWebPageLoader::kMaxBytes)
                page.error = QStringLiteral("页面过大");
            else
                page.html = NetworkWebPageLoader::decode(
                    bytes, reply_->header(QNetworkRequest::ContentTypeHeader).toByteArray());
        }
        deliver(page);
    }
    void deliver(const WebPage& page)
    {
        timer_.stop();
        if (auto done = std::move(done_)) {
            done_ = nullptr;
            done(page);
        }
    }

    QPointer<QNetworkReply> reply_;
    WebPageLoader::Completion done_;
    QTimer timer_;
};

} // namespace

bool WebPageLoader::isWebUrl(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == u"http" || scheme == u"https");
}

WebPageLoader* WebPageLoader::shared()
{
    if (!sharedSlot()) {
        static NetworkWebPageLoader loader;
        sharedSlot() = &loader;
    }
    return sharedSlot();
}

void WebPageLoader::setShared(WebPageLoader* loader)
{
    sharedSlot() = loader;
}

NetworkWebPageLoader::NetworkWebPageLoader(std::chrono::milliseconds timeout)
    : network_(std::make_unique<QNetworkAccessManager>())
    , timeout_(timeout)
{
    network_->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

NetworkWebPageLoader::~NetworkWebPageLoader() = default;

std::shared_ptr<void> NetworkWebPageLoader::load(const QUrl& url, Completion done)
{
    if (!isWebUrl(url)) {
        auto token = std::make_shared<int>(0);
        std::weak_ptr<int> alive = token;
        QTimer::singleShot(0, [alive, url, done = std::move(done)] {
            if (alive.expired() || !done)
                return;
            WebPage page;
            page.url = url;
            page.error = QStringLiteral("页面地址无效");
            done(page);
        });
        return token;
    }
    QNetworkRequest request(url);
    request.setMaximumRedirectsAllowed(5);
    request.setTransferTimeout(int(timeout_.count()));
    auto* fetch = new Fetch(network_->get(request), std::move(done), timeout_);
    // Dropping the token ends the fetch; so does its end.
    auto holder = std::make_shared<QPointer<Fetch>>(fetch);
    QObject::connect(fetch->findChild<QNetworkReply*>(), &QNetworkReply::finished, fetch, &QObject::deleteLater);
    return std::shared_ptr<void>(holder.get(), [holder](void*) {
        if (Fetch* f = holder->data()) {
            f->cancel();
            f->deleteLater();
        }
    });
}

QString NetworkWebPageLoader::decode(const QByteArray& bytes, const QByteArray& contentType)
{
    const qsizetype at = contentType.toLower().indexOf("charset=");
    if (at >= 0) {
        QByteArray name = contentType.mid(at + 8).trimmed();
        if (const qsizetype end = name.indexOf(';'); end >= 0)
            name.truncate(end);
        name.replace('"', QByteArray());
        QStringDecoder decoder(name.constData());
        if (decoder.isValid())
            return decoder.decode(bytes);
    }
    QStringDecoder fromHtml = QStringDecoder::decoderForHtml(bytes);
    if (fromHtml.isValid())
        return fromHtml.decode(bytes);
    return QString::fromUtf8(bytes);
}

} // namespace platform
