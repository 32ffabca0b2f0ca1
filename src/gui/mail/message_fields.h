#pragma once

#include "gui/app/table_model.h"

#include <QWidget>

class QBoxLayout;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace os {

class DbGrid;

class Table;

// The fields of one message of the outbox or sent items: "To:", "From:",
// "Subject:" (and "Type:" where asked) above the body. Editable for the
// windows that write a message (New E-mail Message, Edit Message), read-only
// for the browsers (OutBox, Sent Items), which show the current row of
// their table.
class MessageFields : public QWidget
{
    Q_OBJECT
public:
    enum Mode
    {
        ReadOnly,
        Editable,
        EditableWithType
    };

    explicit MessageFields(Mode mode, QWidget* parent = nullptr);

    // Fills the fields from the table's current row (or its edit buffer);
    // empty when the table is closed or has no row.
    void load(const Table& table);
    // Writes the fields into the table's row in edit or insert.
    void store(Table& table) const;
    void clear();

    QLineEdit* ToEdit = nullptr;
    QLineEdit* FromEdit = nullptr;
    QLineEdit* SubjectEdit = nullptr;
    QComboBox* TypeCombo = nullptr; // EditableWithType only
    QPlainTextEdit* BodyEdit = nullptr;

private:
    Mode m_mode;
};

// The table's state as the editors' status lines show it: "Inactive",
// "Browse", "Edit", "Insert".
QString tableStateText(const Table& table);

// The grid columns of a message browser (OutBox, Sent Items).
QList<GridColumn> messageGridColumns();

// Shows `table` in a message browser's grid: the date as wide as its text,
// the addresses and the type at widths from the font, and the subject taking
// the width the others leave, so the columns fit a small or scaled screen.
void setMessageGrid(DbGrid* grid, Table* table);

// Lays out a window that writes a message: its button row, the fields and a
// status line below them. Returns the status line's label.
QLabel* layOutMessageWindow(QWidget* window, QBoxLayout* buttons, MessageFields* fields);

} // namespace os
