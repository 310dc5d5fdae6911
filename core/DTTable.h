#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <memory>

class VEKTCRS;

// The rows of a table model, as the table views bind to them. A row holds its
// values by column index, so two columns with the same title keep their own
// values.
class DTArrayController : public QAbstractTableModel {
public:
    using Row = QStringList;

    const QList<Row>& arrangedObjects() const { return rows_; }
    const QStringList& titles() const { return titles_; }
    qsizetype count() const { return rows_.size(); }
    // setContent: titles and rows at once (views are reset).
    void setContent(const QStringList& titles, const QList<Row>& rows);
    void addObject(const Row& row);
    void removeObjectAtArrangedObjectIndex(qsizetype index);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QStringList titles_;
    QList<Row> rows_;
};

// updateTable: rebuilds a table model in place from a new record set.
class IUpdateTable {
public:
    virtual ~IUpdateTable() = default;
    virtual void updateTable(const VEKTCRS* recordSet) = 0;
};

// A table model built from one reply record set: its columns are the fields,
// titled with the server's field descriptions, less "poststr" and the filter
// keys (field names, compared exactly); every value is text.
class DTTable : public IUpdateTable {
public:
    static constexpr char kPostStr[] = "poststr";

    DTTable(); // init: empty
    // initWithTCRSObj:filterKeys: a null record set gives an empty table.
    explicit DTTable(const VEKTCRS* recordSet, const QStringList& filterKeys = {});
    ~DTTable() override;
    DTTable(const DTTable&) = delete;
    DTTable& operator=(const DTTable&) = delete;

    DTArrayController* arrayController() const { return _arrayController.get(); }
    const QStringList& tableColomnTitles() const { return _tableColomnTitles; }
    // Record objects a subclass keeps next to the rows, in row order.
    QVariantList& contentObjectArray() { return _contentObjectArray; }
    const QVariantList& contentObjectArray() const { return _contentObjectArray; }
    // Rows of the last record set read.
    qint64 count() const { return _count; }

    // Rebuilds titles and rows from a new record set, leaving out "poststr"
    // only; the array controller and the content objects stay. Nothing
    // happens for null.
    void updateTable(const VEKTCRS* recordSet) override;
    // removeContentObject:value: removes every row whose value under the
    // title is `value` and the content object at the same position; count
    // stays.
    void removeContentObject(const QString& key, const QString& value);
    // Nothing in DTTable.
    virtual void removeContentObjectWithMarketCode(qint64 marketCode);

    // The value of a row under a title; with two columns of one title, the
    // later one (as a row keyed by title would hold). "" when there is none.
    QString valueForTitle(qsizetype row, const QString& title) const;

protected:
    // Steps shared by construction and update.
    void buildFromRecordSet(const VEKTCRS& recordSet, const QStringList& filterKeys);
    // Takes the titles, rows, content objects and count of `other`, so that a
    // copy can be filtered while the table an observer was handed, shared
    // with the other observers of its reply, stays whole.
    void copyContentFrom(const DTTable& other);

    std::unique_ptr<DTArrayController> _arrayController;
    QStringList _tableColomnTitles;
    QVariantList _contentObjectArray;
    qint64 _count = 0;
};
