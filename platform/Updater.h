#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace platform {

class UserDefaults;

// The update check offered at the login window. The feed address comes from
// the user defaults ("SUFeedURL"); with none configured a check does nothing.
// The feed is a property list with "version" and "url" (the download page);
// a newer version than ours is announced, nothing is installed. The check
// runs in the background and never blocks. Main thread only.
class Updater final : public QObject {
    Q_OBJECT
public:
    static constexpr char kFeedURLKey[] = "SUFeedURL";
    static constexpr qint64 kMaxFeedBytes = 1024 * 1024;
    static constexpr int kTimeoutMs = 30000;

    static Updater& sharedUpdater();

    // Null defaults are the standard user defaults.
    explicit Updater(UserDefaults* defaults = nullptr, QObject* parent = nullptr);
    ~Updater() override;

    void setAutomaticallyChecksForUpdates(bool on) { automatic_ = on; }
    bool automaticallyChecksForUpdates() const { return automatic_; }
    // Our version; the application's version by default.
    void setCurrentVersion(const QString& version) { currentVersion_ = version; }
    QString currentVersion() const;

    // Starts a check unless automatic checks are off, no feed is set, or one
    // is already running. Answers whether a check started.
    bool checkForUpdatesInBackground();
    bool isChecking() const { return !reply_.isNull(); }

signals:
    void updateAvailable(const QString& version, const QUrl& downloadUrl);
    // Every started check ends here; false for a feed that could not be read.
    void checkFinished(bool succeeded);

private:
    void finish(QNetworkReply* reply);
    UserDefaults& defaults() const;

    UserDefaults* defaults_;
    QNetworkAccessManager* network_ = nullptr;
    QPointer<QNetworkReply> reply_;
    QString currentVersion_;
    bool automatic_ = false;
};

} // namespace platform
