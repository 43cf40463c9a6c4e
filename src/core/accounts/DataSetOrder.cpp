// SPDX-License-Identifier: GPL-3.0-or-later
// The table's aggregates, its named orders and its filter: what decides which rows show, in which
// order, and what they add up to.
#include "DataSet.h"

#include <QCollator>

#include <algorithm>
#include <iterator>

namespace {
QCollator &collator(bool caseInsensitive)
{
    // One collator per thread and case rule; the table is used on one thread.
    thread_local QCollator sensitive;
    thread_local QCollator insensitive = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    thread_local QLocale localeOfCollators;
    if (localeOfCollators != QLocale()) {
        localeOfCollators = QLocale();
        sensitive.setLocale(localeOfCollators);
        insensitive.setLocale(localeOfCollators);
        insensitive.setCaseSensitivity(Qt::CaseInsensitive);
    }
    return caseInsensitive ? insensitive : sensitive;
}
} // namespace

QVariant DataSet::aggregate(const QString &name) const
{
    if (m_state == Inactive)
        return {};
    if (!m_aggregatesValid) {
        // The totals are read again after every change: computed once per change, for all of them.
        std::vector<Row *> rows;
        rows.reserve(m_rows.size());
        for (const auto &row : m_rows)
            rows.push_back(row.get());
        m_aggregateValues = computeAggregates(rows);
        m_aggregatesValid = true;
    }
    return pickAggregate(m_aggregateValues, name);
}

QVariant DataSet::shownAggregate(const QString &name) const
{
    if (m_state == Inactive)
        return {};
    // Without a filter every row shows: the kept values serve.
    if (m_order.size() == m_rows.size())
        return aggregate(name);
    return pickAggregate(computeAggregates(m_order), name);
}

std::vector<QVariant> DataSet::computeAggregates(const std::vector<Row *> &rows) const
{
    // One pass over the rows for all aggregates.
    struct Running
    {
        int field = -1;
        bool isFloat = false;
        qint64 isum = 0, imax = 0, count = 0;
        double fsum = 0, fmax = 0;
    };
    std::vector<Running> running(m_aggregateDefs.size());
    for (size_t a = 0; a < m_aggregateDefs.size(); ++a) {
        running[a].field = fieldIndex(m_aggregateDefs[a].field);
        if (running[a].field >= 0)
            running[a].isFloat = m_fields[size_t(running[a].field)].type == FieldType::Float;
    }
    for (const Row *row : rows) {
        for (Running &r : running) {
            if (r.field < 0)
                continue;
            const QVariant &v = row->values[r.field];
            if (!v.isValid() || v.isNull())
                continue;
            if (r.isFloat) {
                const double d = v.toDouble();
                r.fsum += d;
                r.fmax = r.count ? std::max(r.fmax, d) : d;
            } else {
                const qint64 i = v.toLongLong();
                r.isum += i;
                r.imax = r.count ? std::max(r.imax, i) : i;
            }
            ++r.count;
        }
    }
    std::vector<QVariant> values(m_aggregateDefs.size());
    for (size_t a = 0; a < m_aggregateDefs.size(); ++a) {
        const Running &r = running[a];
        if (r.field < 0)
            continue;
        if (m_aggregateDefs[a].kind == AggregateKind::Count)
            values[a] = r.count;
        else if (r.count == 0)
            values[a] = QVariant();
        else if (m_aggregateDefs[a].kind == AggregateKind::Sum)
            values[a] = r.isFloat ? QVariant(r.fsum) : QVariant(r.isum);
        else
            values[a] = r.isFloat ? QVariant(r.fmax) : QVariant(r.imax);
    }
    return values;
}

QVariant DataSet::pickAggregate(const std::vector<QVariant> &values, const QString &name) const
{
    for (size_t a = 0; a < m_aggregateDefs.size() && a < values.size(); ++a) {
        if (m_aggregateDefs[a].name.compare(name, Qt::CaseInsensitive) == 0)
            return values[a];
    }
    return {};
}

QList<IndexDef> DataSet::indexDefs() const
{
    return m_savedIndexDefs;
}

bool DataSet::hasIndex(const QString &name) const
{
    return std::any_of(m_savedIndexDefs.begin(), m_savedIndexDefs.end(),
                       [&](const IndexDef &d) { return d.name == name; });
}

bool DataSet::addIndex(const IndexDef &def)
{
    if (!requireActive())
        return false;
    if (fieldIndex(def.field) < 0)
        return fail(tr("Field '%1' not found").arg(def.field));
    if (hasIndex(def.name))
        return fail(tr("Index '%1' already exists").arg(def.name));
    m_savedIndexDefs.append(def);
    Index index;
    index.def = def;
    index.field = fieldIndex(def.field);
    m_indexes.push_back(std::move(index));
    return true;
}

DataSet::Index *DataSet::activeIndex()
{
    if (m_indexName.isEmpty())
        return nullptr;
    for (Index &index : m_indexes) {
        if (index.def.name == m_indexName) {
            if (index.order.size() != m_rows.size())
                buildIndex(index);
            return &index;
        }
    }
    return nullptr;
}

bool DataSet::setIndexName(const QString &name)
{
    if (m_state == Inactive) {
        m_indexName = name;
        return true;
    }
    if (!name.isEmpty() && !hasIndex(name))
        return fail(tr("Index '%1' not found").arg(name));
    if (m_state == Edit || m_state == Insert) {
        if (m_modified ? !post() : (cancel(), false))
            return false;
    }
    Row *current = currentRow();
    Q_EMIT aboutToReset();
    m_indexName = name;
    rebuildActiveOrder();
    m_current = current ? current->position : (m_order.empty() ? -1 : 0);
    Q_EMIT reset();
    Q_EMIT currentChanged();
    return true;
}

void DataSet::rebuildActiveOrder()
{
    if (Index *index = activeIndex()) {
        m_order = index->order;
    } else {
        m_order.clear();
        m_order.reserve(m_rows.size());
        for (const auto &row : m_rows)
            m_order.push_back(row.get());
    }
    if (!m_filterText.isEmpty()) {
        for (const auto &row : m_rows)
            row->position = -1;
        std::erase_if(m_order, [this](const Row *row) { return !passesFilter(row); });
    }
    renumber();
}

void DataSet::prepareFilter(const QList<int> &fields)
{
    if (fields != m_filterFields) {
        for (const auto &row : m_rows)
            row->filterKey = QString();
        m_filterFields = fields;
    }
    for (const auto &row : m_rows)
        filterKeyOf(row.get());
}

const QString &DataSet::filterKeyOf(const Row *row) const
{
    if (row->filterKey.isNull()) {
        QString joined;
        joined.reserve(64);
        for (const int field : m_filterFields) {
            joined += row->values.value(field).toString();
            joined += QChar(u'\n'); // no match runs from one field into the next
        }
        row->filterKey = foldForMatch(joined);
    }
    return row->filterKey;
}

bool DataSet::passesFilter(const Row *row) const
{
    if (m_filterText.isEmpty())
        return true;
    return filterKeyOf(row).contains(m_filterText);
}

std::vector<DataSet::Row *> DataSet::shownOf(const std::vector<Row *> &order) const
{
    if (m_filterText.isEmpty())
        return order;
    std::vector<Row *> shown;
    shown.reserve(m_order.size() + 1);
    for (Row *row : order) {
        if (row->position >= 0)
            shown.push_back(row);
    }
    return shown;
}

bool DataSet::setFilter(const QString &text, const QList<int> &fields)
{
    const QString folded = foldForMatch(text);
    if (folded == m_filterText && fields == m_filterFields)
        return true;
    if (m_state == Edit || m_state == Insert) {
        if (m_modified ? !post() : (cancel(), false))
            return false;
    }
    if (fields != m_filterFields) {
        for (const auto &row : m_rows)
            row->filterKey = QString();
    }
    m_filterText = folded;
    m_filterFields = fields;
    if (m_state == Inactive)
        return true;
    Row *current = currentRow();
    Q_EMIT aboutToReset();
    rebuildActiveOrder();
    m_current = current && current->position >= 0 ? current->position : (m_order.empty() ? -1 : 0);
    m_eof = m_order.empty();
    Q_EMIT reset();
    Q_EMIT currentChanged();
    return true;
}

QVariant DataSet::valueOfRow(int row, int field) const
{
    if (row < 0 || row >= int(m_rows.size()) || field < 0 || field >= int(m_fields.size()))
        return {};
    return m_rows[size_t(row)]->values.value(field);
}

QString foldForMatch(QStringView text)
{
    // Most names, addresses and usernames are plain ASCII: no marks to drop, and lower case is the
    // folded case.
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; }))
        return text.toString().toLower();
    const QString decomposed = text.toString().normalized(QString::NormalizationForm_KD);
    QString folded;
    folded.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        const QChar::Category category = c.category();
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
            category == QChar::Mark_Enclosing)
            continue;
        folded += c;
    }
    return folded.toCaseFolded();
}

void DataSet::renumber(int from)
{
    for (size_t i = size_t(std::max(from, 0)); i < m_order.size(); ++i)
        m_order[i]->position = int(i);
}

const QCollatorSortKey &DataSet::sortKey(const Row *row, int field) const
{
    if (row->keys.size() != m_fields.size())
        row->keys.assign(m_fields.size(), std::nullopt);
    std::optional<QCollatorSortKey> &key = row->keys[size_t(field)];
    if (!key)
        key = collator(false).sortKey(row->values[field].toString());
    return *key;
}

bool DataSet::lessThan(const Index &index, const Row *a, const Row *b) const
{
    const int f = index.field;
    // An empty value goes last in both directions: an account with no fee or no date is neither the
    // cheapest nor the oldest, and whoever orders the list by a column looks for the accounts that
    // have a value at its top. Empty ones keep the order they entered the table in.
    const auto isEmpty = [f](const Row *row) { return !row->values[f].isValid() || row->values[f].isNull(); };
    const bool emptyA = isEmpty(a);
    const bool emptyB = isEmpty(b);
    if (emptyA || emptyB)
        return emptyA == emptyB ? a->serial < b->serial : emptyB;
    const Row *x = index.def.descending ? b : a;
    const Row *y = index.def.descending ? a : b;
    const QVariant &vx = x->values[f];
    const QVariant &vy = y->values[f];
    int c = 0;
    switch (m_fields[size_t(f)].type) {
    case FieldType::Integer:
    case FieldType::SmallInt: {
        const int i = vx.toInt(), j = vy.toInt();
        c = i < j ? -1 : (i > j ? 1 : 0);
        break;
    }
    case FieldType::Float: {
        const double i = vx.toDouble(), j = vy.toDouble();
        c = i < j ? -1 : (i > j ? 1 : 0);
        break;
    }
    case FieldType::Date: {
        const QDate i = vx.toDate(), j = vy.toDate();
        c = i < j ? -1 : (i > j ? 1 : 0);
        break;
    }
    case FieldType::String:
        c = index.def.caseInsensitive ? collator(true).compare(vx.toString(), vy.toString())
                                      : sortKey(x, f).compare(sortKey(y, f));
        break;
    }
    if (c != 0)
        return c < 0;
    return a->serial < b->serial; // equal values keep the order they entered the table in
}

void DataSet::buildIndex(Index &index)
{
    index.order.clear();
    index.order.reserve(m_rows.size());
    for (const auto &row : m_rows)
        index.order.push_back(row.get());
    std::sort(index.order.begin(), index.order.end(),
              [&](const Row *a, const Row *b) { return lessThan(index, a, b); });
}

int DataSet::insertPosition(const Index &index, const Row *row) const
{
    auto it = std::lower_bound(index.order.begin(), index.order.end(), row,
                               [&](const Row *a, const Row *b) { return lessThan(index, a, b); });
    return int(it - index.order.begin());
}
