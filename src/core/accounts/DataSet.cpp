// SPDX-License-Identifier: GPL-3.0-or-later
#include "DataSet.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <unordered_set>

DataProvider::~DataProvider() = default;


DataSet::DataSet(QObject *parent)
    : QObject(parent)
{
}

DataSet::~DataSet() = default;

void DataSet::addField(const FieldDef &def)
{
    m_fields.push_back(def);
}

void DataSet::addAggregate(const AggregateDef &def)
{
    m_aggregateDefs.push_back(def);
    m_aggregatesValid = false;
}

int DataSet::fieldIndex(const QString &name) const
{
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

QStringList DataSet::storedFieldNames() const
{
    QStringList names;
    for (const FieldDef &f : m_fields) {
        if (!f.calculated)
            names << f.name;
    }
    return names;
}

bool DataSet::fail(const QString &message)
{
    m_lastError = message;
    return false;
}

bool DataSet::requireActive()
{
    if (m_state == Inactive)
        return fail(tr("Cannot perform this operation on a closed dataset"));
    return true;
}

RowValues DataSet::storedValues(const RowValues &values) const
{
    RowValues stored;
    stored.reserve(values.size());
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (!m_fields[i].calculated)
            stored.append(values.value(qsizetype(i)));
    }
    return stored;
}

void DataSet::computeRow(Row *, RowValues &values)
{
    if (!onCalcFields)
        return;
    m_calcTarget = &values;
    m_calcWrite = &values;
    onCalcFields(*this);
    m_calcTarget = nullptr;
    m_calcWrite = nullptr;
}

bool isStorableText(QStringView text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x20 && c < 0xD800)
            continue;
        if (c < 0x20) {
            if (c == u'\t' || c == u'\n' || c == u'\r')
                continue;
            return false;
        }
        if (c >= 0xE000) {
            if (c >= 0xFFFE)
                return false;
            continue;
        }
        if (c >= 0xDC00 || i + 1 == n || !QChar::isLowSurrogate(text[i + 1].unicode()))
            return false;
        ++i; // a whole pair
    }
    return true;
}

QString storableText(const QString &text)
{
    if (isStorableText(text))
        return text;
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate()) {
            if (i + 1 < n && text[i + 1].isLowSurrogate()) {
                out += c;
                out += text[++i];
            }
        } else if (isStorableText(QStringView(&c, 1))) {
            out += c;
        }
    }
    return out;
}

namespace {
// A number as a whole number within [low, high]: rounded, and held at the ends when beyond them,
// never converted out of range (which C++ leaves undefined) nor wrapped round to another value.
// Null for a number that is no number.
QVariant wholeNumber(const QVariant &value, qint64 low, qint64 high)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (std::isnan(d))
            return {};
        if (d <= double(low))
            return int(low);
        if (d >= double(high))
            return int(high);
        return int(std::round(d));
    }
    case QMetaType::ULongLong:
    case QMetaType::ULong:
    case QMetaType::UInt: {
        const quint64 u = value.toULongLong();
        return int(u > quint64(high) ? high : qint64(u));
    }
    default:
        return int(std::clamp(value.toLongLong(), low, high));
    }
}
} // namespace

QVariant coerceFieldValue(const FieldDef &f, const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return {};
    // Values that already have the field's type (all of them, when loading) pass as they are.
    switch (value.typeId()) {
    case QMetaType::Int:
        if (f.type == FieldType::Integer || (f.type == FieldType::SmallInt && qint16(value.toInt()) == value.toInt()))
            return value;
        break;
    case QMetaType::Double:
        if (f.type == FieldType::Float && std::isfinite(*static_cast<const double *>(value.constData())))
            return value;
        break;
    case QMetaType::QDate:
        if (f.type == FieldType::Date && value.toDate().isValid())
            return value;
        break;
    case QMetaType::QString:
        if (f.type == FieldType::String) {
            const QString &text = *static_cast<const QString *>(value.constData());
            const int size = f.sizeFor(text);
            if ((size <= 0 || text.size() <= size) && isStorableText(text))
                return value;
        }
        break;
    default:
        break;
    }
    switch (f.type) {
    case FieldType::Integer:
        return wholeNumber(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max());
    case FieldType::SmallInt:
        return wholeNumber(value, std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max());
    case FieldType::Float: {
        // An infinite or undefined fee could be neither written nor found again by its old values.
        const double d = value.toDouble();
        return std::isfinite(d) ? QVariant(d) : QVariant();
    }
    case FieldType::Date: {
        const QDate d = value.toDate();
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case FieldType::String: {
        QString s = storableText(value.toString());
        if (const int size = f.sizeFor(s); size > 0 && s.size() > size) {
            // Never keep the first half of a character whose second half falls beyond the size.
            s.truncate(s.at(size - 1).isHighSurrogate() ? size - 1 : size);
        }
        return s;
    }
    }
    return value;
}

QVariant DataSet::coerce(int field, const QVariant &value) const
{
    return coerceFieldValue(m_fields[size_t(field)], value);
}

bool DataSet::open()
{
    if (m_state != Inactive)
        return true;
    m_lastError.clear();
    QList<RowValues> loaded;
    if (!m_provider)
        return fail(tr("Missing data provider or data packet"));
    if (const Status loadedAll = m_provider->load(loaded); !loadedAll)
        return fail(loadedAll.error);

    Q_EMIT aboutToReset();
    m_rows.clear();
    m_rows.reserve(size_t(loaded.size()));
    for (RowValues &stored : loaded) {
        auto row = std::make_unique<Row>();
        row->serial = m_nextSerial++;
        row->values.reserve(qsizetype(m_fields.size()));
        qsizetype s = 0;
        for (size_t i = 0; i < m_fields.size(); ++i)
            row->values.append(m_fields[i].calculated ? QVariant() : coerce(int(i), std::as_const(stored)[s++]));
        computeRow(row.get(), row->values);
        m_rows.push_back(std::move(row));
    }
    m_changes.clear();
    m_state = Browse;
    m_aggregatesValid = false;

    m_indexes.clear();
    for (const IndexDef &def : std::as_const(m_savedIndexDefs)) {
        Index index;
        index.def = def;
        index.field = fieldIndex(def.field);
        m_indexes.push_back(std::move(index));
    }
    rebuildActiveOrder();
    m_current = m_order.empty() ? -1 : 0;
    m_eof = m_order.empty();
    Q_EMIT reset();
    Q_EMIT stateChanged();
    Q_EMIT currentChanged();
    if (afterOpen)
        afterOpen(*this);
    return true;
}

void DataSet::close()
{
    if (m_state == Inactive)
        return;
    Q_EMIT aboutToReset();
    m_buffer.clear();
    m_modified = false;
    m_order.clear();
    for (Index &index : m_indexes)
        index.order.clear();
    m_rows.clear();
    m_changes.clear();
    m_current = -1;
    m_eof = true;
    m_state = Inactive;
    m_aggregatesValid = false;
    Q_EMIT reset();
    Q_EMIT stateChanged();
    Q_EMIT currentChanged();
}

DataSet::Row *DataSet::currentRow() const
{
    if (m_current < 0 || m_current >= int(m_order.size()))
        return nullptr;
    return m_order[size_t(m_current)];
}

int DataSet::recNo() const
{
    return currentRow() ? m_current + 1 : 0;
}

void DataSet::setCurrent(int pos)
{
    if (m_order.empty())
        pos = -1;
    else
        pos = std::clamp(pos, 0, int(m_order.size()) - 1);
    const bool changed = pos != m_current;
    m_current = pos;
    if (changed)
        Q_EMIT currentChanged();
}

bool DataSet::setRecNo(int recNo)
{
    if (!requireActive())
        return false;
    if (recNo < 1 || recNo > int(m_order.size()))
        return false;
    if (m_state == Edit || m_state == Insert) {
        if (m_modified ? !post() : (cancel(), false))
            return false;
    }
    setCurrent(recNo - 1);
    m_eof = false;
    return true;
}

void DataSet::first()
{
    setCurrent(0);
    m_eof = m_order.empty();
}

void DataSet::next()
{
    if (m_current + 1 >= int(m_order.size())) {
        m_eof = true;
        return;
    }
    setCurrent(m_current + 1);
}

QVariant DataSet::value(int field) const
{
    if (field < 0 || field >= int(m_fields.size()))
        return {};
    if (m_calcTarget)
        return m_calcTarget->value(field);
    if (m_state == Edit || m_state == Insert)
        return m_buffer.value(field);
    const Row *row = currentRow();
    return row ? row->values.value(field) : QVariant();
}

QVariant DataSet::value(const QString &name) const
{
    return value(fieldIndex(name));
}

QVariant DataSet::valueAt(int recNo, int field) const
{
    if (recNo < 1 || recNo > int(m_order.size()) || field < 0 || field >= int(m_fields.size()))
        return {};
    if (recNo - 1 == m_current && (m_state == Edit))
        return m_buffer.value(field);
    return m_order[size_t(recNo - 1)]->values.value(field);
}

bool DataSet::setValue(const QString &name, const QVariant &value)
{
    const int field = fieldIndex(name);
    if (field < 0)
        return fail(tr("Field '%1' not found").arg(name));
    return setValue(field, value);
}

bool DataSet::setValue(int field, const QVariant &value)
{
    if (field < 0 || field >= int(m_fields.size()))
        return fail(tr("Field index out of range"));
    if (m_state != Edit && m_state != Insert)
        return fail(tr("Dataset not in edit or insert mode"));
    if (m_fields[size_t(field)].calculated)
        return fail(tr("Field '%1' cannot be modified").arg(m_fields[size_t(field)].name));
    m_buffer[field] = coerce(field, value);
    m_modified = true;
    return true;
}

void DataSet::setCalcValue(const QString &name, const QVariant &value)
{
    setCalcValue(fieldIndex(name), value);
}

void DataSet::setCalcValue(int field, const QVariant &value)
{
    if (!m_calcWrite || field < 0 || field >= int(m_fields.size()))
        return;
    (*m_calcWrite)[field] = coerce(field, value);
}

bool DataSet::edit()
{
    if (!requireActive())
        return false;
    if (m_state == Edit || m_state == Insert)
        return true;
    if (m_order.empty())
        return insert();
    m_buffer = currentRow()->values;
    m_modified = false;
    m_state = Edit;
    Q_EMIT stateChanged();
    if (afterEdit)
        afterEdit(*this);
    return true;
}

bool DataSet::insert()
{
    if (!requireActive())
        return false;
    if (m_state == Edit || m_state == Insert) {
        if (m_modified) {
            if (!post())
                return false;
        } else {
            cancel();
        }
    }
    m_buffer.clear();
    for (const FieldDef &f : m_fields)
        m_buffer.append(f.defaultValue);
    m_state = Insert;
    m_modified = false;
    if (onNewRecord)
        onNewRecord(*this);
    m_modified = false;
    Q_EMIT stateChanged();
    return true;
}

bool DataSet::post()
{
    if (m_state != Edit && m_state != Insert)
        return m_state == Browse || requireActive();
    for (size_t i = 0; i < m_fields.size(); ++i) {
        const FieldDef &f = m_fields[i];
        if (!f.required)
            continue;
        const QVariant &v = m_buffer[qsizetype(i)];
        if (!v.isValid() || v.isNull() || (f.type == FieldType::String && v.toString().isEmpty()))
            return fail(tr("Field '%1' must have a value").arg(f.name));
    }
    m_lastError.clear();
    computeRow(nullptr, m_buffer);
    if (m_state == Insert)
        postInsert(activeIndex());
    else
        postEdit(activeIndex());
    m_modified = false;
    m_aggregatesValid = false;
    Q_EMIT stateChanged();
    Q_EMIT currentChanged();
    if (afterPost)
        afterPost(*this);
    return true;
}

void DataSet::postInsert(Index *active)
{
    auto owned = std::make_unique<Row>();
    Row *row = owned.get();
    row->serial = m_nextSerial++;
    row->values = m_buffer;
    m_rows.push_back(std::move(owned));
    for (Index &index : m_indexes) {
        if (index.order.empty() && m_rows.size() > 1)
            continue; // not built yet; built when first used
        index.order.insert(index.order.begin() + insertPosition(index, row), row);
    }
    // A row just added shows whatever the filter says: the user sees what was saved.
    row->position = int(m_order.size());
    int pos = int(m_order.size());
    if (active) {
        const std::vector<Row *> shown = shownOf(active->order);
        pos = int(std::find(shown.begin(), shown.end(), row) - shown.begin());
    }
    Q_EMIT rowAboutToBeInserted(pos);
    m_order.insert(m_order.begin() + pos, row);
    renumber(pos);
    m_changes.append({PendingChange::Insert, {}, storedValues(row->values)});
    m_state = Browse;
    m_buffer.clear();
    m_current = pos;
    m_eof = false;
    Q_EMIT rowInserted(pos);
}

void DataSet::postEdit(Index *active)
{
    Row *row = currentRow();
    const RowValues oldStored = storedValues(row->values);
    const RowValues newStored = storedValues(m_buffer);
    row->values = m_buffer;
    row->keys.clear();
    row->filterKey = QString();
    for (Index &index : m_indexes) {
        if (index.order.empty())
            continue;
        index.order.erase(std::find(index.order.begin(), index.order.end(), row));
        index.order.insert(index.order.begin() + insertPosition(index, row), row);
    }
    const int from = m_current;
    int to = from;
    if (active) {
        std::vector<Row *> shown = shownOf(active->order);
        to = int(std::find(shown.begin(), shown.end(), row) - shown.begin());
        if (to != from) {
            Q_EMIT rowAboutToMove(from, to);
            m_order = std::move(shown);
            renumber(std::min(from, to));
        }
    }
    if (oldStored != newStored)
        m_changes.append({PendingChange::Modify, oldStored, newStored});
    m_state = Browse;
    m_buffer.clear();
    m_current = to;
    if (to != from)
        Q_EMIT rowMoved(from, to);
    Q_EMIT rowChanged(to);
}

void DataSet::cancel()
{
    if (m_state != Edit && m_state != Insert)
        return;
    m_buffer.clear();
    m_modified = false;
    m_state = Browse;
    Q_EMIT stateChanged();
    if (m_current >= 0)
        Q_EMIT rowChanged(m_current);
}

bool DataSet::deleteRecord()
{
    if (!requireActive())
        return false;
    if (m_state == Insert) {
        cancel();
        return true;
    }
    cancel();
    Row *row = currentRow();
    if (!row)
        return fail(tr("Cannot perform this operation on an empty dataset"));
    const int pos = m_current;
    Q_EMIT rowAboutToBeRemoved(pos);
    m_changes.append({PendingChange::Delete, storedValues(row->values), {}});
    m_order.erase(m_order.begin() + pos);
    for (Index &index : m_indexes) {
        auto it = std::find(index.order.begin(), index.order.end(), row);
        if (it != index.order.end())
            index.order.erase(it);
    }
    m_rows.erase(std::find_if(m_rows.begin(), m_rows.end(), [row](const auto &r) { return r.get() == row; }));
    renumber(pos);
    m_current = m_order.empty() ? -1 : std::min(pos, int(m_order.size()) - 1);
    m_eof = m_order.empty();
    m_aggregatesValid = false;
    Q_EMIT rowRemoved(pos);
    Q_EMIT currentChanged();
    if (afterDelete)
        afterDelete(*this);
    return true;
}

int DataSet::recalcRows(const std::function<bool(const RowValues &)> &which)
{
    if (m_state == Inactive || !onCalcFields)
        return 0;
    std::vector<Row *> changed;
    for (const auto &owned : m_rows) {
        Row *row = owned.get();
        if (!which(row->values))
            continue;
        const RowValues before = row->values;
        computeRow(row, row->values);
        if (row->values != before) {
            row->keys.clear();
            changed.push_back(row);
        }
    }
    if (changed.empty())
        return 0;
    Row *current = currentRow();
    // The record being edited shows its own copy: it gets the new values too.
    if (m_state == Edit && current && std::find(changed.begin(), changed.end(), current) != changed.end())
        computeRow(nullptr, m_buffer);
    m_aggregatesValid = false;

    Index *active = activeIndex();
    for (Index &index : m_indexes) {
        if (&index == active)
            continue;
        index.order.clear(); // built again when first used
    }
    if (active) {
        // A few rows are moved one by one; many at once are taken out, sorted among themselves and
        // merged back, which compares each row about once.
        if (changed.size() > 16) {
            const auto less = [&](const Row *a, const Row *b) { return lessThan(*active, a, b); };
            const std::unordered_set<const Row *> moving(changed.begin(), changed.end());
            std::sort(changed.begin(), changed.end(), less);
            std::vector<Row *> rest;
            rest.reserve(active->order.size());
            for (Row *row : active->order) {
                if (!moving.contains(row))
                    rest.push_back(row);
            }
            active->order.clear();
            std::merge(rest.begin(), rest.end(), changed.begin(), changed.end(), std::back_inserter(active->order),
                       less);
        } else {
            for (Row *row : changed) {
                active->order.erase(std::find(active->order.begin(), active->order.end(), row));
                active->order.insert(active->order.begin() + insertPosition(*active, row), row);
            }
        }
    }
    std::vector<Row *> shown = active ? shownOf(active->order) : std::vector<Row *>();
    if (!active || shown == m_order) {
        for (Row *row : changed) {
            if (row->position >= 0 && row->position < int(m_order.size()) && m_order[size_t(row->position)] == row)
                Q_EMIT rowChanged(row->position);
        }
        return int(changed.size());
    }
    Q_EMIT aboutToReorder();
    m_order = std::move(shown);
    renumber();
    if (current)
        m_current = current->position;
    Q_EMIT reordered();
    return int(changed.size());
}

quint64 DataSet::serialAt(int recNo) const
{
    if (recNo < 1 || recNo > int(m_order.size()))
        return 0;
    return m_order[size_t(recNo - 1)]->serial;
}

int DataSet::recNoOfSerial(quint64 serial) const
{
    for (size_t i = 0; i < m_order.size(); ++i) {
        if (m_order[i]->serial == serial)
            return int(i) + 1;
    }
    return 0;
}

DataSet::Bookmark DataSet::bookmark() const
{
    Bookmark b;
    if (const Row *row = currentRow()) {
        b.serial = row->serial;
        b.values = row->values;
        b.valid = true;
    }
    return b;
}

bool DataSet::gotoBookmark(const Bookmark &bookmark)
{
    if (!requireActive() || !bookmark.valid)
        return false;
    const int key = m_keyField.isEmpty() ? -1 : fieldIndex(m_keyField);
    for (size_t i = 0; i < m_order.size(); ++i) {
        if (m_order[i]->serial == bookmark.serial) {
            setCurrent(int(i));
            return true;
        }
    }
    for (size_t i = 0; i < m_order.size(); ++i) {
        const RowValues &v = m_order[i]->values;
        const bool same = key >= 0 ? v.value(key) == bookmark.values.value(key)
                                   : storedValues(v) == storedValues(bookmark.values);
        if (same) {
            setCurrent(int(i));
            return true;
        }
    }
    first();
    return fail(tr("Record not found"));
}

bool DataSet::applyUpdates(int maxErrors)
{
    Q_UNUSED(maxErrors); // every change is written or none is
    if (!requireActive())
        return false;
    if (m_state == Edit || m_state == Insert) {
        if (m_modified) {
            if (!post())
                return false;
        } else {
            cancel();
        }
    }
    if (m_changes.isEmpty())
        return true;
    if (!m_provider)
        return fail(tr("Missing data provider or data packet"));
    QList<RowValues> rows;
    rows.reserve(qsizetype(m_rows.size()));
    for (const auto &row : m_rows)
        rows.append(storedValues(row->values));
    if (const Status written = m_provider->applyChanges(m_changes, rows); !written)
        return fail(written.error);
    m_changes.clear();
    return true;
}
