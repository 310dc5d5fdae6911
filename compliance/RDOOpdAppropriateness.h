#pragma once

#include "comm/recordset/VEKTCRS.h"

#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

// One notice the customer reads and accepts before a business goes on: a
// text or a web page, with an optional sign link that is sent when the
// notice is accepted. A field missing from the reply reads as "".
class RDOOpdAppropriateness {
public:
    RDOOpdAppropriateness() = default;
    // The row at the record set's cursor.
    explicit RDOOpdAppropriateness(const VEKTCRS& recordSet);

    // parseResultsets:index: one notice per row of record set `index`;
    // nullopt for a missing set (an index outside the list).
    static std::optional<std::vector<RDOOpdAppropriateness>> parseResultsets(
        const std::vector<VEKTCRS>& recordSets, qint64 index);

    QString title; // "title"
    QString content; // "content", the notice text
    QString type; // "type"
    QString webUrl; // "webaddr", the page of a web notice
    QString problemConfirmUrl; // "ans", the sign link
    std::optional<QString> submitTitle; // never filled from a reply
    std::optional<QString> submitOkMessage; // never filled from a reply
    bool confirmHiddenStatus = false;
    qint64 lockTime = 0; // "locktime" in whole seconds, rounded up; 0 when absent, empty or no number
    QString confirmPrompt; // "tips"
    QString showPrompt; // "showtips"
};
