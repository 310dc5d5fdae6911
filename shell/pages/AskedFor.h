#pragma once

#include <QHash>
#include <QString>

// What a window's pending answers were asked for. Before a page sends, it
// files what the request is for (the code, the fund, the issue, the image)
// under a channel of its own ("quote", "maximum", "fund"); when the answer
// comes, the page shows it only while the channel still awaits that subject.
// An answer for a code the field no longer names came late and is dropped,
// and forgetAll (an account change) makes every pending answer late, so
// nothing asked for the previous account or code is ever shown as current.
class AskedFor {
public:
    // `channel` awaits an answer for `subject` from now on; an answer for
    // any other subject under the channel is late. Answers the ask's number,
    // for answers that do not carry their subject.
    quint64 ask(const QString& channel, const QString& subject = QString())
    {
        Ask& a = asks_[channel];
        a.subject = subject;
        a.number = ++next_;
        a.pending = true;
        return a.number;
    }
    // True while `channel` awaits an answer for `subject`.
    bool awaits(const QString& channel, const QString& subject) const
    {
        const auto it = asks_.constFind(channel);
        return it != asks_.cend() && it->pending && it->subject == subject;
    }
    // True while `channel`'s latest ask is the one numbered `number`.
    bool awaitsAsk(const QString& channel, quint64 number) const
    {
        const auto it = asks_.constFind(channel);
        return it != asks_.cend() && it->pending && it->number == number;
    }
    // Takes the answer for `subject`: true when `channel` awaited it, and the
    // channel then awaits nothing more; false for a late answer.
    bool take(const QString& channel, const QString& subject)
    {
        if (!awaits(channel, subject))
            return false;
        settle(channel);
        return true;
    }
    // The same for the ask numbered `number`.
    bool takeAsk(const QString& channel, quint64 number)
    {
        if (!awaitsAsk(channel, number))
            return false;
        settle(channel);
        return true;
    }
    // The subject `channel` awaits (empty when none).
    QString subject(const QString& channel) const
    {
        const auto it = asks_.constFind(channel);
        return it != asks_.cend() && it->pending ? it->subject : QString();
    }
    // `channel`'s answer came: anything else arriving under it is late.
    void settle(const QString& channel) { asks_.remove(channel); }
    // Every pending answer is late (an account change, the page unloaded).
    void forgetAll() { asks_.clear(); }

private:
    struct Ask {
        QString subject;
        quint64 number = 0;
        bool pending = false;
    };
    QHash<QString, Ask> asks_;
    quint64 next_ = 0;
};
