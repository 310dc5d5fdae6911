#pragma once

#include "core/DataModelObserver.h"

#include <QString>
#include <QVariantMap>
#include <mutex>

// What an account keeps for each request it relays, to route the reply: the
// observer to call back (held weakly), the request class's name
// ("identitfy", e.g. "DMReservationInfo") and parameters kept for the reply.
class DelegateObject {
public:
    // nullptr once the observer is destroyed.
    DataModelObserver* observer() const;
    void setObserver(DataModelObserver* observer);
    QString identitfy() const;
    void setIdentitfy(const QString& identitfy);
    QVariantMap needParam() const;
    void setNeedParam(const QVariantMap& needParam);

private:
    mutable std::mutex lock_;
    DataModelObserverRef observer_;
    QString identitfy_;
    QVariantMap needParam_;
};
