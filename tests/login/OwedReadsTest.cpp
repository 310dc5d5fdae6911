// The reads an account owes after actions of unknown outcome, driven by
// readers whose requests and answers the test plays as the request layer
// does: rounds, back-off, logons, what settles a read, pages leaving and
// joining, two accounts and their logouts.
#include "login/OwedReads.h"

#include "login/LoginTestRig.h"
#include "platform/RunLoop.h"

#include <gtest/gtest.h>

using testsupport::spinUntil;

namespace {

const QString kMoney = QString::fromLatin1(owedfigure::kMoney);
const QString kPositions = QString::fromLatin1(owedfigure::kPositions);
const QString kOrders = QString::fromLatin1(owedfigure::kOrders);

struct Page;
// A read on the wire: whose, of what, and the request it went out as.
struct Read {
    Page* page; // null once the page is gone
    QString figure;
    RequestLedger::Request request;
    bool own; // the page asked it by itself, not in a round
};

// A page: what it is asked to read again, and what it cannot ask.
struct Page : IOwedReader {
    QString name;
    QStringList shows;
    QStringList refuses;
    bool failsAtOnce = false;
    std::vector<Read>* wire = nullptr;
    QStringList* log = nullptr;
    int told = 0;
    QStringList seen; // what it was told is owed to it, last
    ~Page() override
    {
        for (Read& read : *wire) {
            if (read.page == this)
                read.page = nullptr;
        }
    }
    QStringList readOwed(const QStringList& owed) override
    {
        *log << name + QLatin1Char(':') + owed.join(QLatin1Char(','));
        QStringList asked;
        for (const QString& figure : owed) {
            if (!refuses.contains(figure))
                asked << ask(figure, false);
        }
        return asked;
    }
    QString ask(const QString& figure, bool own)
    {
        const RequestLedger::Request request = RequestLedger::sent();
        if (failsAtOnce) {
            // Answered before the ask returns, as a request that cannot go out is.
            const RequestLedger::Answering failed(request, false);
            OwedReads::getInstance()->readAnswered(this, figure, false);
            return figure;
        }
        wire->push_back({ this, figure, request, own });
        return figure;
    }
    void owedReadsChanged() override
    {
        ++told;
        seen = OwedReads::getInstance()->owedTo(this);
    }
};

// Answers the reads on the wire that `which` picks: with rows, but for the
// figures in `failing`. A page still there hears its answer as a page does,
// from inside it.
template <class Which>
void answer(std::vector<Read>& wire, Which which, const QStringList& failing, bool pageHears = true)
{
    std::vector<Read> answered;
    std::erase_if(wire, [&](const Read& read) {
        if (!which(read))
            return false;
        answered.push_back(read);
        return true;
    });
    for (const Read& read : answered) {
        const bool withRows = !failing.contains(read.figure);
        RequestLedger::Answering answering(read.request, withRows);
        if (read.page && pageHears)
            OwedReads::getInstance()->readAnswered(read.page, read.figure, withRows);
    }
}

class OwedReadsTest : public logintest::HomeFixture {
protected:
    void SetUp() override
    {
        HomeFixture::SetUp();
        AccountManager::getInstance()->addActiveAccount(first);
    }
    static std::shared_ptr<Account> customer(const char* number)
    {
        auto account = std::make_shared<Account>();
        account->customerNumber = QString::fromLatin1(number);
        return account;
    }
    static void makeActive(const std::shared_ptr<Account>& account)
    {
        AccountManager::getInstance()->addActiveAccount(account);
        NotificationCenter::getInstance()->postNotification(2);
    }
    static void logOut(const std::shared_ptr<Account>& account)
    {
        AccountManager* accounts = AccountManager::getInstance();
        const std::shared_ptr<Account> active = accounts->getActiveLoginAccount();
        accounts->setActiveLoginAccount(AccountManager::findItemInArray(*account, accounts->loginAccounts()));
        accounts->logoutCurrentActiveAccount();
        const auto& left = accounts->loginAccounts();
        const auto still = std::find(left.begin(), left.end(), active);
        accounts->setActiveLoginAccount(still != left.end() ? still - left.begin() : left.empty() ? -1 : 0);
        NotificationCenter::getInstance()->postNotification(1);
        NotificationCenter::getInstance()->postNotification(2);
    }
    static constexpr std::chrono::milliseconds kFirst { 3'600'000 };
    const std::shared_ptr<Account> first = customer("010100000001");
    const std::shared_ptr<Account> second = customer("010100000002");
};

} // namespace

// Page A shows money and positions; page B, opened later, today's orders.
// Steps: O an action the first account sent has an unknown outcome (Q: its
// failure's own handler has A ask money by itself), o one the second account
// sent; R the next round is asked; a, e, f the reads out answered with rows,
// money failing, or all failing; i the reads out answered with rows, A
// hearing none of them (it asked again since); z A's reads fail before its
// asks return; w A tells money read outside any answer (from a timer, say);
// q A asks money by itself; b A's own reads answered with rows;
// r A cannot ask money; X A left; D A gone without leaving; ! a round still
// out; J B opened (shown out of date at once); j B reads for itself at its
// opening, answered with rows; L a trade logon; C the second account active,
// c the first again (the pages join anew, as they do); G the first account
// logs out, g the second; T the next round's reads go unanswered past its
// limit; P a pass of the loop. Whatever the steps, each page was last told
// what is owed to it.
TEST_F(OwedReadsTest, EachReadIsOwedUntilItsOwnRowsComeOneRoundAtATime)
{
    const struct {
        const char* way;
        const char* steps;
        QStringList asks; // each reader's reads asked, round by round
        QStringList owedToA;
        bool owes;
        int wait; // the next round's wait, in first waits
    } rows[] = {
        { "answered at once", "ORa", { "A:money,positions" }, {}, false, 0 },
        { "an error leaves its own read owed", "ORe", { "A:money,positions" }, { kMoney }, true, 1 },
        { "the logon asks what is still owed", "OReLa", { "A:money,positions", "A:money" }, {}, false, 0 },
        { "waits double up to the longest", "ORfLfLfLf", QStringList(4, "A:money,positions"),
            { kMoney, kPositions }, true, 4 },
        { "rounds that ask nothing grow no wait", "XOPLLL", {}, {}, true, 1 },
        { "a new outcome starts the waits anew", "ORfLfORf", QStringList(3, "A:money,positions"),
            { kMoney, kPositions }, true, 1 },
        { "outcomes told together share a round", "OORa", { "A:money,positions" }, {}, false, 0 },
        { "an outcome while a round is out is not its to settle", "OROPaRa",
            { "A:money,positions", "A:money,positions" }, {}, false, 0 },
        { "a read asked before the outcome answers nothing", "qORbe", { "A:money,positions" }, { kMoney },
            true, 1 },
        { "a read its failure's handler asked answers it", "QbRa", { "A:positions" }, {}, false, 0 },
        { "a read that cannot be asked is owed no more", "rORa", { "A:money,positions" }, {}, false, 0 },
        { "a read told outside its answer settles nothing", "ORwf", { "A:money,positions" },
            { kMoney, kPositions }, true, 1 },
        { "the page left, its reads answered", "ORX!a", { "A:money,positions" }, {}, false, 0 },
        { "the page left, its reads failing", "ORX!f", { "A:money,positions" }, {}, true, 1 },
        { "a page opened during a freeze takes part", "ORfXJLa", { "A:money,positions", "B:orders" }, {},
            false, 0 },
        { "a page opened reads for itself", "ORfJj", { "A:money,positions" }, { kMoney, kPositions }, true,
            1 },
        { "an outcome none shows waits for its page", "OROPaJRa",
            { "A:money,positions", "A:money,positions", "B:orders" }, {}, false, 0 },
        { "no page shows them", "XOP", {}, {}, true, 1 },
        { "a page gone with its reads out", "ORDJ!aRa", { "A:money,positions", "B:orders" }, {}, false, 0 },
        { "a page gone, then an outcome", "ORDOPa", { "A:money,positions" }, {}, true, 1 },
        { "a round past its limit", "TORP", { "A:money,positions" }, { kMoney, kPositions }, true, 1 },
        { "the back-off starts anew once settled", "ORfLaORf", QStringList(3, "A:money,positions"),
            { kMoney, kPositions }, true, 1 },
        // Owed by the account that sent the action, whichever is active.
        { "another account's outcome marks nothing", "COPL", {}, {}, true, 0 },
        { "it is read once its account is active", "COPcRa", { "A:money,positions" }, {}, false, 0 },
        { "an account change keeps what was owed", "ORfCL", { "A:money,positions" }, {}, true, 0 },
        { "and reads it on the way back", "ORfCcRa", QStringList(2, "A:money,positions"), {}, false, 0 },
        { "another account's logout keeps it", "COgRa", { "A:money,positions" }, {}, false, 0 },
        { "its own logout drops it", "ORfGL", { "A:money,positions" }, {}, false, 0 },
        { "its own logout, another account active", "COG", {}, {}, false, 0 },
        { "another account's outcome keeps the active one's waits", "CoRfOP", { "A:money,positions" },
            { kMoney, kPositions }, true, 1 },
        // One round at a time: the one out for the account left ends first,
        // whichever account owes; then the active account's goes.
        { "the active account's round follows the one out", "ORCoaRa", QStringList(2, "A:money,positions"),
            {}, false, 0 },
        { "and waits for it", "COoRcPaRa", QStringList(2, "A:money,positions"), {}, false, 0 },
        // Answers that settled nothing wait as unanswered ones do.
        { "answered without settling", "ORi", { "A:money,positions" }, { kMoney, kPositions }, true, 1 },
        { "reads failing before their asks return", "zORP", { "A:money,positions" }, { kMoney, kPositions },
            true, 1 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.way);
        OwedReads::resetInstance();
        AccountManager::getInstance()->logoutAllAccount();
        AccountManager::getInstance()->addActiveAccount(first);
        OwedReads* owed = OwedReads::getInstance();
        owed->setRoundDelays({ kFirst, 4 * kFirst, std::chrono::hours(9) });
        QStringList asks;
        std::vector<Read> wire;
        auto a = std::make_unique<Page>();
        Page b;
        a->name = QStringLiteral("A");
        a->shows = { kMoney, kPositions };
        b.name = QStringLiteral("B");
        b.shows = { kOrders };
        a->log = b.log = &asks;
        a->wire = b.wire = &wire;
        owed->join(a.get(), a->shows);
        const auto rejoin = [&] {
            if (!a)
                return;
            owed->leave(a.get());
            owed->join(a.get(), a->shows);
            a->seen = owed->owedTo(a.get()); // the page shows itself anew
        };
        const auto fail = [&](const std::function<void()>& inHandler) {
            const RequestLedger::Request order { RequestLedger::sent().serial, first };
            RequestLedger::Answering answering(order, false);
            if (inHandler)
                inHandler();
            owed->owe({ kMoney, kPositions, kOrders }, *RequestLedger::answering());
        };
        for (const char step : std::string_view(row.steps)) {
            SCOPED_TRACE(step);
            const qsizetype before = asks.size();
            switch (step) {
            case 'O':
                fail({});
                break;
            case 'Q':
                fail([&] { a->ask(kMoney, true); });
                break;
            case 'o': {
                const RequestLedger::Answering lost({ RequestLedger::sent().serial, second }, false);
                owed->owe({ kMoney, kPositions, kOrders }, *RequestLedger::answering());
                break;
            }
            case 'R':
                ASSERT_TRUE(spinUntil([&] { return asks.size() > before; }));
                break;
            case 'a':
            case 'e':
            case 'f':
                answer(
                    wire, [](const Read& read) { return !read.own; },
                    step == 'a'     ? QStringList()
                        : step == 'e' ? QStringList { kMoney }
                                      : QStringList { kMoney, kPositions, kOrders });
                break;
            case 'q':
                a->ask(kMoney, true);
                break;
            case 'b':
                answer(wire, [](const Read& read) { return read.own; }, {});
                break;
            case 'i':
                answer(
                    wire, [](const Read& read) { return !read.own; }, {}, false);
                break;
            case 'z':
                a->failsAtOnce = true;
                break;
            case 'w':
                owed->readAnswered(a.get(), kMoney, true);
                break;
            case 'r':
                a->refuses = { kMoney };
                break;
            case 'X':
                owed->leave(a.get());
                a.reset();
                break;
            case 'D':
                a.reset();
                break;
            case '!':
                EXPECT_TRUE(owed->roundInFlight());
                break;
            case 'J':
                owed->join(&b, b.shows);
                EXPECT_EQ(owed->owedTo(&b), QStringList { kOrders });
                EXPECT_EQ(b.told, 1);
                break;
            case 'j':
                b.ask(kOrders, true);
                answer(wire, [&](const Read& read) { return read.page == &b && read.own; }, {});
                EXPECT_TRUE(owed->owedTo(&b).isEmpty());
                break;
            case 'T':
                owed->setRoundDelays({ kFirst, 4 * kFirst, std::chrono::milliseconds(0) });
                break;
            case 'P': {
                bool passed = false;
                platform::RunLoopTimer pass(
                    0.0, false, platform::RunLoopModes::common(), [&] { passed = true; });
                pass.start();
                ASSERT_TRUE(spinUntil([&] { return passed; }));
                break;
            }
            case 'L':
                DMNotificationCenter::getInstance()->postNotification(
                    NetworkFactory::kServerServes, QVariant(int(NetworkFactory::kTrade)));
                break;
            case 'C':
                AccountManager::getInstance()->addActiveAccount(second);
                // Not the new account's, even before the change is told.
                if (a)
                    EXPECT_TRUE(owed->owedTo(a.get()).isEmpty());
                NotificationCenter::getInstance()->postNotification(2);
                rejoin();
                break;
            case 'c':
                makeActive(first);
                rejoin();
                break;
            case 'G':
                logOut(first);
                EXPECT_FALSE(owed->owes());
                break;
            case 'g':
                logOut(second);
                rejoin();
                break;
            }
        }
        // Nothing more goes by itself: every wait is an hour or more.
        ASSERT_TRUE(spinUntil([&] { return !owed->roundInFlight(); }));
        EXPECT_EQ(asks, row.asks);
        if (a) {
            EXPECT_EQ(owed->owedTo(a.get()), row.owedToA);
            EXPECT_EQ(a->seen, row.owedToA);
        }
        EXPECT_EQ(b.seen, owed->owedTo(&b));
        EXPECT_EQ(owed->owes(), row.owes);
        EXPECT_EQ(owed->roundWait(), row.wait * kFirst);
        EXPECT_EQ(platform::NotificationCenter::defaultCenter().registrationCount(owed) > 0, row.owes);
    }
}
