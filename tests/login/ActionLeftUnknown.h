#pragma once

#include "core/RequestLedger.h"
#include "login/OwedReads.h"

#include <QStringList>

// An action the active account sent has just failed with its outcome unknown:
// `figures` are owed from now on, as the request layer files them.
inline void actionLeftUnknown(const QStringList& figures)
{
    const RequestLedger::Answering lost(RequestLedger::sent(), false);
    OwedReads::getInstance()->owe(figures, *RequestLedger::answering());
}
