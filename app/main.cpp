#include "app/AppDelegate.h"
#include "core/SystemInfo.h"
#include "platform/InstanceGuard.h"
#include "platform/QtTranslations.h"
#include "platform/UserFolder.h"
#include "shell/ui/RunAlert.h"

#include <QApplication>
#include <QMessageBox>
#include <memory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumora"));
    // One client per user folder: a second start hands over to the running
    // one before it reads or writes anything there, and goes.
    platform::InstanceGuard guard(platform::UserFolder::path());
    switch (guard.acquire()) {
    case platform::InstanceGuard::Role::HandedOver:
        return 0;
    case platform::InstanceGuard::Role::NoAnswer: {
        // Never a second client on the folder, and never an end the customer
        // takes for a start that failed.
        const std::unique_ptr<QMessageBox> box(RunAlert::alertWithMessageText(QStringLiteral("温馨提示"),
            QString(), QString(), QString(), QStringLiteral("客户端已在运行，请稍后再试。")));
        box->exec();
        return 1;
    }
    case platform::InstanceGuard::Role::First:
    case platform::InstanceGuard::Role::Unguarded:
        break;
    }
    // Windows come and go between the login and the main window; the session
    // decides when the application ends.
    QApplication::setQuitOnLastWindowClosed(false);
    // Without the system's translations Qt's own texts simply stay in English.
    const auto qtTexts = platform::installQtTranslations();
    SystemInfo::setInfoDictionary({ { QStringLiteral("CFBundleVersion"), QStringLiteral(LUMORA_VERSION) },
        { QStringLiteral("App identifier"), QStringLiteral("lumora") } });

    AppDelegate delegate;
    QObject::connect(
        &guard, &platform::InstanceGuard::activationRequested, &delegate, &AppDelegate::bringToFront);
    delegate.applicationDidFinishLaunching();
    const int result = app.exec();
    guard.stopListening();
    delegate.applicationWillTerminate();
    return result;
}
