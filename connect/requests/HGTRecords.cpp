#include "connect/requests/HGTRecords.h"

#include "comm/recordset/ServerNumber.h"
#include "comm/recordset/VEKTCRS.h"

#include <QRegularExpression>

RDOHGTOtherVoteInfo::RDOHGTOtherVoteInfo(const VEKTCRS* set)
    : stockCode(recordText(set, "stk_code"))
    , orgNo(recordText(set, "org_no"))
    , hkType(recordText(set, "hk_type"))
    , hkTypeDesc(recordText(set, "~hk_type"))
    , hkDleType(recordText(set, "hk_dle_type"))
    , hkDleTypeDesc(recordText(set, "~hk_dle_type"))
    , quantity(recordText(set, "declare_quan"))
    , serialNo(recordText(set, "serial_no"))
    , tradeAccount(recordText(set, "trdacct"))
{
}

std::optional<qint32> hkVoteTypeOfCode(const QString& code)
{
    static const QRegularExpression form(QStringLiteral("^H6([3-6])$"));
    if (const QRegularExpressionMatch m = form.match(code.trimmed()); m.hasMatch())
        return m.captured(1).toInt() - 3;
    // A type the server sends as its number, by its value ("2.000" is 2):
    // one that is not whole ("1x", "2.5") is none, never a guess.
    const std::optional<qint64> type = servernumber::wholeValueOf(code);
    if (!type || *type < 0 || *type > 3)
        return std::nullopt;
    return qint32(*type);
}

DTHGTOtherVoteTable::DTHGTOtherVoteTable(const VEKTCRS* recordSet, const QStringList& filterKeys)
{
    if (!recordSet)
        return;
    buildFromRecordSet(*recordSet, filterKeys);
    readRecords(*recordSet);
}

void DTHGTOtherVoteTable::updateTable(const VEKTCRS* recordSet)
{
    if (!recordSet)
        return;
    buildFromRecordSet(*recordSet, {});
    readRecords(*recordSet);
}

void DTHGTOtherVoteTable::readRecords(const VEKTCRS& source)
{
    VEKTCRS set = source;
    _contentObjectArray.clear();
    for (qint32 row = 0; row < set.rowsAffected(); ++row) {
        set.moveTo(row);
        _contentObjectArray.append(QVariant::fromValue(RDOHGTOtherVoteInfo(&set)));
    }
}

RDOHGTOtherVoteInfo DTHGTOtherVoteTable::recordAt(qsizetype row) const
{
    return row >= 0 && row < _contentObjectArray.size() ? _contentObjectArray[row].value<RDOHGTOtherVoteInfo>()
                                                        : RDOHGTOtherVoteInfo();
}

DTHGTNotificationInfoTable::DTHGTNotificationInfoTable(const VEKTCRS* recordSet, const QStringList&)
{
    title = recordText(recordSet, "title");
    fill(recordText(recordSet, "content"));
}

std::shared_ptr<DTHGTNotificationInfoTable> DTHGTNotificationInfoTable::fromTexts(
    const QString& title, const QString& content)
{
    auto table = std::make_shared<DTHGTNotificationInfoTable>();
    table->title = title;
    table->fill(content);
    return table;
}

void DTHGTNotificationInfoTable::fill(const QString& content)
{
    QStringList titles;
    QStringList values;
    for (const QString& item : content.split(QLatin1Char('|'))) {
        const QStringList parts = item.split(QLatin1Char('='));
        if (parts.size() < 2)
            continue;
        titles << parts[0];
        values << parts[1];
    }
    // A repeated key is listed at each place and holds its last value there.
    for (qsizetype i = 0; i < titles.size(); ++i)
        values[i] = values[titles.lastIndexOf(titles[i])];
    _tableColomnTitles = titles;
    _contentObjectArray.clear();
    QList<DTArrayController::Row> rows;
    if (!titles.isEmpty())
        rows.append(values);
    _arrayController->setContent(titles, rows);
    _count = 1;
}
