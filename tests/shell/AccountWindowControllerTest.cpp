// The saved-accounts window's controller.
#include "WindowTestRig.h"

#include "platform/PropertyList.h"
#include "shell/windows/AccountWindowController.h"
#include "shell/windows/SessionNotifications.h"

using namespace logintest;
using namespace windowtest;

namespace {

class AccountWindowControllerTest : public HomeFixture {
protected:
    void SetUp() override
    {
        HomeFixture::SetUp();
        window = std::make_unique<AccountWindowController>();
        NotificationCenter::getInstance()->addObserver(&changes, [this] { ++changes; }, sessionnotify::kSavedAccountsChanged);
    }
    void TearDown() override
    {
        NotificationCenter::getInstance()->removeObserver(&changes);
        window.reset();
        HomeFixture::TearDown();
    }
    bool add(const QString& number)
    {
        window->setCustomerNumberText(number);
        return window->addButtonClicked();
    }
    QStringList column(const char* id) const
    {
        QStringList cells;
        for (int row = 0; row < window->numberOfRowsInTableView(); ++row)
            cells << window->objectValue(QString::fromLatin1(id), row);
        return cells;
    }
    QVariantList storedList() const
    {
        return platform::PropertyList::readFile(AccountManager::filePath())
            .value_or(QVariant())
            .toMap()
            .value(QStringLiteral("accountList"))
            .toList();
    }

    std::unique_ptr<AccountWindowController> window;
    int changes = 0;
};

TEST_F(AccountWindowControllerTest, AddDeleteAndRemoveAll)
{
    ASSERT_TRUE(add(QStringLiteral("010100000001")));
    ASSERT_TRUE(add(QStringLiteral("010200000002")));
    EXPECT_TRUE(window->customerNumberText().isEmpty());
    EXPECT_EQ(column(AccountWindowController::kSortNumberColumn), (QStringList { "0", "1" }));
    EXPECT_EQ(column(AccountWindowController::kLoginTypeColumn), (QStringList { "普通交易", "普通交易" }));
    EXPECT_EQ(column(AccountWindowController::kCustomerNumberColumn), (QStringList { "010100000001", "010200000002" }));
    EXPECT_EQ(storedList().size(), 2);
    EXPECT_EQ(changes, 0); // adding posts nothing

    // With protection on the table masks; deleting still uses the full number.
    UserDefaultConfig::getInstance()->setAccountProtectOption(true);
    EXPECT_EQ(column("customerNumberColumn"), (QStringList { "010100****01", "010200****02" }));
    window->deleteButtonClicked(-1);
    EXPECT_EQ(changes, 0);
    window->deleteButtonClicked(0);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(AccountManager::getInstance()->getAccountArray(0), QStringList { "010200000002" });
    window->deleteButtonClicked(0);
    EXPECT_EQ(window->numberOfRowsInTableView(), 0);
    EXPECT_TRUE(storedList().isEmpty());

    add(QStringLiteral("010100000001"));
    window->removeAllButtonClicked();
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(window->numberOfRowsInTableView(), 0);
    EXPECT_TRUE(storedList().isEmpty());
}

TEST_F(AccountWindowControllerTest, DuplicateKeepsItsRecordAndEmptySavesABareRecord)
{
    auto saved = std::make_shared<Account>();
    saved->customerNumber = QStringLiteral("010100000001");
    saved->gd_ShenA_account = QStringLiteral("0101000001");
    AccountManager::getInstance()->addAccount(saved);
    ASSERT_TRUE(add(QStringLiteral("010200000002")));
    ASSERT_TRUE(add(QStringLiteral("010100000001")));
    EXPECT_EQ(column(AccountWindowController::kCustomerNumberColumn), (QStringList { "010100000001", "010200000002" }));
    // The shareholder account of the saved record is still there.
    EXPECT_EQ(AccountManager::getInstance()->getAccountArray(2), QStringList { "0101000001" });

    // An empty field saves a record without a customer number: in the file,
    // in no list. A second one keeps the first.
    ASSERT_TRUE(add(QString()));
    ASSERT_TRUE(add(QString()));
    EXPECT_EQ(AccountManager::getInstance()->getSavedAccountsCount(), 3u);
    ASSERT_EQ(storedList().size(), 3);
    EXPECT_EQ(window->numberOfRowsInTableView(), 2);
    EXPECT_EQ(
        AccountManager::getInstance()->getAccountArray(0), (QStringList { "010100000001", "010200000002" }));

    // Text the field's formatter never admits is not saved, and kept as it is.
    for (const QString& bad :
        { QStringLiteral("   "), QStringLiteral("12ab"), QStringLiteral("1234567890123") }) {
        SCOPED_TRACE(bad.toStdString());
        EXPECT_FALSE(add(bad));
        EXPECT_EQ(window->customerNumberText(), bad);
    }
    EXPECT_EQ(AccountManager::getInstance()->getSavedAccountsCount(), 3u);
    EXPECT_EQ(changes, 0);
}

} // namespace
