#include "ShellTestRig.h"
#include "login/Account.h"
#include "platform/PropertyList.h"

#include <QTimeZone>

using namespace shelltest;

namespace {

const QString kFuture = QStringLiteral("2099-01-01 00:00:00");

RDOMessageInfo message(int n, const QString& endDate = kFuture)
{
    RDOMessageInfo m;
    m.title = QStringLiteral("消息%1").arg(n);
    m.pd = QStringLiteral("pd%1").arg(n);
    m.pt = QString::number(n);
    m.date = QStringLiteral("2024-06-01 09:00:00");
    m.endDate = endDate;
    m.updateKey = QStringLiteral("%1|0").arg(n);
    return m;
}

std::vector<RDOMessageInfo> messages(int from, int count)
{
    std::vector<RDOMessageInfo> out;
    for (int n = from + count - 1; n >= from; --n) // newest first
        out.push_back(message(n));
    return out;
}

class MessageCenterTest : public ShellHomeFixture {
protected:
    void SetUp() override
    {
        ShellHomeFixture::SetUp();
        accounts = std::make_unique<AccountManager>();
        for (const char* number : { "010100000001", "010200000002" }) {
            auto account = std::make_shared<Account>();
            account->customerNumber = QString::fromLatin1(number);
            account->organizationCode = QString::fromLatin1(number).left(4);
            accounts->addActiveAccount(account);
        }
        accounts->setActiveLoginAccount(0);
    }
    void TearDown() override
    {
        accounts.reset();
        ShellHomeFixture::TearDown();
    }

    std::unique_ptr<MessageCenterManager> make()
    {
        return std::make_unique<MessageCenterManager>(
            nullptr, accounts.get(), [this] { return now; }, QString());
    }
    QStringList pts(MessageCenterManager& store)
    {
        QStringList out;
        for (const MessageCenterInfo& info : store.getMessageInfoObjects())
            out.append(info.pt);
        return out;
    }

    std::unique_ptr<AccountManager> accounts;
    QDateTime now = QDateTime(QDate(2024, 6, 10), QTime(12, 0), QTimeZone(8 * 3600));
};

} // namespace

TEST_F(MessageCenterTest, LaterMergesPushTheOldestOutOfAFullListNewestFirst)
{
    auto store = make();
    EXPECT_EQ(store->lastMessageInfoUpdateKey(), QStringLiteral("0|0"));
    store->updateMessageCenterInfo(messages(1, 499));
    EXPECT_EQ(store->getMessageInfoObjects().size(), 499u);
    EXPECT_EQ(store->lastMessageInfoUpdateKey(), QStringLiteral("499|0"));

    store->updateMessageCenterInfo(messages(500, 3));
    const QStringList order = pts(*store);
    ASSERT_EQ(order.size(), 500);
    EXPECT_EQ(order.mid(0, 4), (QStringList { "502", "501", "500", "499" }));
    EXPECT_EQ(order.back(), QStringLiteral("3")); // 1 and 2 dropped
    EXPECT_EQ(store->lastMessageInfoUpdateKey(), QStringLiteral("502|0"));

    // Nothing, or an empty reply, changes nothing.
    store->updateMessageCenterInfo(std::nullopt);
    store->updateMessageCenterInfo(std::vector<RDOMessageInfo> {});
    EXPECT_EQ(pts(*store), order);

    // The store comes back from the file; the other customer has nothing yet,
    // and keeps the whole of a first reply longer than 500. Later merges
    // keep that length: each new message pushes the oldest out.
    auto reloaded = make();
    EXPECT_EQ(pts(*reloaded), order);
    accounts->setActiveLoginAccount(1);
    EXPECT_TRUE(reloaded->getMessageInfoObjects().empty());
    EXPECT_EQ(reloaded->lastMessageInfoUpdateKey(), QStringLiteral("0|0"));
    reloaded->updateMessageCenterInfo(messages(1, 620));
    EXPECT_EQ(reloaded->getMessageInfoObjects().size(), 620u);
    EXPECT_EQ(pts(*reloaded).front(), QStringLiteral("620"));
    reloaded->updateMessageCenterInfo(messages(621, 2));
    const QStringList longer = pts(*reloaded);
    ASSERT_EQ(longer.size(), 620);
    EXPECT_EQ(longer.mid(0, 3), (QStringList { "622", "621", "620" }));
    EXPECT_EQ(longer.back(), QStringLiteral("3"));
    // More new messages than a full list holds: those whose place would lie
    // past its end are lost.
    accounts->setActiveLoginAccount(0);
    reloaded->updateMessageCenterInfo(messages(1000, 505));
    const QStringList replaced = pts(*reloaded);
    ASSERT_EQ(replaced.size(), 500);
    EXPECT_EQ(replaced.front(), QStringLiteral("1504"));
    EXPECT_EQ(replaced.back(), QStringLiteral("1005"));
    // Customer numbers are not in the file in clear.
    EXPECT_FALSE(platform::PropertyList::write(reloaded->messageInfoDict()).contains("010100000001"));
}

TEST_F(MessageCenterTest, AnEmptyOrWhollyExpiredListStillTakesNewMessages)
{
    auto store = make();
    // A first reply with nothing current leaves the customer an empty list.
    store->updateMessageCenterInfo(
        std::vector<RDOMessageInfo> { message(1, QStringLiteral("2024-01-01 00:00:00")) });
    EXPECT_TRUE(pts(*store).isEmpty());
    store->updateMessageCenterInfo(
        std::vector<RDOMessageInfo> { message(3, QStringLiteral("2024-06-10 13:00:00")), message(2) });
    EXPECT_EQ(pts(*store), (QStringList { "3", "2" }));
    // Everything stored has expired by the next merge.
    now = now.addYears(100);
    store->updateMessageCenterInfo(messages(4, 2));
    EXPECT_EQ(pts(*make()), (QStringList { "5", "4" }));
}

TEST_F(MessageCenterTest, ExpiryReadMarksAndUnreadCount)
{
    auto store = make();
    const QString nowText = now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    // A new customer keeps only what has not expired (an unparseable end date has not).
    store->updateMessageCenterInfo(
        std::vector<RDOMessageInfo> { message(4, QStringLiteral("2024-06-10 12:00:01")), message(3, nowText),
            message(2, QStringLiteral("bald")), message(1, QStringLiteral("2024-01-01 00:00:00")) });
    EXPECT_EQ(pts(*store), (QStringList { "4", "2" }));

    // A known customer stores new messages as they come, expired or not, and
    // drops expired ones at the next merge.
    store->updateMessageCenterInfo(
        std::vector<RDOMessageInfo> { message(5, QStringLiteral("2024-06-10 11:00:00")) });
    EXPECT_EQ(pts(*store), (QStringList { "5", "4", "2" }));
    now = now.addSecs(1);
    store->updateMessageCenterInfo(std::vector<RDOMessageInfo> { message(6), message(6) });
    EXPECT_EQ(pts(*store), (QStringList { "6", "6", "2" }));

    EXPECT_EQ(store->getUnreadMessageCount(), 3);
    store->updateReadFlagToRead(QStringLiteral("pd6"), QStringLiteral("6"));
    const auto infos = store->getMessageInfoObjects();
    EXPECT_TRUE(infos[0].readFlag);
    EXPECT_FALSE(infos[1].readFlag); // only the first of two equal entries
    EXPECT_EQ(store->getUnreadMessageCount(), 2);
    EXPECT_EQ(infos[0].formatedDate, QStringLiteral("(2024年06月01日 09:00:00)"));
    EXPECT_EQ(MessageCenterInfo::formatDate(QStringLiteral("2024/06/01")), QStringLiteral("(2024/06/01)"));

    // The read mark is in the file; a missing flag counts as unread, and a
    // flag counts by its value ("1.000" is read).
    QVariantMap dict = make()->messageInfoDict();
    for (auto it = dict.begin(); it != dict.end(); ++it) {
        if (it.key().endsWith(QStringLiteral(" - updateKey")))
            continue;
        QVariantList list = it.value().toList();
        QVariantMap first = list[0].toMap();
        EXPECT_EQ(first.value(QStringLiteral("read_flag")), QStringLiteral("1"));
        QVariantMap second = list[1].toMap();
        second.insert(QStringLiteral("read_flag"), QStringLiteral("1.000"));
        list[1] = second;
        QVariantMap last = list[2].toMap();
        last.remove(QStringLiteral("read_flag"));
        list[2] = last;
        it.value() = list;
    }
    ASSERT_TRUE(platform::PropertyList::writeFileAtomic(store->filePath(), dict));
    EXPECT_EQ(make()->getUnreadMessageCount(), 1);
    EXPECT_TRUE(make()->getMessageInfoObjects()[1].readFlag);

    // No active account: nothing to count, nothing to merge into.
    accounts->logoutAllAccount();
    auto none = make();
    EXPECT_EQ(none->getUnreadMessageCount(), 0);
    EXPECT_FALSE(none->getSecurityKey().has_value());
    none->updateMessageCenterInfo(messages(1, 3));
    EXPECT_EQ(none->messageInfoDict(), dict);
}
