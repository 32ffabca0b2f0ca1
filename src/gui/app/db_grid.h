#pragma once

#include "gui/app/table_model.h"

#include <QPointer>
#include <QTableView>

namespace os {

// The program's grid over a table: a QTableView on a TableModel whose cursor
// and the table's current row move together both ways (dialogs and detail
// tables act on the table's current row). Read-only unless made editable;
// an editing grid edits through the table:
// - typing or F2 (or a double click) edits a cell, Insert adds a row at the
//   cursor, Ctrl+Delete deletes the row after "Delete record?";
// - Enter, or leaving the row, posts it; a refusal of the table's row rule
//   keeps the row in edit with what was typed and the cursor on it;
// - Escape cancels the row's changes (or the new row).
class DbGrid : public QTableView
{
    Q_OBJECT
public:
    explicit DbGrid(QWidget* parent = nullptr);
    ~DbGrid() override;

    // Shows `table` through `columns`. The model is the grid's own.
    void setTable(Table* table, QList<GridColumn> columns, bool editable = false);
    TableModel* tableModel() const { return m_model; }
    Table* table() const { return m_model ? m_model->table() : nullptr; }

    // Commits the cell being edited to the table's row (no post).
    void commitEditor();
    // Asks "Delete record?" and deletes the table's current row on Yes.
    void deleteCurrentRow();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    class Cursor;
    class Delegate;
    friend class Cursor;
    friend class Delegate;
    void followTable(int row);
    bool rowIsBlank() const;
    void applyColumnWidths();

    TableModel* m_model = nullptr;
    QPointer<QWidget> m_editor; // the open cell editor
};

} // namespace os
