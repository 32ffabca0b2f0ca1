#pragma once

#include <QString>

namespace os {

// The checks the orders browser runs before it opens an order dialog, given
// the current order's state. Each asks its questions (Yes/No) through
// os::messages() and returns whether the dialog opens. States compare
// exactly, case included.

bool ReceivePaymentCheck(const QString& state); // Receive Payment Wizard
bool ShipOrderCheck(const QString& state);      // Ship Order Wizard
bool CompleteOrderCheck(const QString& state);  // Complete Order Wizard
bool StatusPendingCheck(const QString& state);  // no question: not already "Status Pending"
bool VoidOrderCheck(const QString& state);      // no question: not already "Void"
bool ChangePriceCheck(const QString& state);

// Which window "Credit Card Pop-Up" opens for an order.
enum class CardWindow
{
    Card,     // TCCForm: the card and the merchant's accounts
    CardEntry // TPhonePayment: entering the card
};
CardWindow cardWindowFor(const QString& method, const QString& cardNumber);

// Whether "Credit Card Pop-Up" is offered for a method: it holds "Credit Card".
bool takesCards(const QString& method);

} // namespace os
