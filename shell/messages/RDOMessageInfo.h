#pragma once

#include <QString>

class VEKTCRS;

// One row of the message-list reply.
struct RDOMessageInfo {
    RDOMessageInfo() = default;
    // initWithTCRSObj: the record set's current row.
    explicit RDOMessageInfo(const VEKTCRS& row);

    QString title;
    QString pd;
    QString pt;
    QString date;
    QString endDate;
    QString updateKey;
};
