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

std::shared_ptr<Account> activeAccount()
{
    return AccountManager::getInstance()->getActiveLoginAccount();
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
}

OwedReads::~OwedReads()
{
    if (listening_)
        DMNotificationCenter::getInstance()->removeObserver(this);
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

bool OwedReads::stale(const Reader& reader, const QString& figure) const
{
    const auto owed = owed_.constFind(figure);
    return owed != owed_.cend() && reader.shows.contains(figure) && reader.readAt.value(figure) < *owed;
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

void OwedReads::owe(const QStringList& figures)
{
    const std::shared_ptr<Account> account = activeAccount();
    if (figures.isEmpty() || !account)
        return;
    accountChanged();
    account_ = account;
    ++outcomes_;
    for (const QString& figure : figures)
        owed_[figure] = outcomes_;
    listen();
    endRoundOfReadersGone();
    std::vector<DataModelObserverRef> told;
    for (const Reader& reader : readers_) {
        if (!staleOf(reader).isEmpty())
            told.push_back(reader.ref);
    }
    tell(told);
    // One round at a time: one in flight reads these again when it ends.
    if (!inFlight_)
        roundSoon();
}

void OwedReads::join(IOwedReader* reader, const QStringList& figures)
{
    if (!reader)
        return;
    accountChanged();
    endRoundOfReadersGone();
    Reader* entry = find(reader);
    if (!entry) {
        readers_.push_back({ DataModelObserverRef(reader), {}, {}, {} });
        entry = &readers_.back();
    }
    entry->shows = figures;
    // What it reads from now on answers every outcome so far.
    for (const QString& figure : figures)
        entry->askedAt[figure] = outcomes_;
    if (!staleOf(*entry).isEmpty())
        reader->owedReadsChanged();
}

void OwedReads::leave(const IOwedReader* reader)
{
    std::erase_if(readers_, [&](const Reader& r) { return !r.ref.get() || r.ref.refersTo(reader); });
    const std::size_t out = awaited_.size();
    std::erase_if(
        awaited_, [&](const auto& read) { return !read.first.get() || read.first.refersTo(reader); });
    if (!inFlight_ || awaited_.size() == out)
        return;
    // Its reads were never answered: the round proves nothing of them.
    roundUnanswered_ = true;
    if (awaited_.empty() && !starting_)
        endRound();
}

void OwedReads::readAnswered(const IOwedReader* reader, const QString& figure, bool withRows)
{
    if (accountChanged())
        return;
    Reader* entry = find(reader);
    if (!entry)
        return;
    // A read asked before the figure's last outcome says nothing of it.
    const bool read
        = withRows && stale(*entry, figure) && entry->askedAt.value(figure) >= owed_.value(figure);
    if (read)
        entry->readAt[figure] = outcomes_;
    const DataModelObserverRef ref = entry->ref;
    const auto awaited = std::find_if(awaited_.begin(), awaited_.end(),
        [&](const auto& r) { return r.first.refersTo(reader) && r.second == figure; });
    const bool ofRound = inFlight_ && awaited != awaited_.end();
    if (ofRound) {
        awaited_.erase(awaited);
        roundUnanswered_ = roundUnanswered_ || !withRows;
    }
    prune();
    if (read)
        tell({ ref });
    if (owed_.isEmpty())
        settle();
    else if (ofRound && awaited_.empty() && !starting_)
        endRound();
}

QStringList OwedReads::owedTo(const IOwedReader* reader) const
{
    const Reader* entry = find(reader);
    if (!entry || owed_.isEmpty() || !account_.lock() || account_.lock() != activeAccount())
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
    nextWait_ = delays.first;
}

bool OwedReads::accountChanged()
{
    if (owed_.isEmpty())
        return false;
    const std::shared_ptr<Account> owner = account_.lock();
    if (owner && owner == activeAccount())
        return false;
    dropAll();
    return true;
}

void OwedReads::dropAll()
{
    std::vector<DataModelObserverRef> told;
    for (const Reader& reader : readers_) {
        if (!staleOf(reader).isEmpty())
            told.push_back(reader.ref);
    }
    settle();
    tell(told);
}

void OwedReads::startRound()
{
    nextRound_.reset();
    if (accountChanged())
        return;
    prune();
    if (owed_.isEmpty()) {
        settle();
        return;
    }
    inFlight_ = true;
    roundUnanswered_ = false;
    roundAt_ = outcomes_;
    askedInRound_ = false;
    awaited_.clear();
    std::vector<DataModelObserverRef> told;
    // A reader may be answered, or leave, while the next one is asked: walk
    // the references.
    std::vector<DataModelObserverRef> refs;
    for (const Reader& reader : readers_)
        refs.push_back(reader.ref);
    starting_ = true;
    for (const DataModelObserverRef& ref : refs) {
        auto* reader = dynamic_cast<IOwedReader*>(ref.get());
        Reader* entry = reader ? find(reader) : nullptr;
        const QStringList owed = entry ? staleOf(*entry) : QStringList();
        if (owed.isEmpty())
            continue;
        for (const QString& figure : owed) {
            entry->askedAt[figure] = outcomes_;
            awaited_.emplace_back(ref, figure);
        }
        const QStringList asked = reader->readOwed(owed);
        askedInRound_ = askedInRound_ || !asked.isEmpty();
        // What it cannot ask now it shows nothing of: owed to it no more.
        entry = find(reader);
        for (const QString& figure : owed) {
            if (!entry || asked.contains(figure))
                continue;
            entry->readAt[figure] = outcomes_;
            std::erase_if(
                awaited_, [&](const auto& r) { return r.first.refersTo(reader) && r.second == figure; });
            told.push_back(ref);
        }
    }
    starting_ = false;
    prune();
    tell(told);
    if (owed_.isEmpty()) {
        settle();
        return;
    }
    if (!inFlight_)
        return; // ended from inside a reader's ask
    if (awaited_.empty()) {
        endRound();
        return;
    }
    roundLimit_ = std::make_unique<platform::RunLoopTimer>(
        std::chrono::duration<double>(delays_.limit), false, platform::RunLoopModes::common(), [this] {
            roundUnanswered_ = true;
            endRound();
        });
    roundLimit_->start();
}

void OwedReads::endRound()
{
    inFlight_ = false;
    awaited_.clear();
    roundLimit_.reset();
    // The server answered every read asked after those outcomes: a page that
    // shows a figure nobody showed meanwhile reads it anew when it opens.
    if (askedInRound_ && !roundUnanswered_) {
        for (auto it = owed_.begin(); it != owed_.end();) {
            const bool shown = std::any_of(readers_.begin(), readers_.end(),
                [&](const Reader& r) { return r.ref.get() && r.shows.contains(it.key()); });
            it = !shown && it.value() <= roundAt_ ? owed_.erase(it) : std::next(it);
        }
    }
    prune();
    if (owed_.isEmpty()) {
        settle();
        return;
    }
    // An outcome that came while the round was out: while the server
    // answers, its reads go now.
    const bool toAsk = std::any_of(
        readers_.begin(), readers_.end(), [&](const Reader& r) { return !staleOf(r).isEmpty(); });
    if (askedInRound_ && !roundUnanswered_ && toAsk) {
        roundSoon();
        return;
    }
    // Reads the server left unanswered, or none to ask now: the next round
    // waits, longer each time, unless a trade logon comes first.
    roundAfter(nextWait_);
    nextWait_ = std::min(nextWait_ * 2, delays_.longest);
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

void OwedReads::endRoundOfReadersGone()
{
    // A reader destroyed with reads out (without leaving) hears no answer.
    prune();
    if (inFlight_ && !starting_ && awaited_.empty())
        endRound();
}

void OwedReads::prune()
{
    std::erase_if(readers_, [](const Reader& r) { return !r.ref.get(); });
    // A reader gone with its reads out: the round proves nothing of them.
    if (std::erase_if(awaited_, [](const auto& r) { return !r.first.get(); }) > 0)
        roundUnanswered_ = true;
    for (auto it = owed_.begin(); it != owed_.end();) {
        bool shown = false;
        bool staleSomewhere = false;
        for (const Reader& reader : readers_) {
            if (!reader.shows.contains(it.key()))
                continue;
            shown = true;
            staleSomewhere = staleSomewhere || stale(reader, it.key());
        }
        it = shown && !staleSomewhere ? owed_.erase(it) : std::next(it);
    }
}

void OwedReads::settle()
{
    owed_.clear();
    inFlight_ = false;
    awaited_.clear();
    nextRound_.reset();
    roundLimit_.reset();
    nextWait_ = delays_.first;
    account_.reset();
    if (std::exchange(listening_, false))
        DMNotificationCenter::getInstance()->removeObserver(this);
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
            if (accountChanged() || owed_.isEmpty())
                return;
            startRound();
        }),
        NetworkFactory::kServerServes, QVariant(int(NetworkFactory::kTrade)));
    for (const int32_t type : { kLogout, kActiveAccountChanged })
        NotificationCenter::getInstance()->addObserver(static_cast<const void*>(this),
            TypedNotificationCenter::PlainHandler([this] { accountChanged(); }), type);
}
