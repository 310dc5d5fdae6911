#include "core/IPMacAddressInfo.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>
#include <QtDebug>
#include <QtEndian>
#include <utility>

namespace {

std::unique_ptr<IPMacAddressInfo> shared;

QString macText(const QByteArray& bytes)
{
    QString text;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (i)
            text += QLatin1Char(':');
        text += QStringLiteral("%1").arg(static_cast<quint8>(bytes[i]), 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

} // namespace

// One HTTP GET of the public-address page, bounded in time and size.
struct IPMacAddressInfo::Lookup {
    QPointer<QNetworkReply> reply;
    QTimer timer;
    QByteArray body;
    Done done;
    bool over = false;

    // Stops everything without telling anybody.
    void end()
    {
        over = true;
        timer.stop();
        if (reply) {
            QObject::disconnect(reply, nullptr, nullptr, nullptr);
            reply->abort();
            reply->deleteLater();
        }
    }

    void finish(const std::optional<IPMacAddressError>& error)
    {
        if (over)
            return;
        end();
        if (done)
            done(error, body);
    }
};

PublicIPDelegate::~PublicIPDelegate()
{
    if (const std::shared_ptr<IPMacAddressInfo*> info = registeredWith_.lock())
        (*info)->forgetDelegate(this);
}

namespace {

QUrl& sharedWebServer()
{
    static QUrl base;
    return base;
}

} // namespace

IPMacAddressInfo* IPMacAddressInfo::sharedInstance()
{
    if (!shared) {
        shared.reset(new IPMacAddressInfo());
        // Registered first, so code that looks the instance up while the scan runs finds it.
        shared->scanInterfaces();
        shared->webServer_ = sharedWebServer();
        shared->initPublicIP();
    }
    return shared.get();
}

void IPMacAddressInfo::setSharedWebServer(const QUrl& base)
{
    sharedWebServer() = base;
    if (shared)
        shared->setWebServer(base);
}

bool IPMacAddressInfo::hasSharedInstance()
{
    return shared != nullptr;
}

void IPMacAddressInfo::resetSharedInstance()
{
    sharedWebServer() = QUrl();
    shared.reset();
}

IPMacAddressInfo::IPMacAddressInfo()
    : self_(std::make_shared<IPMacAddressInfo*>(this))
    , manager_(std::make_unique<QNetworkAccessManager>())
{
}

IPMacAddressInfo::~IPMacAddressInfo()
{
    self_.reset();
    if (connection)
        connection->end();
    if (startupLookup_)
        startupLookup_->end();
}

void IPMacAddressInfo::setDelegate(PublicIPDelegate* delegate)
{
    delegate_ = delegate;
    if (delegate)
        delegate->registeredWith_ = self_;
}

void IPMacAddressInfo::forgetDelegate(PublicIPDelegate* delegate)
{
    if (delegate_ == delegate)
        delegate_ = nullptr;
}

void IPMacAddressInfo::reset()
{
    activeIP_.reset();
    activeMac_.reset();
    // The last good public address stays until a lookup finds another: every
    // trade reconnect resets, and the network address written right after it
    // must not fall back to the local address while the lookup runs.
    ipMacInfos_.clear();
    scanInterfaces();
    // What was written with the old address meanwhile is written again with
    // the one this lookup finds: the delegate hears of it.
    tellDelegateOfLookup_ = true;
    initPublicIP();
}

void IPMacAddressInfo::scanInterfaces()
{
    const auto records = platform::deviceQueries()->interfaces();
    initIPAddresses(records);
    initHWAddresses(records);
    activeAddressInfo();
}

void IPMacAddressInfo::initIPAddresses(const std::vector<platform::InterfaceRecord>& records)
{
    std::optional<QString> previous;
    for (const auto& r : records) {
        if (r.family != platform::InterfaceRecord::Family::IPv4)
            continue;
        const QString name = r.name.section(QLatin1Char(':'), 0, 0);
        // A second address of the same interface right after the first adds nothing.
        if (previous == name)
            continue;
        previous = name;
        if (!r.up)
            continue;
        QVariantMap entry;
        entry.insert(QStringLiteral("ifname"), name);
        entry.insert(QStringLiteral("ipname"), QHostAddress(qFromBigEndian(r.ipv4)).toString());
        entry.insert(QStringLiteral("ipaddress"), static_cast<qint64>(r.ipv4));
        ipMacInfos_.append(entry);
    }
}

void IPMacAddressInfo::initHWAddresses(const std::vector<platform::InterfaceRecord>& records)
{
    for (const auto& r : records) {
        if (r.family != platform::InterfaceRecord::Family::Link || r.hardwareAddress.size() != 6)
            continue;
        const QString mac = macText(r.hardwareAddress);
        for (QVariantMap& entry : ipMacInfos_) {
            if (entry.value(QStringLiteral("ifname")).toString() == r.name)
                entry.insert(QStringLiteral("mac"), mac);
        }
    }
}

void IPMacAddressInfo::activeAddressInfo()
{
    auto choose = [this](const QVariantMap& entry) {
        activeIP_ = entry.value(QStringLiteral("ipname")).toString();
        activeMac_ = entry.contains(QStringLiteral("mac"))
            ? std::optional(entry.value(QStringLiteral("mac")).toString())
            : std::nullopt;
    };
    // The interface that carries the default route is the one the broker sees,
    // provided it has a hardware address (a tunnel has none).
    if (const auto route = platform::deviceQueries()->defaultRouteInterface()) {
        for (const QVariantMap& entry : ipMacInfos_) {
            if (entry.value(QStringLiteral("ifname")).toString() == *route
                && entry.value(QStringLiteral("ipaddress")).toLongLong() != 0
                && entry.contains(QStringLiteral("mac"))) {
                choose(entry);
                return;
            }
        }
    }
    for (const QVariantMap& entry : ipMacInfos_) {
        if (entry.value(QStringLiteral("ipaddress")).toLongLong() == 0)
            return;
        if (entry.value(QStringLiteral("ifname"))
                .toString()
                .startsWith(QLatin1String("en"), Qt::CaseInsensitive)) {
            choose(entry);
            return;
        }
    }
}

void IPMacAddressInfo::setWebServer(const QUrl& base)
{
    if (base == webServer_)
        return;
    webServer_ = base;
    initPublicIP();
}

void IPMacAddressInfo::setTimeouts(std::chrono::milliseconds startup, std::chrono::milliseconds lookup)
{
    startupTimeout_ = startup;
    lookupTimeout_ = lookup;
}

bool IPMacAddressInfo::isLookingUp() const
{
    return (connection && !connection->over) || (startupLookup_ && !startupLookup_->over);
}

void IPMacAddressInfo::initPublicIP()
{
    if (startupLookup_)
        startupLookup_->end();
    startupLookup_.reset();
    if (webServer_.isEmpty())
        return;
    startupLookup_ = startLookup(
        startupTimeout_, [this](const std::optional<IPMacAddressError>& error, const QByteArray& body) {
            const std::optional<QString> found = error ? std::nullopt : parsePublicIP(body);
            const bool tell = std::exchange(tellDelegateOfLookup_, false);
            if (found)
                publicIP_ = *found;
            else if (!publicIP_ || publicIP_->isEmpty())
                publicIP_ = QString(); // failed, and no good address known before
            if (found && tell && delegate_)
                delegate_->ipMacAddressInfo(*this, *found);
        });
}

void IPMacAddressInfo::getPublicIP()
{
    if (connection)
        connection->end();
    connection = startLookup(
        lookupTimeout_, [this](const std::optional<IPMacAddressError>& error, const QByteArray& body) {
            if (!delegate_)
                return;
            if (error) {
                delegate_->ipMacAddressInfo(*this, *error);
                return;
            }
            if (const auto address = parsePublicIP(body))
                delegate_->ipMacAddressInfo(*this, *address);
            else
                delegate_->ipMacAddressInfo(
                    *this, IPMacAddressError { QString::fromUtf8(kParseErrorDomain), kParseErrorCode });
        });
}

std::shared_ptr<IPMacAddressInfo::Lookup> IPMacAddressInfo::startLookup(
    std::chrono::milliseconds timeout, Done done)
{
    auto lookup = std::make_shared<Lookup>();
    lookup->done = std::move(done);
    std::weak_ptr<Lookup> weak = lookup;

    QUrl url = webServer_;
    url.setPath(QString::fromLatin1(kLookupPath));
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        // Reported from the event loop, as any other failure.
        QTimer::singleShot(0, manager_.get(), [weak] {
            if (auto l = weak.lock())
                l->finish(IPMacAddressError { QStringLiteral("no web server for the public address"), 0 });
        });
        return lookup;
    }

    QNetworkRequest request(url);
    QNetworkReply* reply = manager_->get(request);
    lookup->reply = reply;
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [weak, reply] {
        auto l = weak.lock();
        if (!l || l->over)
            return;
        l->body += reply->read(kMaxReplyBytes + 1 - l->body.size());
        if (l->body.size() > kMaxReplyBytes)
            l->finish(IPMacAddressError { QString::fromUtf8(kParseErrorDomain), kParseErrorCode });
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [weak, reply] {
        auto l = weak.lock();
        if (!l || l->over)
            return;
        if (reply->error() != QNetworkReply::NoError) {
            l->finish(IPMacAddressError { reply->errorString(), static_cast<qint64>(reply->error()) });
            return;
        }
        l->body += reply->read(kMaxReplyBytes + 1 - l->body.size());
        if (l->body.size() > kMaxReplyBytes)
            l->finish(IPMacAddressError { QString::fromUtf8(kParseErrorDomain), kParseErrorCode });
        else
            l->finish(std::nullopt);
    });
    lookup->timer.setSingleShot(true);
    QObject::connect(&lookup->timer, &QTimer::timeout, &lookup->timer, [weak] {
        if (auto l = weak.lock())
            l->finish(IPMacAddressError { QString::fromUtf8(kTimeoutDomain), kTimeoutCode });
    });
    lookup->timer.start(timeout);
    return lookup;
}

std::optional<QString> IPMacAddressInfo::parsePublicIP(const QByteArray& body)
{
    const QString text = QString::fromUtf8(body);
    for (const char* marker : { "clientIP:", "X-Forwarded-For:", "Proxy-Client-IP:" }) {
        const qsizetype at = text.indexOf(QLatin1String(marker));
        if (at < 0)
            continue;
        const qsizetype start = at + qsizetype(qstrlen(marker));
        qsizetype end = text.size();
        for (const QChar stop : { QLatin1Char('\r'), QLatin1Char('\n') }) {
            const qsizetype i = text.indexOf(stop, start);
            if (i >= 0 && i < end)
                end = i;
        }
        // A forwarded-for list names the client first.
        QString value = text.mid(start, end - start).section(QLatin1Char(','), 0, 0);
        value.remove(QRegularExpression(QStringLiteral("\\s")));
        static const QRegularExpression dottedQuad(QStringLiteral("^[0-9]{1,3}(\\.[0-9]{1,3}){3}$"));
        QHostAddress address;
        const bool isV4 = dottedQuad.match(value).hasMatch();
        const bool isV6 = value.contains(QLatin1Char(':'));
        if ((!isV4 && !isV6) || !address.setAddress(value))
            return std::nullopt;
        return address.toString();
    }
    return std::nullopt;
}
