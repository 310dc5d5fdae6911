#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// What a socket can dial: the one rule for the address and port texts of the
// server lists and settings. The socket dials through it, and whatever takes
// such a text (the lists, the speed test, a network's server) asks it too, so
// that an entry is accepted exactly when it can be dialled.
struct DialTarget {
    QString host;
    quint16 port = 0;

    // A host and a port text, each by the rules below; nullopt when either fails.
    static std::optional<DialTarget> of(QStringView host, QStringView portText);
    // The host as it is dialled, white space around it dropped: an IP address
    // (not the unspecified one) in its usual form, or a host name a resolver
    // can look up (labels of letters, digits, "-" and "_", international
    // names in their ASCII form, the last label not a number: "999.1.1.1" is
    // no address and no name). Brackets ("[::1]") belong to URLs, not here.
    static std::optional<QString> dialableHost(QStringView text);
    // A whole number from 1 to 65535, read by value as every number a server
    // sends: "+8001", "9001.000" and " 9001 " are ports, "80.5" is none.
    static std::optional<quint16> dialablePort(QStringView text);
};
