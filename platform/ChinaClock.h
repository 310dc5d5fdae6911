#pragma once

#include <QDateTime>
#include <QTime>
#include <functional>

namespace platform {

// China time (UTC+8, no daylight saving) for every part of the program that
// shows or decides by the exchanges' clock. It never touches the process
// time zone: the time is the current instant seen at a fixed offset. Tests
// replace the instant's source with setSource (or a ChinaClock::Override).
class ChinaClock {
public:
    static constexpr int kOffsetSeconds = 8 * 3600;
    // The instant "now" as the source gives it, in UTC.
    using Source = std::function<QDateTime()>;

    // The current China date and time (offset +08:00).
    static QDateTime now();
    // Any instant seen in China time.
    static QDateTime toChinaTime(const QDateTime& instant);
    // Whole seconds since 1970 (no time zone involved).
    static qint64 currentSecsSinceEpoch();

    // Replaces the source; an empty function restores the system clock.
    static void setSource(Source source);

    // Sets a fixed instant (or source) for as long as it lives.
    class Override {
    public:
        explicit Override(const QDateTime& fixedInstant);
        explicit Override(Source source);
        ~Override();
        Override(const Override&) = delete;
        Override& operator=(const Override&) = delete;
    };

    // The China time of day from hour and minute, as tests write it.
    static QDateTime at(int year, int month, int day, int hour, int minute, int second = 0);
};

} // namespace platform
