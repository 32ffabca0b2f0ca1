#pragma once

#include "gui/app/table_model.h"

#include <QDialog>

class QPushButton;

namespace os {

class DetailGrid;

// The grid columns of an order's shipping records, in the order both
// shipping windows show them.
QList<GridColumn> shippingColumns();

// "Shipping Log": the current order's shipping records to view and edit;
// rows are saved as they are left, and "&Done" (or closing) saves a row
// still being typed.
class TShippingNotes : public QDialog
{
    Q_OBJECT
public:
    explicit TShippingNotes(QWidget* parent = nullptr);

    DetailGrid* Records = nullptr;
    QPushButton* DoneBtn = nullptr;

    void done(int result) override;
};

} // namespace os
