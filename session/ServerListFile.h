#pragma once

#include <QList>
#include <QString>
#include <optional>

// The user's server list ("Config/ServerInfo.plist") in the form the client
// stores it: addresses and ports enciphered, the first server of each list
// selected. ./run and tests point the client at a broker with it.
namespace serverlistfile {

struct Endpoint {
    QString host;
    QString port;
};

// "HOST:PORT,HOST:PORT..."; nullopt when empty or a port is not 1 to 65535.
std::optional<QList<Endpoint>> parse(const QString& text);
// Writes the file atomically; false when it cannot be written. An empty path
// is the per-user server list.
bool write(const QList<Endpoint>& quote, const QList<Endpoint>& trade, const QString& provider,
    const QString& path = QString());

} // namespace serverlistfile
