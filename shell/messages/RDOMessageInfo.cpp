#include "shell/messages/RDOMessageInfo.h"

#include "comm/recordset/VEKTCRS.h"

RDOMessageInfo::RDOMessageInfo(const VEKTCRS& row)
    : title(row.toStringWithName(QStringLiteral("title")))
    , pd(row.toStringWithName(QStringLiteral("pd")))
    , pt(row.toStringWithName(QStringLiteral("pt")))
    , date(row.toStringWithName(QStringLiteral("date")))
    , endDate(row.toStringWithName(QStringLiteral("enddate")))
    , updateKey(row.toStringWithName(QStringLiteral("updatekey")))
{
}
