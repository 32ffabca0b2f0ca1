#pragma once

#include "gui/orders/order_notes_dialog.h"

namespace os {

// "Order Notes": the current order's notes and nothing else. OK saves a
// note still being typed; Cancel drops it.
class TInvoiceNotesForm : public OrderNotesDialog
{
    Q_OBJECT
public:
    explicit TInvoiceNotesForm(QWidget* parent = nullptr);
};

} // namespace os
