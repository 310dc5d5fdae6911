// The update check: a feed from the settings, read in the background.
#include "platform/PropertyList.h"
#include "platform/Updater.h"
#include "platform/UserDefaults.h"
#include "support/Spin.h"

#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using platform::Updater;
using namespace std::chrono_literals;

namespace {

class UpdaterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString feed(const QByteArray& bytes)
    {
        const QString path = dir.filePath(QStringLiteral("feed%1.plist").arg(++feeds));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return QUrl::fromLocalFile(path).toString();
    }
    QByteArray entry(const QString& version, const QString& url)
    {
        return platform::PropertyList::write(QVariantMap { { "version", version }, { "url", url } });
    }

    QTemporaryDir dir;
    platform::UserDefaults defaults { dir.filePath(QStringLiteral("defaults.plist")) };
    int feeds = 0;
};

TEST_F(UpdaterTest, NothingHappensWithoutAFeedOrWithChecksOff)
{
    Updater updater(&defaults);
    updater.setCurrentVersion(QStringLiteral("1.0"));
    updater.setAutomaticallyChecksForUpdates(true);
    EXPECT_FALSE(updater.checkForUpdatesInBackground());
    defaults.setString(QStringLiteral("javascript:alert(1)"), Updater::kFeedURLKey);
    EXPECT_FALSE(updater.checkForUpdatesInBackground());
    defaults.setString(feed(entry("2.0", "https://example.org/get")), Updater::kFeedURLKey);
    updater.setAutomaticallyChecksForUpdates(false);
    EXPECT_FALSE(updater.checkForUpdatesInBackground());
    EXPECT_FALSE(updater.isChecking());
}

TEST_F(UpdaterTest, ANewerVersionIsAnnouncedOnce)
{
    struct Case {
        QByteArray feed;
        bool finishedOk;
        bool announced;
    };
    const Case cases[] = {
        { entry("1.2.1", "https://example.org/get"), true, true },
        { entry("1.2", "https://example.org/get"), true, false },
        { entry("0.9", "https://example.org/get"), true, false },
        { entry("3.0", "file:///etc/passwd"), true, false }, // only web pages open
        { QByteArray("not a property list"), false, false },
        { QByteArray(), false, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.feed.left(60).toStdString());
        Updater updater(&defaults);
        updater.setCurrentVersion(QStringLiteral("1.2"));
        updater.setAutomaticallyChecksForUpdates(true);
        defaults.setString(feed(c.feed), Updater::kFeedURLKey);
        std::vector<bool> finished;
        std::vector<QUrl> available;
        QObject::connect(&updater, &Updater::checkFinished, [&](bool ok) { finished.push_back(ok); });
        QObject::connect(&updater, &Updater::updateAvailable,
            [&](const QString&, const QUrl& url) { available.push_back(url); });
        ASSERT_TRUE(updater.checkForUpdatesInBackground());
        EXPECT_FALSE(updater.checkForUpdatesInBackground()); // one at a time
        ASSERT_TRUE(testsupport::spinUntil([&] { return finished.size() == 1u; }, 5s));
        EXPECT_EQ(finished[0], c.finishedOk);
        ASSERT_EQ(available.size(), c.announced ? 1u : 0u);
        if (c.announced) {
            EXPECT_EQ(available[0], QUrl("https://example.org/get"));
        }
    }
}

} // namespace
