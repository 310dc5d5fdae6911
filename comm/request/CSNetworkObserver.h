#pragma once

#include "comm/request/CSError.h"
#include "comm/transport/VEKRequest.h"
#include "comm/recordset/VEKTCRS.h"

#include <QString>
#include <vector>

// Whoever waits for a request of CSNetwork. Every callback is optional: the
// defaults answer false ("not implemented"), and the network calls each one
// only while the observer lives. A request never owns its observer; an
// observer destroyed while its request is pending simply hears nothing.
class CSNetworkObserver : public VEKRequestObserver {
public:
    // The request's frame is being built for sending.
    virtual bool starNetworkActivityIndicatorForIndentifier(const QString& identifier) { return false; }
    // Its reply arrived.
    virtual bool stopNetworkActivityIndicatorForIndentifier(const QString& identifier) { return false; }
    // respondWithRecordSet:forIndentifier:
    virtual bool respondWithRecordSet(const std::vector<VEKTCRS>& recordSets, const QString& identifier)
    {
        return false;
    }
    // respondWithError:forIndentifier:
    virtual bool respondWithError(const CSError& error, const QString& identifier) { return false; }
};
