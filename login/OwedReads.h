#pragma once

#include "comm/request/CSError.h"
#include "core/DataModelObserver.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <utility>
#include <vector>

class Account;
namespace platform {
class RunLoopTimer;
}

// What an action may change on the server, named as a figure a page shows
// ("money", "positions", a list). A figure is one name wherever it shows, so
// a page that shows it takes part in reading it again whichever action left
// it owed.
namespace owedfigure {
inline constexpr char kMoney[] = "money"; // available money of the capital accounts
inline constexpr char kMaximum[] = "maximum"; // the quantity an order may have
inline constexpr char kPositions[] = "positions"; // holdings of shares
inline constexpr char kOrders[] = "orders"; // today's share orders
inline constexpr char kTransfers[] = "transfers"; // the bank transfer history
inline constexpr char kPermissions[] = "permissions"; // the business permissions opened
inline constexpr char kFundShares[] = "fund shares"; // holdings of open-end funds
inline constexpr char kFundOrders[] = "fund orders"; // fund orders still cancellable
inline constexpr char kFundPlans[] = "fund plans"; // fund investment plans
inline constexpr char kHGTOrders[] = "hk orders"; // today's Stock Connect orders
inline constexpr char kBankBalance[] = "bank balance"; // the bank balance of a capital account's bank link
inline constexpr char kFundDividends[] = "fund dividends"; // the dividend method of each fund held
} // namespace owedfigure

// Whether an action's failure leaves its outcome unknown: the client's own
// (no answer in time, the connection lost, an answer without data), never a
// server's error row, whatever number it carries.
inline bool leavesOutcomeUnknown(const CSError& error)
{
    return !error.fromErrorRow
        && (error.code == CSErrorServerNoData || error.code == CSErrorRequestTimeout
            || error.code == CSErrorNetworkDisconnect);
}

// Something that shows figures an action of unknown outcome may change (a
// page) and reads them again when they are owed.
class IOwedReader : public virtual DataModelObserver {
public:
    // Asks again the figures `owed` names and answers those whose read went
    // out; one that cannot be asked now (nothing to ask it for, a refused
    // request) is owed to this reader no more. Each answer of a read is told
    // back through OwedReads::readAnswered.
    virtual QStringList readOwed(const QStringList& owed) = 0;
    // What is owed to the reader changed: its figures may be out of date, or
    // are no longer.
    virtual void owedReadsChanged() { }
};

// What a readOwed asks: each figure it is asked for goes when the reader can
// ask it now.
class ReadsAskedAgain {
public:
    explicit ReadsAskedAgain(const QStringList& owed)
        : owed_(owed)
    {
    }
    // `ask` sends the read of `figure` and answers whether it went out.
    template <class Ask> void ask(const char* figure, Ask&& ask)
    {
        const QString read = QString::fromLatin1(figure);
        if (owed_.contains(read) && ask())
            asked_ << read;
    }
    const QStringList& asked() const { return asked_; }

private:
    QStringList owed_;
    QStringList asked_;
};

// The reads the active account owes after actions whose outcome is unknown
// (no answer in time, the connection lost): the client never sends such an
// action again, so it reads what the action may have changed until the server
// answers. One set per account, not per page: a figure stays owed whatever
// became of the page that showed it, and a page opened meanwhile takes part.
//
// A figure is owed to every reader that shows it until that reader's read of
// it is answered with its rows (an error row, a time-out or an answer without
// data leaves it owed); a read asked before the figure's last unknown outcome
// answers nothing of it. Once every reader showing it has read it, it is owed
// no more. While no reader shows it, it stays owed for the next one, until a
// round asked after its outcome is answered in full: the server answers
// again, and a page opened later reads it anew.
//
// The reads go in rounds, one in flight on the trade connection however many
// outcomes are unknown: a round asks each reader what is still owed to it and
// ends when each of those reads has been answered (or its reader is gone). A
// new unknown outcome while none is in flight starts one on the next pass of
// the loop, so the outcomes told together share it; a round answered in full
// that leaves reads owed (an outcome came while it was out) is followed by
// the next likewise. After a round with a read unanswered, or with none to
// ask, the next one waits, longer each time (RoundDelays), so a server that
// stays connected but silent is never stormed; one also goes at each logon
// of a trade server. An account change or a logout drops what the account
// owed. Main thread only.
class OwedReads {
public:
    // How long the round after one with a read unanswered waits: `first`
    // after the first such round, doubled after each next one up to
    // `longest`. A round whose reads have not all been answered after
    // `limit` (past their own time-out) counts as unanswered.
    struct RoundDelays {
        std::chrono::milliseconds first { 30'000 };
        std::chrono::milliseconds longest { 300'000 };
        std::chrono::milliseconds limit { 65'000 };
    };

    static OwedReads* getInstance();
    // The shared instance if one was made (null otherwise, and at exit).
    static OwedReads* existing();
    // Tests: drops the shared instance.
    static void resetInstance();

    OwedReads();
    ~OwedReads();
    OwedReads(const OwedReads&) = delete;
    OwedReads& operator=(const OwedReads&) = delete;

    // An action of the active account has an unknown outcome: `figures` may
    // have changed and are owed from now on.
    void owe(const QStringList& figures);
    // `reader` shows `figures` (held weakly, until it drops its requests):
    // it takes part in the rounds for those that are owed. What it reads
    // from now on answers the outcomes known so far.
    void join(IOwedReader* reader, const QStringList& figures);
    // `reader` no longer shows anything (the page was left or dropped its
    // requests): its reads still out count for no round.
    void leave(const IOwedReader* reader);
    // `reader`'s read of `figure` was answered: `withRows`, with the rows it
    // asked for; otherwise with an error row, no data, or not at all.
    void readAnswered(const IOwedReader* reader, const QString& figure, bool withRows);

    // The figures `reader` shows that are owed to it: they may be out of date.
    QStringList owedTo(const IOwedReader* reader) const;
    bool owes() const { return !owed_.isEmpty(); }
    // Whether a round is waiting for its reads' answers.
    bool roundInFlight() const { return inFlight_; }
    // How long the round scheduled after the last one waits; zero while none
    // is scheduled.
    std::chrono::milliseconds roundWait() const;
    void setRoundDelays(RoundDelays delays);

private:
    struct Reader {
        DataModelObserverRef ref;
        QStringList shows;
        // For each figure: the outcome count when it was last asked, and when
        // it was last answered with its rows (or could not be asked).
        QHash<QString, quint64> askedAt;
        QHash<QString, quint64> readAt;
    };
    Reader* find(const IOwedReader* reader);
    const Reader* find(const IOwedReader* reader) const;
    bool stale(const Reader& reader, const QString& figure) const;
    QStringList staleOf(const Reader& reader) const;
    // What is owed belongs to the account that was active when it was: drops
    // it when another is (or none).
    bool accountChanged();
    void dropAll();
    void startRound();
    // The next round, on the next pass of the loop or after `wait`.
    void roundSoon();
    void roundAfter(std::chrono::milliseconds wait);
    // The round in flight has heard each of its reads (or given up on them).
    void endRound();
    // Leaves out readers that are gone, and figures every reader has read.
    void prune();
    // Ends the round in flight when every reader it waits for is gone.
    void endRoundOfReadersGone();
    // Nothing is owed any more: no round, no wait, nothing heard.
    void settle();
    void tell(const std::vector<DataModelObserverRef>& readers);
    void listen();

    QHash<QString, quint64> owed_; // each figure, with the outcome count that left it owed
    quint64 outcomes_ = 0;
    std::vector<Reader> readers_;
    std::weak_ptr<Account> account_;
    bool inFlight_ = false;
    bool starting_ = false; // the round's readers are being asked
    bool askedInRound_ = false;
    bool roundUnanswered_ = false;
    quint64 roundAt_ = 0; // the outcome count when the round began
    std::vector<std::pair<DataModelObserverRef, QString>> awaited_; // the round's reads still out
    RoundDelays delays_;
    std::chrono::milliseconds nextWait_ = delays_.first;
    std::unique_ptr<platform::RunLoopTimer> nextRound_;
    std::unique_ptr<platform::RunLoopTimer> roundLimit_;
    bool listening_ = false;
};
