#include "orders/order_transitions.h"

#include "base/clock.h"
#include "base/messages.h"
#include "data/table.h"
#include "orders/order_history.h"

namespace os {

namespace {

const QString kState = QStringLiteral("ORDERSTATE");
const QString kLastMarked = QStringLiteral("LASTMARKED");

// Sets columns of the current order and saves them with their history; a
// refusal or a failure leaves the order as it was.
template <class F> bool saveOrder(Table& orders, const QString& command, F set)
{
    if (!orders.isOpen() || orders.isEmpty())
        return false;
    orders.edit();
    try {
        set();
        if (!postOrderChange(orders, command)) {
            orders.cancel();
            return false;
        }
    } catch (...) {
        orders.cancel();
        throw;
    }
    orders.refresh();
    return true;
}

bool yes(const QString& question)
{
    return messages().ask(question, Buttons::YesNo) == Answer::Yes;
}

} // namespace

bool MarkCurrentOrder(Table& orders, const QString& state, Stamp stamp, const QString& command)
{
    return saveOrder(orders, command, [&] {
        orders.setValue(kState, state);
        if (stamp == Stamp::Now)
            orders.setValue(kLastMarked, Clock::now());
    });
}

bool VoidOrder(Table& orders)
{
    return MarkCurrentOrder(orders, QStringLiteral("Void"), Stamp::Now,
                            QLatin1String(history::kVoidOrder));
}

bool SetStatusPending(Table& orders)
{
    return MarkCurrentOrder(orders, QStringLiteral("Status Pending"), Stamp::Now,
                            QLatin1String(history::kStatusPending));
}

bool CompleteOrder(Table& orders)
{
    return MarkCurrentOrder(orders, QStringLiteral("Complete"), Stamp::Keep,
                            QLatin1String(history::kCompleteOrder));
}

bool ShipOrder(Table& orders, const QString& shipState)
{
    return MarkCurrentOrder(orders, shipState, Stamp::Now, QLatin1String(history::kShippingWizard));
}

bool ReceivePayment(Table& orders)
{
    if (!orders.isOpen() || orders.isEmpty())
        return false;
    const QString received = QStringLiteral("Payment Received");
    const QString state = orders.value(kState).toString();
    if (state == received)
        return false;
    if (state == QLatin1String("New")) {
        if (!yes(QStringLiteral("Move the order to the \"Payment Received\" list (strongly "
                                "recommended).")))
            return false;
        return MarkCurrentOrder(orders, received, Stamp::Keep,
                                QLatin1String(history::kReceivePayment));
    }
    if (!yes(QStringLiteral("Do you want to revert back to \"Payment Received\"?")))
        return false;
    return MarkCurrentOrder(orders, received, Stamp::Now, QLatin1String(history::kReceivePayment));
}

bool ChangeOrderTotal(Table& orders, double total)
{
    if (!orders.isOpen() || orders.isEmpty())
        return false;
    const QVariant old = orders.value(QStringLiteral("TOTAL"));
    if (!old.isNull() && old.toDouble() == total)
        return false;
    return saveOrder(orders, QLatin1String(history::kChangePrice),
                     [&] { orders.setValue(QStringLiteral("TOTAL"), total); });
}

bool ModifyCardInformation(Table& orders, const CardDetails& card)
{
    if (!orders.isOpen() || orders.isEmpty())
        return false;
    const std::pair<const char*, const QString*> fields[] = {{"CARDTYPE", &card.cardType},
                                                             {"CARDNUM", &card.cardNumber},
                                                             {"CCMONTH", &card.ccMonth},
                                                             {"CCYEAR", &card.ccYear},
                                                             {"CCPHONE", &card.ccPhone}};
    bool same = true;
    for (const auto& [field, value] : fields)
        same = same && orders.value(QLatin1String(field)).toString() == *value;
    if (same)
        return false;
    return saveOrder(orders, QLatin1String(history::kModifyCardInformation), [&] {
        for (const auto& [field, value] : fields)
            orders.setValue(QLatin1String(field), *value);
    });
}

qint64 currentOrderNumber(const Table& orders)
{
    if (!orders.isOpen() || orders.isEmpty())
        return 0;
    return orders.value(QStringLiteral("INV")).toLongLong();
}

} // namespace os
