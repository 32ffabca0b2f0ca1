#pragma once

#include "gui/app/table_model.h"

#include <QWidget>

namespace os {

class DbGrid;
class RecordNavigator;

// An editing grid over the detail rows of a dialog (an order's notes, its
// shipping records) with the record navigator (all ten buttons) above it.
// Rows are saved as the merchant leaves them; the dialog's OK saves a row
// still being typed (saveTyping) and its Cancel drops it (discardTyping).
class DetailGrid : public QWidget
{
    Q_OBJECT
public:
    DetailGrid(Table* table, QList<GridColumn> columns, QWidget* parent = nullptr);

    DbGrid* grid() const { return m_grid; }
    RecordNavigator* navigator() const { return m_navigator; }
    Table* table() const;

    // Saves the row being edited or inserted, the cell being typed included.
    // A new row in which nothing was typed (a date does not count) is dropped
    // instead. False when the row rule refused the row or the engine failed
    // (the message is shown and the row stays for correcting).
    bool saveTyping();
    // Drops the row being edited or inserted, the cell being typed included.
    void discardTyping();
    // Whether a row is being edited or inserted.
    bool isTyping() const;

private:
    DbGrid* m_grid;
    RecordNavigator* m_navigator;
};

} // namespace os
