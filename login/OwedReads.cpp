#include "login/OwedReads.h"

#include "core/DMNotificationCenter.h"
#include "core/NetworkFactory.h"
#include "core/NotificationCenter.h"
#include "login/AccountManager.h"
#include "login/SharedInstance.h"
#include "platform/RunLoop.h"

#include <algorithm>

namespace {

// The program's NotificationCenter types that end what an account owed.
constexpr int32_t kLogout = 1;
constexpr int32_t kActiveAccountChanged = 2;

std::unique_ptr<OwedReads>& shared()
{
    static std::unique_ptr<OwedReads> slot;
    return slot;
}

bool loggedIn(const std::shared_ptr<const void>& account)
{
    const auto& accounts = AccountManager::getInstance()->loginAccounts();
    return account && std::any_of(accounts.begin(), accounts.end(), [&](const auto& a) { return a == account; });
}

} // namespace

OwedReads* OwedReads::getInstance()
{
    return sharedInstanceIn(shared());
}

OwedReads* OwedReads::existing()
{
    return shared().get();
}

void OwedReads::resetInstance()
{
    shared().reset();
}

OwedReads::OwedReads()
{
    // Made before this, so that they outlive it at the process exit.
    DMNotificationCenter::getInstance();
    NotificationCenter::getInstance();
    // The rounds hear their reads' answers from the request layer, whatever
    // became of the pages that asked them.
    RequestLedger::setWatch([](quint64 serial, bool withRows) {
        if (OwedReads* owed = existing())
            owed->heard(serial, withRows);
    });
}

OwedReads::~OwedReads()
{
    if (listening_) {
        DMNotificationCenter::getInstance()->removeObserver(this);
        NotificationCenter::getInstance()->removeObserver(static_cast<const void*>(this));
    }
}

std::shared_ptr<const void> OwedReads::activeAccount()
{
    return AccountManager::getInstance()->getActiveLoginAccount();
}

OwedReads::Reader* OwedReads::find(const IOwedReader* reader)
{
    const auto it = std::find_if(
        readers_.begin(), readers_.end(), [&](const Reader& r) { return r.ref.refersTo(reader); });
    return it != readers_.end() ? &*it : nullptr;
}

const OwedReads::Reader* OwedReads::find(const IOwedReader* reader) const
{
    return const_cast<OwedReads*>(this)->find(reader);
}

OwedReads::Set* OwedReads::setOf(const std::shared_ptr<const void>& account)
{
    if (!account)
        return nullptr;
    const auto it
        = std::find_if(sets_.begin(), sets_.end(), [&](const Set& s) { return s.account.lock() == account; });
    return it != sets_.end() ? &*it : nullptr;
}

const OwedReads::Set* OwedReads::setOf(const std::shared_ptr<const void>& account) const
{
    return const_cast<OwedReads*>(this)->setOf(account);
}

bool OwedReads::stale(const Reader& reader, const QString& figure) const
{
    const Set* set = setOf(reader.account.lock());
    if (!set || !reader.shows.contains(figure))
        return false;
    const auto owed = set->figures.constFind(figure);
    return owed != set->figures.cend() && reader.readAt.value(figure) < owed->outcome;
}

QStringList OwedReads::staleOf(const Reader& reader) const
{
    QStringList figures;
    for (const QString& figure : reader.shows) {
        if (stale(reader, figure))
            figures << figure;
    }
    return figures;
}

std::vector<DataModelObserverRef> OwedReads::staleReaders(const std::shared_ptr<const void>& account) const
{
    std::vector<DataModelObserverRef> out;
    for (const Reader& reader : readers_) {
        if (account && reader.account.lock() == account && !staleOf(reader).isEmpty())
            out.push_back(reader.ref);
    }
    return out;
}

bool OwedReads::owes() const
{
    return !sets_.empty();
}

void OwedReads::owe(const QStringList& figures, const RequestLedger::Answer& outcome)
{
    const std::shared_ptr<const void> account = outcome.request.sender.lock();
    dropLoggedOut();
    // Sent for an account logged out since: its logout dropped what it owed.
    if (figures.isEmpty() || !loggedIn(account))
        return;
    Set* set = setOf(account);
    if (!set) {
        sets_.push_back({ account, {}, delays_.first });
        set = &sets_.back();
    }
    ++outcomes_;
    for (const QString& figure : figures)
        set->figures[figure] = { outcomes_, outcome.came };
    // A new outcome: the server may answer again, so the waits start anew.
    set->wait = delays_.first;
    listen();
    if (account != activeAccount())
        return;
    tell(staleReaders(account));
    // One round at a time: one in flight reads these again when it ends.
    if (!inFlight_)
        roundSoon();
}

void OwedReads::join(IOwedReader* reader, const QStringList& figures)
{
    if (!reader)
        return;
    dropLoggedOut();
    prune();
    Reader* entry = find(reader);
    if (!entry) {
        readers_.push_back({ DataModelObserverRef(reader), {}, {}, {} });
        entry = &readers_.back();
    }
    const std::shared_ptr<const void> account = activeAccount();
    if (entry->account.lock() != account)
        entry->readAt.clear();
    entry->account = account;
    entry->shows = figures;
    if (!staleOf(*entry).isEmpty())
        reader->owedReadsChanged();
}

void OwedReads::leave(const IOwedReader* reader)
{
    std::erase_if(readers_, [&](const Reader& r) { return !r.ref.get() || r.ref.refersTo(reader); });
    prune();
}

void OwedReads::readAnswered(const IOwedReader* reader, const QString& figure, bool withRows)
{
    const RequestLedger::Answer* answer = RequestLedger::answering();
    dropLoggedOut();
    Reader* entry = find(reader);
    if (!entry || !withRows || !answer)
        return;
    const std::shared_ptr<const void> account = entry->account.lock();
    const Set* set = setOf(account);
    if (!set || answer->request.sender.lock() != account || !stale(*entry, figure))
        return;
    // A read asked before the outcome came back says nothing of it.
    const Owed owed = set->figures.value(figure);
    if (answer->request.serial <= owed.since)
        return;
    entry->readAt[figure] = owed.outcome;
    const DataModelObserverRef ref = entry->ref;
    prune();
    tell({ ref });
}

QStringList OwedReads::owedTo(const IOwedReader* reader) const
{
    const Reader* entry = find(reader);
    if (!entry || entry->account.lock() != activeAccount())
        return {};
    return staleOf(*entry);
}

std::chrono::milliseconds OwedReads::roundWait() const
{
    if (!nextRound_ || !nextRound_->isActive())
        return std::chrono::milliseconds(0);
    return std::chrono::duration_cast<std::chrono::milliseconds>(nextRound_->interval());
}

void OwedReads::setRoundDelays(RoundDelays delays)
{
    delays_ = delays;
    for (Set& set : sets_)
        set.wait = delays.first;
}

void OwedReads::dropLoggedOut()
{
    std::vector<DataModelObserverRef> told;
    const std::size_t before = sets_.size();
    for (const Set& set : sets_) {
        const std::shared_ptr<const void> account = set.account.lock();
        if (!loggedIn(account)) {
            const auto readers = staleReaders(account);
            told.insert(told.end(), readers.begin(), readers.end());
        }
    }
    std::erase_if(sets_, [](const Set& set) { return !loggedIn(set.account.lock()); });
    if (sets_.size() == before)
        return;
    prune();
    tell(told);
}

void OwedReads::startRound()
{
    nextRound_.reset();
    dropLoggedOut();
    prune();
    const std::shared_ptr<const void> account = activeAccount();
    if (!setOf(account))
        return; // the active account owes nothing; another's set waits for it
    inFlight_ = true;
    round_ = { account, outcomes_, false, false, {}, {} };
    roundLimit_.reset();
    std::vector<DataModelObserverRef> told;
    // A reader may be answered, or leave, while the next one is asked: walk
    // the references.
    std::vector<DataModelObserverRef> refs;
    for (const Reader& reader : readers_) {
        if (reader.account.lock() == account)
            refs.push_back(reader.ref);
    }
    starting_ = true;
    for (const DataModelObserverRef& ref : refs) {
        auto* reader = dynamic_cast<IOwedReader*>(ref.get());
        Reader* entry = reader ? find(reader) : nullptr;
        const QStringList owed = entry ? staleOf(*entry) : QStringList();
        if (owed.isEmpty())
            continue;
        QStringList asked;
        std::vector<quint64> serials;
        {
            RequestLedger::AskRecorder recorder;
            asked = reader->readOwed(owed);
            serials = recorder.serials();
        }
        round_.asked = round_.asked || !asked.isEmpty();
        for (const quint64 serial : serials) {
            const auto early = std::find_if(
                heardEarly_.begin(), heardEarly_.end(), [&](const auto& h) { return h.first == serial; });
            if (early == heardEarly_.end())
                round_.awaited.insert(serial);
            else
                round_.unanswered = round_.unanswered || !early->second;
        }
        // What it cannot ask now it shows nothing of: owed to it no more.
        entry = find(reader);
        const Set* set = setOf(account);
        for (const QString& figure : owed) {
            const quint64 outcome = set ? set->figures.value(figure).outcome : 0;
            if (asked.contains(figure)) {
                round_.reads.push_back({ ref, figure, outcome });
            } else if (entry) {
                entry->readAt[figure] = outcome;
                told.push_back(ref);
            }
        }
    }
    starting_ = false;
    heardEarly_.clear();
    prune();
    tell(told);
    if (!inFlight_)
        return; // another round started from inside a reader's ask
    if (round_.awaited.empty()) {
        endRound();
        return;
    }
    roundLimit_ = std::make_unique<platform::RunLoopTimer>(
        std::chrono::duration<double>(delays_.limit), false, platform::RunLoopModes::common(), [this] {
            round_.unanswered = true;
            endRound();
        });
    roundLimit_->start();
}

void OwedReads::heard(quint64 serial, bool withRows)
{
    if (!inFlight_)
        return;
    if (starting_ && !round_.awaited.count(serial)) {
        // Perhaps the answer of the ask being made: its reader's asks are
        // counted once it returns.
        heardEarly_.emplace_back(serial, withRows);
        return;
    }
    if (round_.awaited.erase(serial) == 0)
        return;
    round_.unanswered = round_.unanswered || !withRows;
    if (round_.awaited.empty() && !starting_)
        endRound();
}

void OwedReads::endRound()
{
    inFlight_ = false;
    roundLimit_.reset();
    const Round round = std::exchange(round_, {});
    dropLoggedOut();
    prune();
    const std::shared_ptr<const void> account = round.account.lock();
    const bool answered = round.asked && !round.unanswered;
    // The server answered every read asked after those outcomes: a page that
    // shows a figure nobody showed meanwhile reads it anew when it opens.
    if (Set* set = setOf(account); set && answered) {
        for (auto it = set->figures.begin(); it != set->figures.end();) {
            const bool shown = std::any_of(readers_.begin(), readers_.end(), [&](const Reader& r) {
                return r.ref.get() && r.account.lock() == account && r.shows.contains(it.key());
            });
            it = !shown && it->outcome <= round.outcome ? set->figures.erase(it) : std::next(it);
        }
        prune();
    }
    const std::shared_ptr<const void> active = activeAccount();
    Set* set = setOf(active);
    if (!set)
        return; // nothing owed by the active account; another's set waits for it
    if (active != account) {
        // The customer changed account while the round was out.
        roundSoon();
        return;
    }
    // A read of the round that its answer did not settle (not one owed anew
    // by an outcome that came while it was out).
    const bool leftOwed = std::any_of(round.reads.begin(), round.reads.end(), [&](const Asked& read) {
        auto* reader = dynamic_cast<IOwedReader*>(read.reader.get());
        const Reader* entry = reader ? find(reader) : nullptr;
        return entry && set->figures.value(read.figure).outcome == read.outcome && stale(*entry, read.figure);
    });
    if (round.asked && (round.unanswered || leftOwed)) {
        // Reads the server left unanswered: the next round waits, longer
        // each time, unless a trade logon comes first.
        roundAfter(set->wait);
        set->wait = std::min(set->wait * 2, delays_.longest);
    } else if (!staleReaders(active).empty()) {
        // An outcome that came while the round was out, or a page opened:
        // while the server answers, their reads go now.
        roundSoon();
    } else {
        // Nothing a page shows is owed: a round asks again after the same
        // wait, for a page opened meanwhile whose own read went unanswered.
        roundAfter(set->wait);
    }
}

void OwedReads::roundSoon()
{
    // On the next pass: the outcomes told together (a batch of time-outs)
    // share the round, and no reader is asked from inside an answer.
    roundAfter(std::chrono::milliseconds(0));
}

void OwedReads::roundAfter(std::chrono::milliseconds wait)
{
    nextRound_ = std::make_unique<platform::RunLoopTimer>(std::chrono::duration<double>(wait), false,
        platform::RunLoopModes::common(), [this] { startRound(); });
    nextRound_->start();
}

void OwedReads::prune()
{
    std::erase_if(readers_, [](const Reader& r) { return !r.ref.get(); });
    for (Set& set : sets_) {
        const std::shared_ptr<const void> account = set.account.lock();
        for (auto it = set.figures.begin(); it != set.figures.end();) {
            bool shown = false;
            bool staleSomewhere = false;
            for (const Reader& reader : readers_) {
                if (reader.account.lock() != account || !reader.shows.contains(it.key()))
                    continue;
                shown = true;
                staleSomewhere = staleSomewhere || reader.readAt.value(it.key()) < it->outcome;
            }
            it = shown && !staleSomewhere ? set.figures.erase(it) : std::next(it);
        }
    }
    // An account that owes nothing any more: its waits start anew.
    std::erase_if(sets_, [](const Set& set) { return set.figures.isEmpty(); });
    if (!sets_.empty())
        return;
    nextRound_.reset();
    if (std::exchange(listening_, false)) {
        DMNotificationCenter::getInstance()->removeObserver(this);
        NotificationCenter::getInstance()->removeObserver(static_cast<const void*>(this));
    }
}

void OwedReads::tell(const std::vector<DataModelObserverRef>& readers)
{
    for (const DataModelObserverRef& ref : readers) {
        if (auto* reader = dynamic_cast<IOwedReader*>(ref.get()))
            reader->owedReadsChanged();
    }
}

void OwedReads::listen()
{
    if (std::exchange(listening_, true))
        return;
    // What was asked on the connection before may be lost with it: a new
    // round goes at each trade logon, and its asks join those still waiting
    // to be written.
    DMNotificationCenter::getInstance()->addObserver(static_cast<const void*>(this),
        TypedNotificationCenter::PlainHandler([this] {
            dropLoggedOut();
            if (setOf(activeAccount()))
                startRound();
        }),
        NetworkFactory::kServerServes, QVariant(int(NetworkFactory::kTrade)));
    NotificationCenter::getInstance()->addObserver(static_cast<const void*>(this),
        TypedNotificationCenter::PlainHandler([this] { dropLoggedOut(); }), kLogout);
    // An account that owes becomes active: its pages read at their set-up,
    // and a round follows what they asked.
    NotificationCenter::getInstance()->addObserver(static_cast<const void*>(this),
        TypedNotificationCenter::PlainHandler([this] {
            dropLoggedOut();
            if (inFlight_)
                return;
            if (setOf(activeAccount()))
                roundSoon();
            else
                nextRound_.reset();
        }),
        kActiveAccountChanged);
}
