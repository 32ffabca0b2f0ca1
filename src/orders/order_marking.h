#pragma once

#include <QString>
#include <QStringList>

namespace os {

class MainServices;
class Query;
class Table;

// The states a merchant marks orders with, in the order of the menus:
// "New", "Payment Received", "Shipped", "Partially Shipped", "Complete",
// "Status Pending", "Void". ("AutoVoid" comes only from the store.)
const QStringList& markStates();

// The payment methods a merchant can set, in the order of the menu. The
// stored text of the second is "Credit Card by Phone".
const QStringList& paymentMethods();

// The rules below act on the current row of `orders` (the shared ORDERs),
// ask through os::messages() and throw DbError when the engine fails (the
// row is then no longer in edit). Each returns whether it changed anything.

// Marks the current order `state` after its question, stamping LASTMARKED
// with now. Nothing is asked or changed when the order has that state.
bool MarkOrder(Table& orders, const QString& state);

// Marks every order in the current order's state (hidden by the filter or
// not) `target`, after the question, with the busy cursor and the main
// window's commands off (always given back). LASTMARKED stays. The states
// travel as bound parameters of `markAll`'s statement.
bool MarkAllOrders(Table& orders, Query& markAll, const QString& target, MainServices& main);

// Sets the current order's METHOD after its question(s).
bool ChangePaymentMethod(Table& orders, const QString& method);

// Deletes the current order and its invoice file after the beep and the
// question. Its notes, shipping records and store status rows stay.
bool DeleteOrder(Table& orders, const QString& dataDir);

} // namespace os
