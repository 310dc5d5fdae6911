#include "app/AppDelegate.h"
#include "core/SystemInfo.h"
#include "platform/QtTranslations.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lumora"));
    // Windows come and go between the login and the main window; the session
    // decides when the application ends.
    QApplication::setQuitOnLastWindowClosed(false);
    // Without the system's translations Qt's own texts simply stay in English.
    const auto qtTexts = platform::installQtTranslations();
    SystemInfo::setInfoDictionary({ { QStringLiteral("CFBundleVersion"), QStringLiteral(LUMORA_VERSION) },
        { QStringLiteral("App identifier"), QStringLiteral("lumora") } });

    AppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    const int result = app.exec();
    delegate.applicationWillTerminate();
    return result;
}
