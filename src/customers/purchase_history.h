#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

namespace os {

// The figures of a customer's purchase history: every order of the
// customer counts, whatever its state. Read with two statements over the
// CUSTID index of orders.db, so a profile opens at once on a million orders.
struct PurchaseFigures
{
    int orders = 0;
    QVariant total;      // SUM(TOTAL); null when there is no order (the empty sum)
    QDateTime firstDate; // the earliest and latest IDATE; invalid without orders
    QDateTime lastDate;
};

// Reads the figures of customer `custId` from orders.db in `dir`. Throws DbError.
PurchaseFigures readPurchaseFigures(const QString& dir, qint64 custId);

// Which profile shows the figures: the one opened from the Customers View
// shows "00.00" as the average of no orders, the one opened from the Orders
// View "?".
enum class ProfileVariant
{
    CustomersView,
    OrdersView
};

// The "Average" pane: total / orders as money text (FormatMoney), or the
// variant's text for no orders.
QString averageText(const PurchaseFigures& figures, ProfileVariant variant);
// The "Total" pane: the sum as money text; empty for no orders.
QString totalText(const PurchaseFigures& figures);
// The first and last order dates as the profile shows them (the system's
// short date); empty without orders.
QString orderDateText(const QDateTime& when);

} // namespace os
