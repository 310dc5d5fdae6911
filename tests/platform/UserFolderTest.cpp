#include "platform/UserFolder.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(UserFolder, EnvironmentReplacesTheFolderAndMissingFoldersAreMade)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QByteArray saved = qgetenv("LUMORA_HOME");
    const QString home = temp.path() + "/nested/home";
    qputenv("LUMORA_HOME", home.toUtf8());

    EXPECT_EQ(platform::UserFolder::path(), QDir(home).absolutePath());
    EXPECT_TRUE(QDir(home).exists());
    EXPECT_EQ(platform::UserFolder::configPath(), QDir(home).absolutePath() + "/Config");
    EXPECT_TRUE(QDir(home + "/Config").exists());
    EXPECT_EQ(
        platform::UserFolder::configFilePath("Menu.plist"), QDir(home).absolutePath() + "/Config/Menu.plist");
    EXPECT_EQ(platform::UserFolder::filePath("UserDefaults.plist"),
        QDir(home).absolutePath() + "/UserDefaults.plist");

    qunsetenv("LUMORA_HOME");
    QStandardPaths::setTestModeEnabled(true);
    EXPECT_TRUE(platform::UserFolder::path().endsWith("/LumoraMac"));
    QDir(platform::UserFolder::path()).removeRecursively();
    QStandardPaths::setTestModeEnabled(false);
    if (!saved.isEmpty())
        qputenv("LUMORA_HOME", saved);
}
