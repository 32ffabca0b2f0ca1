#include "gui/orders/void_order_wiz.h"

#include "orders/order_transitions.h"

namespace os {

TVoidOrderWiz::TVoidOrderWiz(QWidget* parent)
    : OrderNotesDialog(
          QStringLiteral("Void Order"), 35,
          QStringLiteral("The Void Order Wizard allows you to void the order and provide a reason "
                         "for doing so in the order notes database. Providing a reason for voiding "
                         "this order allows you to recall this information in the future."),
          QStringLiteral("Order Notes"), parent)
{
    setCloseBoxSavesNote(true);
}

void TVoidOrderWiz::OKBtnClick()
{
    // The note first: once the order is marked it may leave the browser's
    // list, and the notes would follow the next order.
    if (!saveNote())
        return;
    if (guarded([this] { VoidOrder(orders()); }))
        accept();
}

} // namespace os
