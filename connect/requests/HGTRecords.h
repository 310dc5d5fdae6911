#pragma once

#include "core/DTTable.h"

#include <QMetaType>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class VEKTCRS;

// The records and table models of the Stock Connect declarations and
// notifications. Records read the record set's current row; a field the row
// lacks reads as "".

// One corporate-action declaration.
class RDOHGTOtherVoteInfo {
public:
    RDOHGTOtherVoteInfo() = default;
    explicit RDOHGTOtherVoteInfo(const VEKTCRS* set); // initWithTCRSObj:

    QString stockCode; // "stk_code"
    QString orgNo; // "org_no": the action code
    QString hkType; // "hk_type", as the server codes it
    QString hkTypeDesc; // "~hk_type"
    QString hkDleType; // "hk_dle_type"
    QString hkDleTypeDesc; // "~hk_dle_type"
    QString quantity; // "declare_quan"
    QString serialNo; // "serial_no"
    QString tradeAccount; // "trdacct"
};
Q_DECLARE_METATYPE(RDOHGTOtherVoteInfo)

// The corporate-action type number (0 to 3) of a server's "hk_type": the
// codes "H63" to "H66", or a type sent as its number (by its value, a whole
// 0 to 3); nullopt for anything else, so that a type
// the client does not know is never withdrawn as another type.
std::optional<qint32> hkVoteTypeOfCode(const QString& code);

// Declarations: the columns of the reply less "poststr" and the filter keys;
// one RDOHGTOtherVoteInfo per row in contentObjectArray, row for row.
class DTHGTOtherVoteTable : public DTTable {
public:
    explicit DTHGTOtherVoteTable(const VEKTCRS* recordSet = nullptr, const QStringList& filterKeys = {});
    // Refills titles, rows and records, leaving out "poststr" only.
    void updateTable(const VEKTCRS* recordSet) override;
    RDOHGTOtherVoteInfo recordAt(qsizetype row) const;

private:
    void readRecords(const VEKTCRS& recordSet);
};

// One notification as a table of one row: "content" holds items "key=value"
// joined by "|"; each key is a column (in content order, a repeated key
// listed again and holding the last value), an item without "=" is skipped,
// anything after a second "=" is dropped.
class DTHGTNotificationInfoTable : public DTTable {
public:
    explicit DTHGTNotificationInfoTable(const VEKTCRS* recordSet = nullptr, const QStringList& filterKeys = {});
    // The same from the row's two texts.
    static std::shared_ptr<DTHGTNotificationInfoTable> fromTexts(const QString& title, const QString& content);

    QString title;

private:
    void fill(const QString& content);
};
using DTHGTNotificationList = std::vector<std::shared_ptr<DTHGTNotificationInfoTable>>;
