#include "platform/ChinaClock.h"

#include <mutex>

namespace platform {
namespace {

std::mutex& sourceLock()
{
    static std::mutex lock;
    return lock;
}

ChinaClock::Source& currentSource()
{
    static ChinaClock::Source source;
    return source;
}

QDateTime instantNow()
{
    ChinaClock::Source source;
    {
        std::lock_guard lock(sourceLock());
        source = currentSource();
    }
    return source ? source() : QDateTime::currentDateTimeUtc();
}

} // namespace

QDateTime ChinaClock::now()
{
    return toChinaTime(instantNow());
}

QDateTime ChinaClock::toChinaTime(const QDateTime& instant)
{
    return instant.toOffsetFromUtc(kOffsetSeconds);
}

qint64 ChinaClock::currentSecsSinceEpoch()
{
    return instantNow().toSecsSinceEpoch();
}

void ChinaClock::setSource(Source source)
{
    std::lock_guard lock(sourceLock());
    currentSource() = std::move(source);
}

ChinaClock::Override::Override(const QDateTime& fixedInstant)
{
    setSource([fixedInstant] { return fixedInstant; });
}

ChinaClock::Override::Override(Source source)
{
    setSource(std::move(source));
}

ChinaClock::Override::~Override()
{
    setSource({});
}

QDateTime ChinaClock::at(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::OffsetFromUTC, kOffsetSeconds);
}

} // namespace platform
