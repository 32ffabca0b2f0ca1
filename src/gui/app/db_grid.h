#pragma once

#include "gui/app/table_model.h"

#include <QMenu>
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

    // Commits the cell being edited to the table's row (no post). A value
    // the column cannot hold (a date that is no date) is refused with a
    // message naming the column by its title, and the editor stays open with
    // what was typed: false.
    bool commitEditor();
    // Closes the cell editor without keeping what it holds.
    void dropEditor();
    // A new row starts with `stampField` set to now and the cursor in
    // `typingField` (a note's date, and its text to be typed).
    void setNewRowStart(const QString& stampField, const QString& typingField);
    // The row commands, shown on right-click (on the row clicked), the Menu
    // key and Shift+F10 (at the current row). The grid owns nothing of it.
    void setRowMenu(QMenu* menu) { m_rowMenu = menu; }
    QMenu* rowMenu() const { return m_rowMenu; }
    // Asks "Delete record?" and deletes the table's current row on Yes.
    void deleteCurrentRow();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    class Cursor;
    class Delegate;
    friend class Cursor;
    friend class Delegate;
    void followTable(int row);
    bool rowIsBlank() const;
    void applyColumnWidths();
    void startNewRow();
    void showRowMenu(const QPoint& global);
    // The column's refusal of what `editor` holds, or an empty text.
    QString refusalOf(QWidget* editor, const QModelIndex& index) const;
    // Shows the refusal of the open editor's value, if any: true when refused.
    bool refuseEditor();

    TableModel* m_model = nullptr;
    QPointer<QWidget> m_editor; // the open cell editor
    QPersistentModelIndex m_editorIndex;
    QString m_stampField;
    QString m_typingField;
    QMetaObject::Connection m_newRowWatch;
    QPointer<QMenu> m_rowMenu;
};

} // namespace os
