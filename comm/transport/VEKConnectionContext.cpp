#include "comm/transport/VEKConnectionContext.h"

#include "platform/PropertyList.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRegularExpression>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {

const QString kSessionStore = QStringLiteral("SessionStore");
const QString kPermanentStore = QStringLiteral("PermanentStore");
const QString kExtension = QStringLiteral("cacheddata");
const QString kCacheControl = QStringLiteral("Cache-Control");
const QString kExpires = QStringLiteral("Expires");
const QString kFetchDate = QStringLiteral("X-VEKConnection-Fetch-date");
const QString kCacheData = QStringLiteral("Cache-Data");

const char* const kWeekdays[] = { "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun" };
const char* const kMonths[]
    = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };

// The cache operations collect a problem under the lock and throw it after.
struct CacheProblem {
    QString name;
    QString reason;
};

std::optional<CacheProblem> ensureFolder(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isDir())
        return CacheProblem { QStringLiteral("FileExistsAtCachePath"),
            QStringLiteral("Cannot create a directory for the cache at '%1', because a file already exists")
                .arg(path) };
    if (!info.exists() && !QDir().mkpath(path))
        return CacheProblem { QStringLiteral("FailedToCreateCacheDirectory"),
            QStringLiteral("Failed to create a directory for the cache at '%1'").arg(path) };
    return std::nullopt;
}

std::optional<CacheProblem> clearFolder(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return std::nullopt;
    QDir dir(folder);
    if (!info.isDir() || !info.isReadable())
        return CacheProblem { QStringLiteral("FailedToTraverseCacheDirectory"),
            QStringLiteral("Listing cache directory failed at path '%1'").arg(folder) };
    const QStringList files
        = dir.entryList({ QStringLiteral("*.") + kExtension }, QDir::Files | QDir::Hidden);
    for (const QString& name : files) {
        const QString path = dir.filePath(name);
        if (!QFile::remove(path))
            return CacheProblem { QStringLiteral("FailedToRemoveCacheFile"),
                QStringLiteral("Failed to remove cached data at path '%1'").arg(path) };
    }
    return std::nullopt;
}

void raise(const std::optional<CacheProblem>& problem)
{
    if (problem)
        throw VEKCacheException(problem->name, problem->reason);
}

} // namespace

// ---- RFC 1123 dates

QString VEKRFC1123DateFormatter::stringFromDate(const QDateTime& date) const
{
    const QDateTime utc = date.toUTC();
    if (!utc.isValid())
        return {};
    const QDate day = utc.date();
    const QTime time = utc.time();
    return QStringLiteral("%1, %2 %3 %4 %5:%6:%7 GMT")
        .arg(QLatin1String(kWeekdays[day.dayOfWeek() - 1]))
        .arg(day.day(), 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(kMonths[day.month() - 1]))
        .arg(day.year(), 4, 10, QLatin1Char('0'))
        .arg(time.hour(), 2, 10, QLatin1Char('0'))
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.second(), 2, 10, QLatin1Char('0'));
}

std::optional<QDateTime> VEKRFC1123DateFormatter::dateFromString(const QString& text) const
{
    static const QRegularExpression pattern(
        QStringLiteral("^([A-Za-z]{3}), (\\d{2}) ([A-Za-z]{3}) (\\d{4}) (\\d{2}):(\\d{2}):(\\d{2}) GMT$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool weekdayKnown = false;
    for (const char* name : kWeekdays)
        weekdayKnown
            = weekdayKnown || match.captured(1).compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    int month = 0;
    for (int i = 0; i < 12; ++i) {
        if (match.captured(3).compare(QLatin1String(kMonths[i]), Qt::CaseInsensitive) == 0)
            month = i + 1;
    }
    if (!weekdayKnown || month == 0)
        return std::nullopt;
    const QDate day(match.captured(4).toInt(), month, match.captured(2).toInt());
    const QTime time(match.captured(5).toInt(), match.captured(6).toInt(), match.captured(7).toInt());
    if (!day.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(day, time, Qt::UTC);
}

// ---- context

VEKConnectionContext::VEKConnectionContext(VEKConnectionContextDelegate* delegate)
    : accessLock_(std::make_shared<QRecursiveMutex>())
{
    setDelegate(delegate);
}

VEKConnectionContext::~VEKConnectionContext() = default;

std::optional<QByteArray> VEKConnectionContext::doWritePacket(const QByteArray& data, qint64 packetid,
    bool encrypt, bool compressResponse, quint64 cacheAge, std::optional<QByteArray>* cacheResponse)
{
    if (cacheResponse)
        cacheResponse->reset();
    if (data.isEmpty())
        return std::nullopt;
    if (cacheAge != 0 && isCachedDataCurrentForRequest(data)) {
        if (auto cached = cachedResponseDataForRequest(data)) {
            if (cacheResponse)
                *cacheResponse = std::move(cached);
            return std::nullopt;
        }
    }
    VEKConnectionContextDelegate* target = delegate();
    if (!target)
        return std::nullopt;
    const VEKPacketFlag flags { 0, packetid, encrypt, compressResponse };
    auto built = target->contextBuildRequest(*this, data, flags);
    if (!built)
        return std::nullopt;
    return construcData(*built);
}

bool VEKConnectionContext::receiveData(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return true;
    if (!receiveBuffer_)
        receiveBuffer_ = std::make_unique<VEKDataBuffer>(kReceiveCapacity);
    if (consumed_ > 0) {
        receiveBuffer_->removeFront(consumed_);
        consumed_ = 0;
    }
    if (receiveBuffer_->appendData(bytes))
        return true;
    // Only a caller that never reads could get here; the stream is lost either way.
    resetData();
    receiveBuffer_->appendData(bytes);
    return false;
}

std::optional<VEKResponse> VEKConnectionContext::readPacketAvailable()
{
    // Every pass consumes bytes, so the loop ends.
    for (;;) {
        VEKContextError error;
        VEKPacketFlag flags;
        auto payload = checkResponse(&error, &flags);
        if (!payload)
            return std::nullopt;
        if (payload->isEmpty())
            continue;
        VEKConnectionContextDelegate* target = delegate();
        if (!target)
            return std::nullopt;
        if (auto response = target->contextParseRespone(*this, *payload, flags))
            return response;
        // A payload the request layer cannot open must not hold back the replies behind it.
    }
}

void VEKConnectionContext::resetData()
{
}

QByteArray VEKConnectionContext::construcData(const QByteArray& data)
{
    return data;
}

std::optional<QByteArray> VEKConnectionContext::checkResponse(VEKContextError*, VEKPacketFlag*)
{
    return std::nullopt;
}

qsizetype VEKConnectionContext::bufferedLength() const
{
    return unread().size();
}

QByteArrayView VEKConnectionContext::unread() const
{
    if (!receiveBuffer_)
        return {};
    return receiveBuffer_->bytes().sliced(consumed_);
}

void VEKConnectionContext::consume(qsizetype count)
{
    if (!receiveBuffer_ || count <= 0)
        return;
    consumed_ = std::min(consumed_ + count, receiveBuffer_->length());
    if (consumed_ == receiveBuffer_->length()) {
        receiveBuffer_->reset();
        consumed_ = 0;
    }
}

void VEKConnectionContext::clearReceiveBuffer()
{
    if (receiveBuffer_)
        receiveBuffer_->reset();
    consumed_ = 0;
}

// ---- cache

QString VEKConnectionContext::storagePath() const
{
    QMutexLocker locker(accessLock_.get());
    return storagePath_;
}

void VEKConnectionContext::setStoragePath(const QString& path)
{
    std::optional<CacheProblem> problem;
    {
        QMutexLocker locker(accessLock_.get());
        if (!storagePath_.isEmpty())
            problem = clearFolder(QDir(storagePath_).filePath(kSessionStore));
        if (!problem) {
            storagePath_ = path;
            if (!path.isEmpty()) {
                for (const QString& folder :
                    { path, QDir(path).filePath(kSessionStore), QDir(path).filePath(kPermanentStore) }) {
                    if ((problem = ensureFolder(folder)))
                        break;
                }
                if (!problem)
                    problem = clearFolder(QDir(path).filePath(kSessionStore));
            }
        }
    }
    raise(problem);
}

void VEKConnectionContext::setDefaultCachePolicy(qint32 policy)
{
    QMutexLocker locker(accessLock_.get());
    defaultCachePolicy_ = policy == 0 ? kCachePolicySession : policy;
}

qint32 VEKConnectionContext::defaultCachePolicy() const
{
    QMutexLocker locker(accessLock_.get());
    return defaultCachePolicy_;
}

void VEKConnectionContext::removeCachedDataForRequest(const QByteArray& request)
{
    std::optional<CacheProblem> problem;
    {
        QMutexLocker locker(accessLock_.get());
        if (storagePath_.isEmpty())
            return;
        const QString name = keyForRequest(request) + QLatin1Char('.') + kExtension;
        for (const QString& store : { kSessionStore, kPermanentStore }) {
            const QString path = QDir(QDir(storagePath_).filePath(store)).filePath(name);
            if (QFileInfo::exists(path) && !QFile::remove(path)) {
                problem = CacheProblem { QStringLiteral("FailedToRemoveCacheFile"),
                    QStringLiteral("Failed to remove cached data at path '%1'").arg(path) };
                break;
            }
        }
    }
    raise(problem);
}

std::optional<QByteArray> VEKConnectionContext::readCacheFile(
    const QString& path, QVariantMap* dictionary) const noexcept
{
    const auto value = platform::PropertyList::readFile(path);
    if (!value || value->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    *dictionary = value->toMap();
    const QVariant data = dictionary->value(kCacheData);
    if (data.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return data.toByteArray();
}

bool VEKConnectionContext::isCachedDataCurrentForRequest(const QByteArray& request) const noexcept
{
    QMutexLocker locker(accessLock_.get());
    const auto path = pathToCachedResponseDataForRequest(request);
    if (!path)
        return false;
    const auto value = platform::PropertyList::readFile(*path);
    if (!value || value->typeId() != QMetaType::QVariantMap)
        return false;
    const QVariantMap dictionary = value->toMap();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (dictionary.contains(kExpires)) {
        const auto expires = dateFromRFC1123String(dictionary.value(kExpires).toString());
        // An unreadable date cannot show the reply is current.
        if (!expires || *expires <= now)
            return false;
    }
    static const QRegularExpression maxAge(
        QStringLiteral("^max-age\\s*=\\s*([+-]?\\d+)"), QRegularExpression::CaseInsensitiveOption);
    const auto match = maxAge.match(dictionary.value(kCacheControl).toString());
    if (match.hasMatch()) {
        bool ok = false;
        const qint64 seconds = match.captured(1).toLongLong(&ok);
        const auto fetched = dateFromRFC1123String(dictionary.value(kFetchDate).toString());
        if (!ok || !fetched || fetched->addSecs(seconds) <= now)
            return false;
    }
    return true;
}

void VEKConnectionContext::storeResponse(
    const QByteArray& response, const QByteArray& request, double maxAge) noexcept
{
    QMutexLocker locker(accessLock_.get());
    if (response.isEmpty() || defaultCachePolicy_ == kCachePolicyNone || storagePath_.isEmpty())
        return;
    const QString now = stringWithRFC1123Date(QDateTime::currentDateTimeUtc());
    // The age is written as a whole number of seconds.
    const double clamped = std::isnan(maxAge) ? 0.0 : std::clamp(maxAge, double(INT_MIN), double(INT_MAX));
    QVariantMap dictionary;
    if (maxAge != 0 && !std::isnan(maxAge))
        dictionary.insert(kCacheControl, QStringLiteral("max-age=%1").arg(int(clamped)));
    else
        dictionary.insert(kExpires, now);
    dictionary.insert(kFetchDate, now);
    dictionary.insert(kCacheData, response);
    const QString path = QDir(QDir(storagePath_).filePath(kSessionStore))
                             .filePath(keyForRequest(request) + QLatin1Char('.') + kExtension);
    platform::PropertyList::writeFileAtomic(path, dictionary); // a failed write is silent
}

std::optional<QByteArray> VEKConnectionContext::cachedResponseDataForRequest(
    const QByteArray& request) const noexcept
{
    QMutexLocker locker(accessLock_.get());
    const auto path = pathToCachedResponseDataForRequest(request);
    if (!path)
        return std::nullopt;
    QVariantMap dictionary;
    return readCacheFile(*path, &dictionary);
}

std::optional<QString> VEKConnectionContext::pathToCachedResponseDataForRequest(
    const QByteArray& request) const noexcept
{
    QMutexLocker locker(accessLock_.get());
    if (storagePath_.isEmpty())
        return std::nullopt;
    const QString name = keyForRequest(request) + QLatin1Char('.') + kExtension;
    for (const QString& store : { kSessionStore, kPermanentStore }) {
        const QString path = QDir(QDir(storagePath_).filePath(store)).filePath(name);
        if (QFileInfo(path).isFile())
            return path;
    }
    return std::nullopt;
}

void VEKConnectionContext::clearCachedResponsesForStoragePolicy(qint32 policy)
{
    std::optional<CacheProblem> problem;
    {
        QMutexLocker locker(accessLock_.get());
        if (storagePath_.isEmpty())
            return;
        problem = clearFolder(
            QDir(storagePath_).filePath(policy == kCachePolicyNone ? kPermanentStore : kSessionStore));
    }
    raise(problem);
}

std::shared_ptr<QRecursiveMutex> VEKConnectionContext::accessLock() const
{
    return accessLock_;
}

void VEKConnectionContext::setAccessLock(std::shared_ptr<QRecursiveMutex> lock)
{
    // A context always has a lock; nothing given means a fresh one.
    accessLock_ = lock ? std::move(lock) : std::make_shared<QRecursiveMutex>();
}

QString VEKConnectionContext::keyForRequest(QByteArrayView request)
{
    return QString::fromLatin1(QCryptographicHash::hash(request, QCryptographicHash::Md5).toHex().toUpper());
}

const VEKRFC1123DateFormatter& VEKConnectionContext::rfc1123DateFormatter()
{
    thread_local const VEKRFC1123DateFormatter formatter;
    return formatter;
}

std::optional<QDateTime> VEKConnectionContext::dateFromRFC1123String(const QString& text)
{
    return rfc1123DateFormatter().dateFromString(text);
}

QString VEKConnectionContext::stringWithRFC1123Date(const QDateTime& date)
{
    return rfc1123DateFormatter().stringFromDate(date);
}
