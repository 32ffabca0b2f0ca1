#include "orders/order_checks.h"

#include "base/messages.h"

namespace os {

namespace {

bool yes(const QString& question)
{
    return messages().ask(question, Buttons::YesNo) == Answer::Yes;
}

} // namespace

bool ReceivePaymentCheck(const QString& state)
{
    if (state == QLatin1String("New"))
        return true;
    return yes(QStringLiteral("This item is not \"New\", are you sure you want to do this?\r\rThe "
                              "only reason for doing this is to update or preview the payment "
                              "information."));
}

bool ShipOrderCheck(const QString& state)
{
    if (state == QLatin1String("New") || state == QLatin1String("Complete") ||
        state == QLatin1String("Void"))
        return yes(QStringLiteral("This order is marked \"%1\", are you sure you want to start the "
                                  "Shipping Wizard?")
                       .arg(state));
    if (state == QLatin1String("Shipped"))
        return yes(QStringLiteral("This has already been marked \"Shipped\", are you sure you want "
                                  "to start the Shipping Wizard?"));
    return true;
}

bool CompleteOrderCheck(const QString& state)
{
    if (state == QLatin1String("Complete"))
        return yes(QStringLiteral("This item has already been marked \"Complete\", are you sure "
                                  "you want to do this?"));
    if (state == QLatin1String("Shipped"))
        return true;
    return yes(QStringLiteral("This order is currently marked \"%1 \", are you sure you want to "
                              "mark it \"Complete\"?")
                   .arg(state));
}

bool StatusPendingCheck(const QString& state)
{
    return state != QLatin1String("Status Pending");
}

bool VoidOrderCheck(const QString& state)
{
    return state != QLatin1String("Void");
}

bool ChangePriceCheck(const QString& state)
{
    if (state == QLatin1String("New"))
        return true;
    return yes(QStringLiteral("This order is not \"New\"! Are you sure you want to change the "
                              "price?"));
}

CardWindow cardWindowFor(const QString& method, const QString& cardNumber)
{
    if (method == QLatin1String("Credit Card") || !cardNumber.isEmpty())
        return CardWindow::Card;
    return CardWindow::CardEntry;
}

bool takesCards(const QString& method)
{
    return method.contains(QLatin1String("Credit Card"));
}

} // namespace os
