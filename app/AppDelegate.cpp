#include "app/AppDelegate.h"

#include "app/MainWindowFactory.h"
#include "app/PageLibraries.h"
#include "app/SharedServices.h"
#include "compliance/ComplianceDataModels.h"
#include "compliance/ui/RiskGateWindows.h"
#include "core/DMCDataCache.h"
#include "core/DMNotificationCenter.h"
#include "core/DMServerManager.h"
#include "core/DataModelFactory.h"
#include "core/UserDefaultConfig.h"
#include "login/LoginDataModels.h"
#include "platform/PendingWrites.h"
#include "platform/TlsTrust.h"
#include "platform/UserFolder.h"
#include "quotes/requests/QuoteDataModels.h"
#include "session/IdleLock.h"
#include "session/WindowController.h"
#include "session/ui/FrontWindow.h"
#include "session/ui/IdleInputFilter.h"
#include "session/ui/SessionWindows.h"
#include "shell/ShellDataModels.h"
#include "shell/pages/ActionOutcomeRelay.h"
#include "shell/windows/LoginWindowController.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "trading/security/StockManager.h"
#include "transfer/TransferDataModels.h"

#include <QApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>

namespace {
// CA certificates the user trusts besides the system's, in "Config/".
constexpr char kTrustFile[] = "ca.crt";
} // namespace

AppDelegate::AppDelegate() = default;

AppDelegate::~AppDelegate()
{
    applicationWillTerminate();
}

void AppDelegate::applicationWillTerminate()
{
    // What a store could not write yet goes before the stores do; only the
    // first end may wait for a lock another process holds.
    if (!wroteOwedWrites_) {
        wroteOwedWrites_ = true;
        if (!platform::writeOwedWrites())
            qWarning() << "some settings could not be written at quit";
    }
    if (inputFilter_)
        qApp->removeEventFilter(inputFilter_);
    inputFilter_ = nullptr;
    ActionOutcomeRelay::setAnyWindow(nullptr);
    windowController.reset();
    mainWindow_.reset();
    windows_.reset();
    riskWindows_.reset();
    idleLock_.reset();
    releaseSharedServices();
}

bool AppDelegate::createProfileFolder()
{
    const QString config = platform::UserFolder::configPath();
    return QFileInfo(config).isDir() || QDir().mkpath(config);
}

void AppDelegate::bringToFront()
{
    bringClientToFront(
        mainWindow_ ? mainWindow_->window() : nullptr, windows_ ? windows_->loginWindow() : nullptr);
}

void AppDelegate::applicationDidFinishLaunching()
{
    userDefaultConfig = UserDefaultConfig::getInstance();

    idleLock_ = std::make_unique<IdleLock>();
    inputFilter_ = new IdleInputFilter([lock = idleLock_.get()] { lock->userInput(); }, this);
    qApp->installEventFilter(inputFilter_);

    if (!createProfileFolder())
        qWarning() << "cannot create the per-user folder" << platform::UserFolder::path();
    const QString trust = platform::UserFolder::configFilePath(QString::fromLatin1(kTrustFile));
    if (QFileInfo::exists(trust) && platform::TlsTrust::addCaCertificatesFromFile(trust) == 0)
        qWarning() << "no certificate could be read from" << trust;

    registerCoreDataModels();
    registerLoginDataModels();
    registerShellDataModels();
    registerComplianceDataModels();
    registerQuotesDataModels();
    registerTradingDataModels();
    registerTransferDataModels();
    installPageLibraries();
    DMServerManager::getInstance();
    StockManager::getInstance();

    windows_ = std::make_unique<AppSessionWindows>();
    mainWindow_ = std::make_unique<WidgetMainWindowOpener>(
        [this] { return makeMainWindow([this](QWidget* window) { return makeMenuBar(window); }); });
    windows_->setFallbackWindow([this]() -> QWidget* { return mainWindow_->window(); });
    riskWindows_
        = std::make_unique<RiskGateWindows>([this]() -> QWidget* { return windows_->loginWindow(); });
    ActionOutcomeRelay::setAnyWindow(windows_->anyWindowAlerts());

    WindowController::Services services;
    services.windows = windows_.get();
    services.mainWindow = mainWindow_.get();
    services.riskWindows = riskWindows_.get();
    services.quit = [this] { terminate(); };
    windowController = std::make_unique<WindowController>(services);
    windowController->launch();
}

void AppDelegate::terminate()
{
    // After the current event: the window that asked may still be closing.
    // exit(), not quit(): quit() asks every window left to close and gives
    // up when one does not, which would leave the process running without
    // a window; the session has closed its windows already.
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

QMenuBar* AppDelegate::makeMenuBar(QWidget* parent)
{
    auto* bar = new QMenuBar(parent);
    QMenu* app = bar->addMenu(QStringLiteral("Lumora"));
    app->addAction(QStringLiteral("清除缓存"), this, [] { clearBuffersMenuItemClicked(); });
    QMenu* links = bar->addMenu(QStringLiteral("链接"));
    const QString titles[] = { QStringLiteral("手机客户端（苹果）"), QStringLiteral("手机客户端（安卓）"),
        QStringLiteral("手机网站"), QStringLiteral("官方网站"), QStringLiteral("网上商城") };
    for (int tag = 1; tag <= 5; ++tag)
        links->addAction(titles[tag - 1], this, [tag] { linkMenuItemClicked(tag); });
    return bar;
}

void AppDelegate::clearBuffersMenuItemClicked()
{
    DMNotificationCenter::getInstance()->postNotification(DMCDataCache::kClearCachesNotification);
}

QUrl AppDelegate::linkUrl(int tag)
{
    static const char* const paths[] = { "/app/ios.html", "/app/android.html", "/m/", "/", "/shop/" };
    if (tag < 1 || tag > 5)
        return QUrl();
    return LoginWindowController::pageUrl(paths[tag - 1]);
}

void AppDelegate::linkMenuItemClicked(int tag)
{
    const QUrl url = linkUrl(tag);
    if (url.isValid())
        QDesktopServices::openUrl(url);
}
