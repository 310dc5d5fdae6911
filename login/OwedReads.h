#pragma once

#include "comm/request/CSError.h"
#include "core/DataModelObserver.h"
#include "core/RequestLedger.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <set>
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
    // back through OwedReads::readAnswered, from the answer's own handler.
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

// The reads each account owes after actions it sent whose outcome is unknown
// (no answer in time, the connection lost): the client never sends such an
// action again, so it reads what the action may have changed until the server
// answers. One set per account, not per page: a figure stays owed whatever
// became of the page that showed it, and a page opened meanwhile takes part.
// What an action leaves owed is its sender's, whichever account is active
// when its failure comes: another account's pages are never marked or read
// for it. A set of an account that is not active waits, with no round for it,
// until the account is active again; the account's logout drops it.
//
// A figure is owed to every reader of the account that shows it until that
// reader's read of it is answered with its rows by a request sent after the
// outcome came back, for that account (an error row, a time-out or an answer
// without data leaves it owed; an answer to a read sent before, or joined to
// one sent before, answers nothing of it). Once every reader showing it has
// read it, it is owed no more. While no reader shows it, it stays owed for
// the next one, until a round asked after its outcome is answered in full:
// the server answers again, and a page opened later reads it anew.
//
// The reads go in rounds, one in flight on the trade connection however many
// outcomes are unknown, for the active account: a round asks each reader what
// is still owed to it and ends when each request those asks sent (or joined)
// has been answered, or at its time limit, whatever became of the readers. A
// new unknown outcome while none is in flight starts one on the next pass of
// the loop, so the outcomes told together share it; a round answered in full
// that leaves reads owed (an outcome came while it was out, a page opened) is
// followed by the next likewise. After a round with a read unanswered the next
// one waits, longer each time (RoundDelays), so a server that stays connected
// but silent is never stormed; a round that asked nothing grows no wait, and a
// new unknown outcome starts the waits again from the first. One also goes at
// each logon of a trade server, and when an account that owes becomes active.
// Main thread only.
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

    // An action's outcome is unknown; `outcome` is its answer (the ledger's
    // answering()): `figures` may have changed and are owed by the account
    // the action was sent for from now on. Nothing when that account is no
    // longer logged in.
    void owe(const QStringList& figures, const RequestLedger::Answer& outcome);
    // `reader` shows `figures` of the active account (held weakly, until it
    // drops its requests): it takes part in the rounds for those that are
    // owed.
    void join(IOwedReader* reader, const QStringList& figures);
    // `reader` no longer shows anything (the page was left or dropped its
    // requests). Its reads still out stay the round's.
    void leave(const IOwedReader* reader);
    // `reader`'s read of `figure` was answered: `withRows`, with the rows it
    // asked for; otherwise with an error row, no data, or not at all. Told
    // from the answer's handler: the ledger names the request it answers.
    void readAnswered(const IOwedReader* reader, const QString& figure, bool withRows);

    // The figures `reader` shows that are owed to it: they may be out of
    // date. None while another account than its own is active.
    QStringList owedTo(const IOwedReader* reader) const;
    // Whether an account logged in owes reads.
    bool owes() const;
    // Whether a round is waiting for its reads' answers.
    bool roundInFlight() const { return inFlight_; }
    // How long the round scheduled after the last one waits; zero while none
    // is scheduled.
    std::chrono::milliseconds roundWait() const;
    void setRoundDelays(RoundDelays delays);

private:
    using AccountRef = std::weak_ptr<const void>;
    struct Owed {
        quint64 outcome = 0; // the outcome count that left it owed last
        quint64 since = 0; // the last request sent when that outcome came
    };
    // What one account owes.
    struct Set {
        AccountRef account;
        QHash<QString, Owed> figures;
        std::chrono::milliseconds wait; // the round after an unanswered one waits this long
    };
    struct Reader {
        DataModelObserverRef ref;
        QStringList shows;
        AccountRef account; // the active one when it joined: it shows that one's figures
        // For each figure: the outcome count its last read answered (or it
        // could not be asked at).
        QHash<QString, quint64> readAt;
    };
    struct Asked {
        DataModelObserverRef reader;
        QString figure;
        quint64 outcome = 0; // what it was asked for
    };
    struct Round {
        AccountRef account;
        quint64 outcome = 0; // the outcome count when it began
        bool asked = false;
        bool unanswered = false;
        std::vector<Asked> reads;
        std::set<quint64> awaited; // the requests its asks sent or joined, still out
    };

    static std::shared_ptr<const void> activeAccount();
    Reader* find(const IOwedReader* reader);
    const Reader* find(const IOwedReader* reader) const;
    Set* setOf(const std::shared_ptr<const void>& account);
    const Set* setOf(const std::shared_ptr<const void>& account) const;
    bool stale(const Reader& reader, const QString& figure) const;
    QStringList staleOf(const Reader& reader) const;
    std::vector<DataModelObserverRef> staleReaders(const std::shared_ptr<const void>& account) const;
    // Drops the sets of accounts no longer logged in, telling their readers.
    void dropLoggedOut();
    void startRound();
    // The next round, on the next pass of the loop or after `wait`.
    void roundSoon();
    void roundAfter(std::chrono::milliseconds wait);
    // The round in flight has heard each of its reads (or given up on them).
    void endRound();
    // A request the round may wait for was answered.
    void heard(quint64 serial, bool withRows);
    // Leaves out readers that are gone, figures every reader has read, and
    // accounts that owe nothing any more.
    void prune();
    void tell(const std::vector<DataModelObserverRef>& readers);
    void listen();

    std::vector<Set> sets_;
    quint64 outcomes_ = 0;
    std::vector<Reader> readers_;
    bool inFlight_ = false;
    bool starting_ = false; // the round's readers are being asked
    Round round_;
    std::vector<std::pair<quint64, bool>> heardEarly_; // answers that came while a reader was asked
    RoundDelays delays_;
    std::unique_ptr<platform::RunLoopTimer> nextRound_;
    std::unique_ptr<platform::RunLoopTimer> roundLimit_;
    bool listening_ = false;
};
