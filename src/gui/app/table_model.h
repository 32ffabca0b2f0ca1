#pragma once

#include "data/table.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QStringList>

namespace os {

// How a grid column shows its value.
enum class GridFormat
{
    Auto,     // by the column's type: text, integer, number, FormatMoney for Money,
              // the locale's short date (and time), a check box for Logical
    Money,    // FormatMoney: "#,##0.00"
    Currency, // the locale's currency format
    Check     // a check box (Logical); an empty value shows partly checked
};

// One column of a grid: which field, under what title, how it looks.
struct GridColumn
{
    QString field = {};
    QString title = {};           // empty: the field's name
    int width = 0;                // in characters; 0: from the field's size
    Qt::Alignment alignment = {}; // none: numbers right, the rest left
    GridFormat format = GridFormat::Auto;
    QColor foreground = {}; // invalid: the view's own
    QColor background = {};
    bool readOnly = false; // never edited, even in an editing grid
    // Texts the cell editor offers in a drop-down list; any other text can
    // still be typed.
    QStringList pickList = {};
};

// A Qt model over a paged os::Table: the row count comes from the engine and
// rows are read in chunks as the view asks for them (a few thousand at most
// are held), so a million-row table shows its first screen at once. The
// model follows the table's signals (set, data and state changes, the current
// row) and, in an editing grid, edits through the table: the row being
// edited or inserted shows the table's edit buffer.
class TableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    TableModel(Table* table, QList<GridColumn> columns, QObject* parent = nullptr);

    Table* table() const { return m_table; }
    const GridColumn& gridColumn(int column) const { return m_columns.at(column); }
    int fieldOf(int column) const { return m_fields.value(column, -1); }
    void setEditable(bool on) { m_editable = on; }
    bool isEditable() const { return m_editable; }

    // The view row of the table's current row; -1 when there is none.
    int currentRow() const { return m_currentRow; }
    // Makes `row` the table's current row, posting a pending edit first.
    // False (the message shown) when the post was refused or failed.
    bool setCurrentRow(int row);
    // Before the view's cursor leaves the current row for `row`: posts a
    // pending edit or insert. False (the message shown) when the post was
    // refused or failed, so the cursor must stay; otherwise `row` is where
    // the target row stands after the post.
    bool leaveRow(int& row);
    // The row being inserted (shown at the cursor), or -1.
    int insertRow() const { return m_inserting ? m_insertRow : -1; }
    // The next new row shows below the last one instead of at the cursor.
    void placeNextNewRowLast() { m_newRowLast = true; }

    // Display text and stored-form conversion, for delegates and exports.
    QString displayText(int column, const QVariant& typed) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Enter in an editor posts the row; Escape cancels it.
    bool submit() override;
    void revert() override;

signals:
    // The table's current row moved to view row `row` (-1: none).
    void currentRowChanged(int row);

private:
    void onSetChanged();
    void onDataChanged();
    void onStateChanged();
    void onCurrentChanged();
    void recount();
    void clearCache();
    int dataRowOf(int viewRow) const; // -1 for the inserted row
    const Table::Row* rowAt(int dataRow) const;
    const QList<Table::Row>& chunk(int index) const;
    int viewRowOf(qint64 bookmark) const;
    QVariant valueAt(int viewRow, int column) const; // typed

    QPointer<Table> m_table;
    QList<GridColumn> m_columns;
    QList<int> m_fields; // the table column of each grid column
    bool m_editable = false;

    int m_count = 0;    // rows of the set
    int m_changing = 0; // inside begin/end of a reset, an insert or a removal
    int m_currentRow = -1;
    bool m_inserting = false;
    int m_insertRow = 0;
    bool m_newRowLast = false;
    Table::State m_lastState = Table::State::Inactive;

    // The chunks read so far, least recently used first in m_lru.
    mutable QHash<int, QList<Table::Row>> m_chunks;
    mutable QList<int> m_lru;
    mutable QHash<qint64, int> m_rowOfBookmark;
};

} // namespace os
