#include "platform/UserFolder.h"

#include <QDir>
#include <QStandardPaths>
#include <QtDebug>

namespace platform::UserFolder {

namespace {

QString ensureFolder(const QString& path)
{
    QDir dir(path);
    if (!dir.exists() && !dir.mkpath(QStringLiteral(".")))
        qWarning("per-user folder %s cannot be made", qUtf8Printable(path));
    return dir.absolutePath();
}

} // namespace

QString path()
{
    const QString home = qEnvironmentVariable("LUMORA_HOME");
    if (!home.isEmpty())
        return ensureFolder(home);
    return ensureFolder(
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/LumoraMac"));
}

QString configPath()
{
    return ensureFolder(path() + QStringLiteral("/Config"));
}

QString filePath(const QString& name)
{
    return path() + QLatin1Char('/') + name;
}

QString configFilePath(const QString& name)
{
    return configPath() + QLatin1Char('/') + name;
}

} // namespace platform::UserFolder
