#pragma once

#include "platform/TlsTrust.h"

#include <QList>
#include <QSslCertificate>

namespace testsupport {

// The client trusts the system's CAs and the simulator's certificates alone.
// The system's trust store is read once in a process, at its first TLS
// connection, and holds the main thread up for seconds on a loaded machine:
// read here, before the test starts, it delays no answer the test waits for
// and runs out no time-out behind it.
inline void trustSimulator(const QList<QSslCertificate>& certificates)
{
    platform::TlsTrust::caCertificates();
    platform::TlsTrust::reset();
    platform::TlsTrust::addCaCertificates(certificates);
}

} // namespace testsupport
