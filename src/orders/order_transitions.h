#pragma once

#include <QString>

namespace os {

class Table;

// The state changes the order dialogs make on the current order of
// `orders` (the shared ORDERs). Each saves the order with its history row
// (postOrderChange) and refreshes the table, so a row that no longer passes
// the browser's filter leaves the list. Each returns whether it changed the
// order; false also when the row rule refused it (the order is left as it
// was). Throws DbError when the engine fails (the order is left as it was).
//
// Which of them stamp LASTMARKED with now:
//   Void Order, Status Pending, Shipping Wizard: always;
//   Receive Payment: only when the order was not "New";
//   Complete Order: never.

// How a transition treats LASTMARKED.
enum class Stamp
{
    Now,
    Keep
};

// ORDERSTATE = `state` (and LASTMARKED per `stamp`) by `command`. An order
// already in that state is saved all the same when LASTMARKED is stamped
// (the dialog's OK says "done now").
bool MarkCurrentOrder(Table& orders, const QString& state, Stamp stamp, const QString& command);

bool VoidOrder(Table& orders);                           // "Void", stamped
bool SetStatusPending(Table& orders);                    // "Status Pending", stamped
bool CompleteOrder(Table& orders);                       // "Complete", not stamped
bool ShipOrder(Table& orders, const QString& shipState); // stamped

// Receive Payment's OK: a "New" order, after "Move the order to the
// \"Payment Received\" list (strongly recommended)." answered Yes, goes to
// "Payment Received" without a stamp; another state but "Payment Received",
// after "Do you want to revert back to \"Payment Received\"?" answered Yes,
// with one; "Payment Received" stays as it is without a question.
bool ReceivePayment(Table& orders);

// Change Price's OK: a new TOTAL (any number, 0 and negative included).
// The same total changes nothing.
bool ChangeOrderTotal(Table& orders, double total);

// Phone Payment's OK: the card fields as typed (each cut to its column).
struct CardDetails
{
    QString cardType, cardNumber, ccMonth, ccYear, ccPhone;
};
bool ModifyCardInformation(Table& orders, const CardDetails& card);

// The current order's number, 0 when the list is empty (Receive Payment's
// OrderChanged compares it before and after).
qint64 currentOrderNumber(const Table& orders);

} // namespace os
