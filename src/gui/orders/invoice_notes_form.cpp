#include "gui/orders/invoice_notes_form.h"

#include <QLabel>

namespace os {

TInvoiceNotesForm::TInvoiceNotesForm(QWidget* parent)
    : OrderNotesDialog(QStringLiteral("Order Notes"), 34, QString(), QStringLiteral("Order Notes"),
                       parent)
{
    Label1->hide();
}

} // namespace os
