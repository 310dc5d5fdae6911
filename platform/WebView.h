#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace platform {

// A web page as the client shows it: fetched once, its text only, shown by a
// text view that runs no scripts and loads nothing else (no pictures, no
// frames, no style sheets). Links open in the default browser.
struct WebPage {
    QUrl url; // where it came from, after redirects
    QString html; // the page's text, decoded
    std::optional<QString> error; // set when there is no page
};

// Where web pages come from; tests give a fake.
class WebPageLoader {
public:
    using Completion = std::function<void(const WebPage&)>;
    virtual ~WebPageLoader() = default;
    // Fetches the page; `done` runs once, later on this thread, unless the
    // returned token is dropped first.
    virtual std::shared_ptr<void> load(const QUrl& url, Completion done) = 0;

    // Only http and https pages and links are ever opened.
    static bool isWebUrl(const QUrl& url);
    // The loader the views use when none is given.
    static WebPageLoader* shared();
    static void setShared(WebPageLoader* loader);
};

// Fetches over the network: GET, http and https only (redirects included),
// certificates verified, at most kMaxBytes, given up after the time-out.
class NetworkWebPageLoader final : public WebPageLoader {
public:
    static constexpr qint64 kMaxBytes = 2 * 1024 * 1024;

    explicit NetworkWebPageLoader(std::chrono::milliseconds timeout = std::chrono::seconds(15));
    ~NetworkWebPageLoader() override;
    std::shared_ptr<void> load(const QUrl& url, Completion done) override;

    // The text of a page's bytes: the charset the server named, else the
    // page's own meta tag, else UTF-8.
    static QString decode(const QByteArray& bytes, const QByteArray& contentType);

private:
    std::unique_ptr<QNetworkAccessManager> network_;
    std::chrono::milliseconds timeout_;
};

} // namespace platform
