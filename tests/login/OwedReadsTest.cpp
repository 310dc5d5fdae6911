// The reads an account owes after actions of unknown outcome, driven by
// readers whose answers the test scripts: rounds, back-off, logons, what
// settles a read, pages leaving and joining, account changes and logouts.
#include "login/OwedReads.h"

#include "login/LoginTestRig.h"
#include "platform/RunLoop.h"

#include <gtest/gtest.h>

using testsupport::spinUntil;

namespace {

const QString kMoney = QString::fromLatin1(owedfigure::kMoney);
const QString kPositions = QString::fromLatin1(owedfigure::kPositions);
const QString kOrders = QString::fromLatin1(owedfigure::kOrders);

// A page: what it is asked to read again, and what it cannot ask.
struct Page : IOwedReader {
    QString name;
    QStringList refuses;
    QStringList out; // asked and not yet answered
    QStringList* log = nullptr;
    int told = 0;
    QStringList seen; // what it was told is owed to it, last
    QStringList readOwed(const QStringList& owed) override
    {
        *log << name + QLatin1Char(':') + owed.join(QLatin1Char(','));
        for (const QString& figure : owed) {
            if (!refuses.contains(figure))
                out << figure;
        }
        return out;
    }
    void owedReadsChanged() override
    {
        ++told;
        seen = OwedReads::getInstance()->owedTo(this);
    }
    // Answers its reads still out: with rows, except those in `failing`.
    void answer(const QStringList& failing)
    {
        for (const QString& figure : std::exchange(out, {}))
            OwedReads::getInstance()->readAnswered(this, figure, !failing.contains(figure));
    }
};

class OwedReadsTest : public logintest::HomeFixture {
protected:
    void SetUp() override
    {
        HomeFixture::SetUp();
        AccountManager::getInstance()->addActiveAccount(customer("010100000001"));
    }
    static std::shared_ptr<Account> customer(const char* number)
    {
        auto account = std::make_shared<Account>();
        account->customerNumber = QString::fromLatin1(number);
        return account;
    }
    static constexpr std::chrono::milliseconds kFirst { 3'600'000 };
};

} // namespace

// Page A shows money and positions; page B, opened later, today's orders.
// Steps: O an unknown outcome of an order; R the next round is asked; a, e,
// f the reads out answered with rows, money failing, or all failing; b A's
// money answered by a read asked before the outcome; r A cannot ask money;
// X A left; D A gone without leaving; J B opened (shown out of date at
// once); j B's own read at its opening answered with rows; L a trade logon;
// C another account active; G a logout; T the next round's reads go
// unanswered past its limit; P a pass of the loop. Whatever the steps, each
// page was last told what is owed to it.
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
        { "outcomes told together share a round", "OORa", { "A:money,positions" }, {}, false, 0 },
        { "an outcome while a round is out is not its to settle", "OROPaRa",
            { "A:money,positions", "A:money,positions" }, {}, false, 0 },
        { "a read asked before the outcome answers nothing", "ObRa", { "A:money,positions" }, {}, false, 0 },
        { "a read that cannot be asked is owed no more", "rORa", { "A:money,positions" }, {}, false, 0 },
        { "the page left with its reads out", "ORX", { "A:money,positions" }, {}, true, 1 },
        { "a page opened during a freeze takes part", "ORfXJLa", { "A:money,positions", "B:orders" }, {},
            false, 0 },
        { "a page opened reads for itself", "ORfJj", { "A:money,positions" }, { kMoney, kPositions }, true,
            1 },
        { "an outcome none shows waits for its page", "OROPaJRa",
            { "A:money,positions", "A:money,positions", "B:orders" }, {}, false, 0 },
        { "no page shows them", "XOP", {}, {}, true, 1 },
        { "a page gone with its reads out", "ORDJ", { "A:money,positions" }, {}, true, 1 },
        { "a page gone, then an outcome", "ORDOP", { "A:money,positions" }, {}, true, 2 },
        { "a round past its limit", "TORP", { "A:money,positions" }, { kMoney, kPositions }, true, 1 },
        { "the back-off starts anew once settled", "ORfLaORf", QStringList(3, "A:money,positions"),
            { kMoney, kPositions }, true, 1 },
        { "an account change drops what was owed", "ORfCL", { "A:money,positions" }, {}, false, 0 },
        { "a logout drops what was owed", "ORfGL", { "A:money,positions" }, {}, false, 0 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.way);
        OwedReads::resetInstance();
        OwedReads* owed = OwedReads::getInstance();
        owed->setRoundDelays({ kFirst, 4 * kFirst, std::chrono::hours(9) });
        QStringList asks;
        auto a = std::make_unique<Page>();
        Page b;
        a->name = QStringLiteral("A");
        b.name = QStringLiteral("B");
        a->log = b.log = &asks;
        owed->join(a.get(), { kMoney, kPositions });
        for (const char step : std::string_view(row.steps)) {
            SCOPED_TRACE(step);
            const qsizetype before = asks.size();
            switch (step) {
            case 'O':
                owed->owe({ kMoney, kPositions, kOrders });
                break;
            case 'R':
                ASSERT_TRUE(spinUntil([&] { return asks.size() > before; }));
                break;
            case 'a':
            case 'e':
            case 'f':
                for (Page* page : { a.get(), &b }) {
                    if (page)
                        page->answer(step == 'a' ? QStringList()
                                : step == 'e'    ? QStringList { kMoney }
                                                 : page->out);
                }
                break;
            case 'b':
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
            case 'J':
                owed->join(&b, { kOrders });
                EXPECT_EQ(owed->owedTo(&b), QStringList { kOrders });
                EXPECT_EQ(b.told, 1);
                break;
            case 'j':
                owed->readAnswered(&b, kOrders, true);
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
                AccountManager::getInstance()->addActiveAccount(customer("010100000002"));
                // Not the new account's, even before the change is told.
                EXPECT_TRUE(owed->owedTo(a.get()).isEmpty());
                NotificationCenter::getInstance()->postNotification(2);
                EXPECT_FALSE(owed->owes());
                break;
            case 'G':
                AccountManager::getInstance()->logoutAllAccount();
                NotificationCenter::getInstance()->postNotification(1);
                EXPECT_FALSE(owed->owes());
                AccountManager::getInstance()->addActiveAccount(customer("010100000001"));
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
