// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/platform/Status.h"

#include <QCollatorSortKey>
#include <QDate>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// A small in-memory table with named, typed fields: current record, browse/edit/insert states,
// hooks, computed fields kept with each row, aggregates, named sort orders, bookmarks and a log of
// the changes not yet written to its storage. It knows nothing of widgets; a model adapter shows it.
//
// An operation that fails returns false and leaves its message in lastError(), as a file object keeps
// its error string. The table is the one stateful exception to the core's Status results (see
// docs/errors.md): it is driven through hooks and a current record, and its callers ask for the
// message of the last failed operation when they report it. Its storage answers with a Status.

enum class FieldType { Integer, SmallInt, Float, Date, String };

struct FieldDef
{
    QString name{};
    FieldType type = FieldType::String;
    int size = 0;          // characters, for String fields
    // A text that starts with this prefix may be up to longFormSize characters (an encrypted password
    // is longer than the scrambled form the size was made for).
    QString longFormPrefix{};
    int longFormSize = 0;
    QVariant defaultValue{}; // given to a new record; null when invalid
    bool required = false;
    bool calculated = false; // kept with the row, never stored

    // The size that holds for this text.
    int sizeFor(QStringView text) const
    {
        return longFormSize > 0 && !longFormPrefix.isEmpty() && text.startsWith(longFormPrefix) ? longFormSize : size;
    }
};

struct IndexDef
{
    QString name;
    QString field;
    bool descending = false;
    bool caseInsensitive = false;
};

// A value as a field of this definition holds it: texts without the characters no data file can
// carry and cut to the field's size at a character boundary, numbers and dates converted, anything
// empty or unconvertible null.
QVariant coerceFieldValue(const FieldDef &def, const QVariant &value);

// Whether every character of a text is one a data file can carry: XML has no way to write the
// controls other than tab, line feed and carriage return, nor U+FFFE, U+FFFF or half of a surrogate
// pair on its own.
bool isStorableText(QStringView text);
// The text without the characters a data file cannot carry.
QString storableText(const QString &text);

// A text as the list's filter compares it: without accents (a letter and its marks match the letter
// alone) and in one case.
QString foldForMatch(QStringView text);

enum class AggregateKind { Sum, Max, Count };

struct AggregateDef
{
    QString name;
    AggregateKind kind = AggregateKind::Sum;
    QString field;
};

using RowValues = QList<QVariant>;

// One pending change: the stored values before (none for an insert) and after (none for a delete).
struct PendingChange
{
    enum Kind { Insert, Modify, Delete };
    Kind kind = Insert;
    RowValues oldValues;
    RowValues newValues;
};

// The storage a table loads from and writes its pending changes to.
class DataProvider
{
public:
    virtual ~DataProvider();
    // All rows of the storage, stored fields in the table's field order.
    virtual Status load(QList<RowValues> &rows) = 0;
    // Writes the table's pending changes; all or nothing. The provider gets the changes one by one
    // and every row of the table as it now is (stored fields, in the order the rows were loaded and
    // added): a storage written whole, like our data file, writes the rows, one written change by
    // change would follow the log.
    virtual Status applyChanges(const QList<PendingChange> &changes, const QList<RowValues> &rows) = 0;
};

class DataSet : public QObject
{
    Q_OBJECT

public:
    enum State { Inactive, Browse, Edit, Insert };

    struct Bookmark
    {
        quint64 serial = 0;
        RowValues values;
        bool valid = false;
    };

    explicit DataSet(QObject *parent = nullptr);
    ~DataSet() override;

    // Definition (while closed).
    void addField(const FieldDef &def);
    void addAggregate(const AggregateDef &def);
    void setProvider(DataProvider *provider) { m_provider = provider; }
    DataProvider *provider() const { return m_provider; }
    // Fields that identify a record again after a reload (used by bookmarks).
    void setKeyField(const QString &name) { m_keyField = name; }

    int fieldCount() const { return int(m_fields.size()); }
    const FieldDef &field(int index) const { return m_fields[size_t(index)]; }
    // Case-insensitive lookup; -1 when there is no such field.
    int fieldIndex(const QString &name) const;
    QStringList storedFieldNames() const;

    // Hooks.
    std::function<void(DataSet &)> onNewRecord;
    std::function<void(DataSet &)> onCalcFields; // reads value(), writes setCalcValue()
    std::function<void(DataSet &)> afterOpen;
    std::function<void(DataSet &)> afterEdit;
    std::function<void(DataSet &)> afterPost;
    std::function<void(DataSet &)> afterDelete;

    bool open();
    void close();
    bool isActive() const { return m_state != Inactive; }
    State state() const { return m_state; }
    // The message of the last operation that failed; open() and a post() that passes its checks clear it.
    QString lastError() const { return m_lastError; }

    // Navigation in the active order. While a filter is on, the active order holds only the rows
    // it lets through (and a row saved meanwhile, which stays until the order is built again).
    int recordCount() const { return int(m_order.size()); }
    // Every row, whatever the filter.
    int totalRecordCount() const { return int(m_rows.size()); }
    // A value of a row by its place among all rows (0-based, in the order they entered the table).
    QVariant valueOfRow(int row, int field) const;

    // Narrows the active order to the rows whose given fields hold the text, ignoring case and
    // accents; an empty text shows every row. aggregate() stays over all rows; shownAggregate() follows.
    bool setFilter(const QString &text, const QList<int> &fields);
    QString filterText() const { return m_filterText; }
    // Readies what the filter compares for every row now, so that the first keystroke does not.
    void prepareFilter(const QList<int> &fields);
    int recNo() const; // 1-based; 0 when there is no current record
    bool setRecNo(int recNo);
    void first();
    void next();
    bool eof() const { return m_eof; }
    bool isEmpty() const { return m_order.empty(); }

    // Values of the current record (or of the record being edited or computed). Null is an invalid
    // QVariant; read with toInt()/toString() it gives 0 and empty text.
    QVariant value(const QString &name) const;
    QVariant value(int field) const;
    bool setValue(const QString &name, const QVariant &value);
    bool setValue(int field, const QVariant &value);
    // Inside onCalcFields only.
    void setCalcValue(const QString &name, const QVariant &value);
    void setCalcValue(int field, const QVariant &value);
    bool isModified() const { return m_modified; }

    // Values of the record at a 1-based position of the active order, without moving.
    QVariant valueAt(int recNo, int field) const;

    bool edit();
    bool insert();
    bool post();
    void cancel();
    bool deleteRecord();

    // Runs the computed-field hook again for every row the test picks (given its values) and puts the
    // rows whose values changed where the active order wants them now: a value computed later (a
    // folder count that arrives after the rows were read) updates the aggregates and the sort order
    // as if it had been there from the start. Returns the number of rows whose values changed.
    int recalcRows(const std::function<bool(const RowValues &)> &which);

    // The identity of the row at a 1-based position of the active order (0 for none), and the
    // position of a row by its identity (0 when it is not in the active order).
    quint64 serialAt(int recNo) const;
    int recNoOfSerial(quint64 serial) const;

    // Aggregates over all rows; null when no row has a value.
    QVariant aggregate(const QString &name) const;
    // The same over the rows of the active order only: those the list shows while a filter is on.
    QVariant shownAggregate(const QString &name) const;
    void refreshAggregates() { m_aggregatesValid = false; }

    // Sort orders.
    QList<IndexDef> indexDefs() const;
    bool hasIndex(const QString &name) const;
    bool addIndex(const IndexDef &def);
    QString indexName() const { return m_indexName; }
    bool setIndexName(const QString &name);

    Bookmark bookmark() const;
    bool gotoBookmark(const Bookmark &bookmark);

    bool hasPendingChanges() const { return !m_changes.isEmpty(); }
    // Posts a modified record (cancels an unmodified one), then hands the pending changes to the
    // provider. With maxErrors 0 nothing may fail. Changes stay pending when the write fails.
    bool applyUpdates(int maxErrors = 0);
    void dropPendingChanges() { m_changes.clear(); }

Q_SIGNALS:
    void aboutToReset();
    void reset();
    void rowAboutToBeInserted(int pos);
    void rowInserted(int pos);
    void rowAboutToBeRemoved(int pos);
    void rowRemoved(int pos);
    void rowAboutToMove(int from, int to);
    void rowMoved(int from, int to);
    void rowChanged(int pos);
    // Rows change places all at once (recalcRows): positions before aboutToReorder are stale after
    // reordered; a row's serial finds it again.
    void aboutToReorder();
    void reordered();
    void currentChanged();
    void stateChanged();

private:
    struct Row
    {
        RowValues values;
        quint64 serial = 0;
        int position = -1; // in the active order; -1 while the filter hides it
        mutable std::vector<std::optional<QCollatorSortKey>> keys;
        mutable QString filterKey; // the filtered fields, folded; null until needed
    };
    struct Index
    {
        IndexDef def;
        int field = -1;
        std::vector<Row *> order;
    };

    bool fail(const QString &message);
    // Every aggregate over the rows, in the order of their definitions.
    std::vector<QVariant> computeAggregates(const std::vector<Row *> &rows) const;
    QVariant pickAggregate(const std::vector<QVariant> &values, const QString &name) const;
    bool requireActive();
    void computeRow(Row *row, RowValues &values);
    RowValues storedValues(const RowValues &values) const;
    bool lessThan(const Index &index, const Row *a, const Row *b) const;
    const QCollatorSortKey &sortKey(const Row *row, int field) const;
    void buildIndex(Index &index);
    Index *activeIndex();
    // The two halves of post(): a new row takes its place in every order, an edited row moves to its new one.
    void postInsert(Index *active);
    void postEdit(Index *active);
    void rebuildActiveOrder();
    void renumber(int from = 0);
    bool passesFilter(const Row *row) const;
    const QString &filterKeyOf(const Row *row) const;
    // The rows of an order that the active order shows.
    std::vector<Row *> shownOf(const std::vector<Row *> &order) const;
    int insertPosition(const Index &index, const Row *row) const;
    Row *currentRow() const;
    void setCurrent(int pos);
    QVariant coerce(int field, const QVariant &value) const;

    std::vector<FieldDef> m_fields;
    std::vector<AggregateDef> m_aggregateDefs;
    DataProvider *m_provider = nullptr;
    QString m_keyField;

    State m_state = Inactive;
    QString m_lastError;
    std::vector<std::unique_ptr<Row>> m_rows; // natural order
    std::vector<Row *> m_order;               // active order
    std::vector<Index> m_indexes;
    QString m_indexName;
    QString m_filterText; // folded
    QList<int> m_filterFields;
    QList<IndexDef> m_savedIndexDefs; // survive close and open
    int m_current = -1;               // position in the active order
    bool m_eof = true;
    quint64 m_nextSerial = 1;

    RowValues m_buffer; // record being edited or inserted
    bool m_modified = false;
    const RowValues *m_calcTarget = nullptr;
    RowValues *m_calcWrite = nullptr;

    mutable std::vector<QVariant> m_aggregateValues;
    mutable bool m_aggregatesValid = false;

    QList<PendingChange> m_changes;
};
