#include "gui/orders/statuspending.h"

#include "orders/order_transitions.h"

namespace os {

Tstatuspending::Tstatuspending(QWidget* parent)
    : OrderNotesDialog(QStringLiteral("Status Pending"), 36,
                       QStringLiteral("The Status Pending dialog box allows you to type notes on "
                                      "an order and move the order to the status pending list. "),
                       QStringLiteral("Invoice Notes"), parent)
{
}

void Tstatuspending::OKBtnClick()
{
    if (!saveNote())
        return;
    if (guarded([this] { SetStatusPending(orders()); }))
        accept();
}

} // namespace os
