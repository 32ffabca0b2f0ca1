#include "gui/app/table_model.h"

#include "base/messages.h"
#include "base/text_utils.h"
#include "data/connection.h"
#include "data/db_error.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

namespace os {

namespace {

// Rows per chunk and chunks kept: a few screens either side of what is shown.
constexpr int kChunk = 128;
constexpr int kMaxChunks = 32;

bool isNumeric(FieldType t)
{
    return isIntegerType(t) || isFloatType(t);
}

QString editText(const QVariant& typed, FieldType type)
{
    if (typed.isNull())
        return QString();
    if (isFloatType(type)) {
        QLocale locale;
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        return locale.toString(typed.toDouble(), 'f', QLocale::FloatingPointShortest);
    }
    return typed.toString();
}

// Counts the changes of rows under way (nested: a reset inside a removal).
struct Changing
{
    explicit Changing(int& n) : m_n(n) { ++m_n; }
    ~Changing() { --m_n; }
    int& m_n;
};

void showError(const DbError& e)
{
    messages().error(e.text());
}

} // namespace

TableModel::TableModel(Table* table, QList<GridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_columns(std::move(columns))
{
    for (GridColumn& c : m_columns) {
        const int f = table->def().fieldIndex(c.field);
        if (f < 0)
            throw DbError(
                QStringLiteral("Field '%1' not found in %2.").arg(c.field, table->tableName()));
        m_fields << f;
        if (c.title.isEmpty())
            c.title = table->def().fields.at(f).name;
    }
    connect(table, &Table::setChanged, this, &TableModel::onSetChanged);
    connect(table, &Table::dataChanged, this, &TableModel::onDataChanged);
    connect(table, &Table::stateChanged, this, &TableModel::onStateChanged);
    connect(table, &Table::currentChanged, this, &TableModel::onCurrentChanged);
    m_lastState = table->state();
    m_inserting = m_lastState == Table::State::Insert;
    recount();
    onCurrentChanged();
}

void TableModel::recount()
{
    clearCache();
    m_count = 0;
    if (!m_table || !m_table->isOpen())
        return;
    try {
        m_count = m_table->recordCount();
    } catch (const DbError&) {
        m_count = 0;
    }
}

void TableModel::clearCache()
{
    m_chunks.clear();
    m_lru.clear();
    m_rowOfBookmark.clear();
}

void TableModel::onSetChanged()
{
    const Changing changing(m_changing);
    beginResetModel();
    m_inserting = m_table && m_table->state() == Table::State::Insert;
    m_insertRow = 0;
    recount();
    m_currentRow = -1;
    endResetModel();
}

void TableModel::onDataChanged()
{
    const int before = m_count;
    recount();
    if (m_count != before) {
        const Changing changing(m_changing);
        beginResetModel();
        endResetModel();
    } else if (rowCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

void TableModel::onStateChanged()
{
    const Table::State now = m_table ? m_table->state() : Table::State::Inactive;
    const Table::State was = m_lastState;
    m_lastState = now;
    const Changing changing(m_changing);
    if (now == Table::State::Insert && !m_inserting) {
        // The new row shows where the cursor is, as in a card file, or
        // below the last row when appended.
        const int at = m_newRowLast ? rowCount() : m_currentRow >= 0 ? m_currentRow : 0;
        m_newRowLast = false;
        beginInsertRows({}, at, at);
        m_inserting = true;
        m_insertRow = at;
        endInsertRows();
    } else if (now != Table::State::Insert && m_inserting) {
        beginRemoveRows({}, m_insertRow, m_insertRow);
        m_inserting = false;
        endRemoveRows();
        if (m_currentRow == m_insertRow)
            m_currentRow = -1;
    } else if ((was == Table::State::Edit || now == Table::State::Edit) && m_currentRow >= 0) {
        emit dataChanged(index(m_currentRow, 0), index(m_currentRow, columnCount() - 1));
    }
}

void TableModel::onCurrentChanged()
{
    int row = -1;
    if (m_table && m_table->isOpen()) {
        if (m_inserting)
            row = m_insertRow;
        else
            row = viewRowOf(m_table->bookmark());
    }
    if (row >= rowCount())
        row = rowCount() - 1;
    m_currentRow = row;
    emit currentRowChanged(row);
}

int TableModel::viewRowOf(qint64 bookmark) const
{
    if (bookmark == 0)
        return -1;
    int data = m_rowOfBookmark.value(bookmark, -1);
    if (data < 0) {
        try {
            data = m_table->rowNumber(bookmark);
        } catch (const DbError&) {
            data = -1;
        }
    }
    if (data < 0)
        return -1;
    return m_inserting && data >= m_insertRow ? data + 1 : data;
}

int TableModel::dataRowOf(int viewRow) const
{
    if (!m_inserting)
        return viewRow;
    if (viewRow == m_insertRow)
        return -1;
    return viewRow > m_insertRow ? viewRow - 1 : viewRow;
}

const QList<Table::Row>& TableModel::chunk(int index) const
{
    auto it = m_chunks.find(index);
    if (it != m_chunks.end()) {
        m_lru.removeOne(index);
        m_lru.append(index);
        return *it;
    }
    QList<Table::Row> rows;
    const int start = index * kChunk;
    const int n = qMin(kChunk, m_count - start);
    try {
        if (n > 0) {
            // A neighbour read before gives the key to continue from, which the
            // index finds at once; otherwise skip from the nearer end.
            auto prev = m_chunks.constFind(index - 1);
            auto next = m_chunks.constFind(index + 1);
            if (prev != m_chunks.cend() && prev->size() == kChunk)
                rows = m_table->readRowsAfter(prev->last(), n);
            else if (next != m_chunks.cend() && !next->isEmpty())
                rows = m_table->readRowsBefore(next->first(), n);
            else if (start > m_count / 2)
                rows = m_table->readRows(m_count - start - n, n, true);
            else
                rows = m_table->readRows(start, n);
        }
    } catch (const DbError&) {
        rows.clear();
    }
    while (m_lru.size() >= kMaxChunks) {
        const int old = m_lru.takeFirst();
        for (const Table::Row& r : m_chunks.value(old))
            m_rowOfBookmark.remove(r.rowid);
        m_chunks.remove(old);
    }
    for (int i = 0; i < rows.size(); ++i)
        m_rowOfBookmark.insert(rows.at(i).rowid, start + i);
    m_lru.append(index);
    return *m_chunks.insert(index, rows);
}

const Table::Row* TableModel::rowAt(int dataRow) const
{
    if (dataRow < 0 || dataRow >= m_count || !m_table || !m_table->isOpen())
        return nullptr;
    const QList<Table::Row>& rows = chunk(dataRow / kChunk);
    const int i = dataRow % kChunk;
    return i < rows.size() ? &rows.at(i) : nullptr;
}

QVariant TableModel::valueAt(int viewRow, int column) const
{
    const int field = m_fields.at(column);
    // The row in edit or insert shows what the merchant typed.
    if (m_inserting ? viewRow == m_insertRow
                    : viewRow == m_currentRow && m_table->state() == Table::State::Edit)
        return m_table->valueAt(field);
    const Table::Row* r = rowAt(dataRowOf(viewRow));
    return r ? m_table->typedValue(*r, field) : QVariant();
}

QString TableModel::displayText(int column, const QVariant& typed) const
{
    if (typed.isNull())
        return QString();
    const FieldType type = m_table->def().fields.at(m_fields.at(column)).type;
    switch (m_columns.at(column).format) {
    case GridFormat::Money:
        return FormatMoney(typed.toDouble());
    case GridFormat::Currency:
        return QLocale().toCurrencyString(typed.toDouble());
    case GridFormat::Check:
        return QString();
    case GridFormat::Auto:
        break;
    }
    switch (type) {
    case FieldType::Money:
        return FormatMoney(typed.toDouble());
    case FieldType::Number: {
        QLocale locale;
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        return locale.toString(typed.toDouble(), 'f', QLocale::FloatingPointShortest);
    }
    case FieldType::Timestamp:
        return QLocale().toString(typed.toDateTime(), QLocale::ShortFormat);
    case FieldType::Date:
        return QLocale().toString(typed.toDate(), QLocale::ShortFormat);
    case FieldType::Logical:
        return QString();
    case FieldType::Memo:
        return typed.toString().section(QLatin1Char('\n'), 0, 0);
    default:
        return typed.toString();
    }
}

int TableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_count + (m_inserting ? 1 : 0);
}

int TableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant TableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !m_table || index.row() >= rowCount() ||
        index.column() >= columnCount())
        return {};
    const GridColumn& col = m_columns.at(index.column());
    const FieldType type = m_table->def().fields.at(m_fields.at(index.column())).type;
    const bool check = col.format == GridFormat::Check ||
                       (col.format == GridFormat::Auto && type == FieldType::Logical);
    switch (role) {
    case Qt::DisplayRole:
        return displayText(index.column(), valueAt(index.row(), index.column()));
    case Qt::EditRole: {
        const QVariant v = valueAt(index.row(), index.column());
        if (type == FieldType::Date || type == FieldType::Timestamp || check)
            return v;
        return editText(v, type);
    }
    case Qt::CheckStateRole: {
        if (!check)
            return {};
        const QVariant v = valueAt(index.row(), index.column());
        if (v.isNull())
            return Qt::PartiallyChecked;
        return v.toBool() ? Qt::Checked : Qt::Unchecked;
    }
    case Qt::TextAlignmentRole: {
        Qt::Alignment a = col.alignment;
        if (!(a & Qt::AlignHorizontal_Mask))
            a |= isNumeric(type) && !check ? Qt::AlignRight : Qt::AlignLeft;
        if (!(a & Qt::AlignVertical_Mask))
            a |= Qt::AlignVCenter;
        return int(a);
    }
    case Qt::ForegroundRole:
        return col.foreground.isValid() ? QVariant(col.foreground) : QVariant();
    case Qt::BackgroundRole:
        return col.background.isValid() ? QVariant(col.background) : QVariant();
    default:
        return {};
    }
}

bool TableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || !m_editable || !m_table || !m_table->isOpen() ||
        !(flags(index) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)))
        return false;
    const int field = m_fields.at(index.column());
    const FieldDef& def = m_table->def().fields.at(field);
    QVariant stored = value;
    if (role == Qt::CheckStateRole) {
        stored = value.toInt() == Qt::Checked;
    } else if (role == Qt::EditRole) {
        // Numbers are typed in the locale's form; text that is not a number
        // goes on as it is, so the engine names the field in its refusal.
        if (isFloatType(def.type) && value.typeId() == QMetaType::QString) {
            bool ok = false;
            const double d = QLocale().toDouble(value.toString().trimmed(), &ok);
            if (ok)
                stored = d;
        }
    } else {
        return false;
    }
    try {
        if (!setCurrentRow(index.row()))
            return false;
        if (m_table->state() == Table::State::Browse)
            m_table->edit();
        m_table->setValue(def.name, stored);
    } catch (const DbError& e) {
        showError(e);
        return false;
    }
    const int row = m_currentRow >= 0 ? m_currentRow : index.row();
    emit dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
    return true;
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_columns.size())
            return {};
        if (role == Qt::DisplayRole)
            return m_columns.at(section).title;
        return {};
    }
    if (role == Qt::DisplayRole && section >= 0 && section < rowCount()) {
        // The row indicator: the current row, and whether it is being edited.
        if (section != m_currentRow)
            return QString();
        switch (m_table ? m_table->state() : Table::State::Inactive) {
        case Table::State::Edit:
            return QStringLiteral("I");
        case Table::State::Insert:
            return QStringLiteral("*");
        default:
            return QStringLiteral("\u25B8");
        }
    }
    return {};
}

Qt::ItemFlags TableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (m_editable && !m_columns.at(index.column()).readOnly) {
        const FieldType type = m_table->def().fields.at(m_fields.at(index.column())).type;
        const GridFormat format = m_columns.at(index.column()).format;
        if (format == GridFormat::Check ||
            (format == GridFormat::Auto && type == FieldType::Logical))
            f |= Qt::ItemIsUserCheckable;
        else if (type != FieldType::Autoinc)
            f |= Qt::ItemIsEditable;
    }
    return f;
}

bool TableModel::setCurrentRow(int row)
{
    // While rows come and go the view moves its cursor by itself; the
    // table's own current row is what the view follows afterwards.
    if (m_changing)
        return false;
    if (!m_table || !m_table->isOpen() || row < 0 || row >= rowCount())
        return false;
    if (row == m_currentRow)
        return true;
    try {
        if (m_inserting) {
            // Leaving the new row posts it (or it stays, refused).
            if (row == m_insertRow)
                return true;
            const Table::Row* target = rowAt(dataRowOf(row));
            const qint64 bm = target ? target->rowid : 0;
            if (!m_table->post())
                return false;
            return bm != 0 && m_table->gotoBookmark(bm);
        }
        const Table::Row* target = rowAt(dataRowOf(row));
        if (!target)
            return false;
        const bool moved = m_table->gotoBookmark(target->rowid);
        if (!moved)
            emit currentRowChanged(m_currentRow); // the view goes back
        return moved;
    } catch (const DbError& e) {
        showError(e);
        emit currentRowChanged(m_currentRow);
        return false;
    }
}

bool TableModel::leaveRow(int& row)
{
    if (m_changing)
        return true;
    if (!m_table || !m_table->isOpen() || row == m_currentRow)
        return true;
    const Table::State s = m_table->state();
    if (s != Table::State::Edit && s != Table::State::Insert)
        return true;
    const Table::Row* target = rowAt(dataRowOf(row));
    const qint64 bm = target ? target->rowid : 0;
    try {
        if (!m_table->post())
            return false;
    } catch (const DbError& e) {
        showError(e);
        return false;
    }
    const int now = viewRowOf(bm);
    row = now >= 0 ? now : m_currentRow;
    return row >= 0;
}

bool TableModel::submit()
{
    if (!m_table || !m_table->isOpen())
        return true;
    const Table::State s = m_table->state();
    if (s != Table::State::Edit && s != Table::State::Insert)
        return true;
    try {
        return m_table->post();
    } catch (const DbError& e) {
        showError(e);
        return false;
    }
}

void TableModel::revert()
{
    if (m_table && m_table->isOpen())
        m_table->cancel();
}

} // namespace os
