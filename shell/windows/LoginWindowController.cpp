#include "shell/windows/LoginWindowController.h"

#include "core/SystemInfo.h"
#include "login/LoginManager.h"
#include "platform/Updater.h"

#include <QPointer>

LoginWindowController::LoginWindowController(Services services, QObject* parent)
    : QObject(parent)
    , form_(std::make_unique<LoginViewController>(services.form))
    , loginManager(services.form.loginManager ? services.form.loginManager : LoginManager::getInstance())
    , systemInfo(services.systemInfo ? services.systemInfo : SystemInfo::getInstance())
    , updater(services.updater ? services.updater : &platform::Updater::sharedUpdater())
{
    connect(updater, &platform::Updater::updateAvailable, this, &LoginWindowController::updateAvailable);
    form_->awakeFromNib();
}

void LoginWindowController::setAlertPresenter(AlertPresenter* alerts)
{
    alerts_ = alerts ? alerts : AlertPresenter::headless();
    form_->setAlertPresenter(alerts);
}

void LoginWindowController::updateAvailable(const QString& version, const QUrl& downloadUrl)
{
    AlertRequest request = AlertRequest::tip(QStringLiteral("发现新版本 %1，是否前往下载？").arg(version));
    request.alternateButton = QStringLiteral("取消");
    alerts_->runAlert(request, [this, alive = QPointer<LoginWindowController>(this), downloadUrl](int answer) {
        if (alive && answer == 1)
            emit openUrlRequested(downloadUrl);
    });
}

LoginWindowController::~LoginWindowController() = default;

QString LoginWindowController::windowTitle() const
{
    return QStringLiteral("%1 V%2").arg(QStringLiteral("Lumora 网上交易"), systemInfo->appVersion().value_or(QString()));
}

void LoginWindowController::windowDidLoad()
{
    coverShown_ = true;
    launching_ = true;
    emit changed();
    checkForUpdate();
}

void LoginWindowController::checkForUpdate()
{
    updater->setAutomaticallyChecksForUpdates(true);
    updater->checkForUpdatesInBackground();
}

void LoginWindowController::appLoginComplete()
{
    form_->appLoginComplete();
    launching_ = false;
    coverShown_ = false;
    emit changed();
    loginManager->requestSystemMessage(this);
}

void LoginWindowController::windowWillClose()
{
    coverShown_ = false;
    emit changed();
}

void LoginWindowController::querySystemMessage(
    DataModel*, const QString&, const std::vector<RDOSystemMessage>& list)
{
    if (!list.empty())
        emit systemMessagesReceived(list);
}

QUrl LoginWindowController::pageUrl(const char* path)
{
    return QUrl(QString::fromLatin1(kBrokerSite) + QString::fromLatin1(path));
}
