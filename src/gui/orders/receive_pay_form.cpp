#include "gui/orders/receive_pay_form.h"

#include "base/text_utils.h"
#include "data/table.h"
#include "orders/order_transitions.h"

namespace os {

TReceivePay_Form::TReceivePay_Form(QWidget* parent)
    : OrderNotesDialog(
          QStringLiteral("Receive Payment"), 1057,
          QStringLiteral("This dialog performs two actions: It will mark the invoice \"Payment "
                         "Received\" and will allow you to type notes. Typical notes include the "
                         "check number or a credit card authorization code."),
          QStringLiteral("Order Notes"), parent)
{
    const Table& o = orders();
    const bool any = !o.isEmpty();
    auto text = [&](const char* field) {
        return any ? o.value(QLatin1String(field)).toString() : QString();
    };
    addShown(QStringLiteral("Invoice:"), text("INV"), "Invoice");
    addShown(QStringLiteral("Company:"), text("COMPANY"), "Company");
    addShown(QStringLiteral("Name:"), text("NAME"), "CustName");
    addShown(QStringLiteral("TOTAL:"),
             any ? FormatMoney(o.value(QStringLiteral("TOTAL")).toDouble()) : QString(), "Total");
}

void TReceivePay_Form::OKBtnClick()
{
    if (!saveNote())
        return;
    const qint64 worked = currentOrderNumber(orders());
    if (!guarded([this] { ReceivePayment(orders()); }))
        return;
    m_orderChanged = currentOrderNumber(orders()) != worked;
    accept();
}

} // namespace os
