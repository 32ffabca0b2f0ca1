#include "orders/order_marking.h"

#include "base/busy_cursor.h"
#include "base/clock.h"
#include "base/main_services.h"
#include "base/messages.h"
#include "data/query.h"
#include "data/table.h"
#include "data/transaction.h"
#include "orders/order_columns.h"
#include "orders/order_history.h"

#include <QFile>

namespace os {

namespace {

const QString kState = QStringLiteral("ORDERSTATE");
const QString kMethod = QStringLiteral("METHOD");

bool yes(const QString& question, MessageKind kind = MessageKind::Question)
{
    return messages().ask(question, Buttons::YesNo, kind) == Answer::Yes;
}

QString markQuestion(const QString& state)
{
    // The texts differ in small ways (a semicolon for "New", two spaces after
    // the first sentence for "Status Pending" and "Void"); they are kept so.
    const QString gap = state == QLatin1String("Status Pending") || state == QLatin1String("Void")
                            ? QStringLiteral("  ")
                            : QStringLiteral(" ");
    const QString joint = state == QLatin1String("New") ? QStringLiteral(";") : QStringLiteral(",");
    return QStringLiteral("You are about to mark this order \"%1\".%2This will not undo any "
                          "previous actions%3 it will only move the order to the \"%1\" "
                          "list.\r\rAre you sure you want to do this?")
        .arg(state, gap, joint);
}

// Writes one change to the current row with its history rows; a failure
// leaves it in browse.
template <class F> bool writeRow(Table& orders, const char* command, F set)
{
    orders.edit();
    try {
        set();
        if (!postOrderChange(orders, QLatin1String(command))) {
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

// Runs on every way out of a scope.
template <class F> struct OnExit
{
    F f;
    ~OnExit() { f(); }
};
template <class F> OnExit(F) -> OnExit<F>;

} // namespace

const QStringList& markStates()
{
    static const QStringList states = {
        QStringLiteral("New"),      QStringLiteral("Payment Received"),
        QStringLiteral("Shipped"),  QStringLiteral("Partially Shipped"),
        QStringLiteral("Complete"), QStringLiteral("Status Pending"),
        QStringLiteral("Void")};
    return states;
}

const QStringList& paymentMethods()
{
    static const QStringList methods = {QStringLiteral("Credit Card"),
                                        QStringLiteral("Credit Card by Phone"),
                                        QStringLiteral("COD"),
                                        QStringLiteral("Purchase Order"),
                                        QStringLiteral("Remote Credit Card"),
                                        QStringLiteral("Mail Payment")};
    return methods;
}

bool MarkOrder(Table& orders, const QString& state)
{
    if (!orders.isOpen() || orders.isEmpty())
        return false;
    if (orders.value(kState).toString() == state)
        return false;
    if (!yes(markQuestion(state)))
        return false;
    return writeRow(orders, history::kMarkOrder, [&] {
        orders.setValue(kState, state);
        orders.setValue(QStringLiteral("LASTMARKED"), Clock::now());
    });
}

bool MarkAllOrders(Table& orders, Query& markAll, const QString& target, MainServices& main)
{
    if (!orders.isOpen() || orders.isEmpty())
        return false;
    const QString current = orders.value(kState).toString();
    if (current == target)
        return false;
    if (!yes(QStringLiteral("You are about to mark ALL %1 orders to %2. Are you sure you want to "
                            "do this?")
                 .arg(current, target),
             MessageKind::Warning))
        return false;

    BusyCursor busy;
    main.SetCommandsEnabled(false);
    OnExit restore{[&main] { main.SetCommandsEnabled(true); }};

    // The states are bound, never pasted: a quote in a state the store sent
    // cannot break the statement or widen what it updates. The case-blind
    // term lets the engine's index find the rows; the exact one decides.
    markAll.close();
    markAll.setDirectory(orders.directory());
    markAll.setSql(QStringLiteral("UPDATE orders.db SET ORDERSTATE=:NEWSTATE\n"
                                  "WHERE ORDERSTATE COLLATE NOCASE=:OLDSTATE AND "
                                  "ORDERSTATE=:OLDSTATE"));
    markAll.clearParams();
    markAll.setParam(QStringLiteral("NEWSTATE"), target);
    markAll.setParam(QStringLiteral("OLDSTATE"), current);
    {
        // One history row per order, in the update's transaction: the rows
        // and the marks are kept or lost together.
        OrderHistoryWriter writer(orders.directory());
        Transaction tx(orders.directory(), QStringLiteral("orders"));
        writer.addForState(current, target, QLatin1String(history::kMarkAll), Clock::now());
        markAll.exec();
        tx.commit();
    }
    orders.refresh();
    return true;
}

bool ChangePaymentMethod(Table& orders, const QString& method)
{
    if (!orders.isOpen() || orders.isEmpty())
        return false;
    if (orders.value(kMethod).toString() == method)
        return false;
    const bool plain = method == QLatin1String("Credit Card") || method == QLatin1String("COD") ||
                       method == QLatin1String("Purchase Order");
    const QString shown = plain ? method : QLatin1Char('"') + method + QLatin1Char('"');
    if (!yes(QStringLiteral("You are about to change the payment method to %1. \r\rAre you sure "
                            "you want to do this?")
                 .arg(shown)))
        return false;
    if (method == QLatin1String("Credit Card") || method == QLatin1String("Remote Credit Card")) {
        const QString word = method == QLatin1String("Credit Card")
                                 ? QStringLiteral("\"Credit Card\" order")
                                 : QStringLiteral("\"Remote Credit Card\" Order");
        if (!yes(QStringLiteral("The only reason for doing this is that you accidentally changed a "
                                "%1 to another method and you now want to switch it back.\r\rYou "
                                "may want to consider marking this order \"Credit Card by "
                                "Phone\" instead.\r\rContinue anyway?")
                     .arg(word),
                 MessageKind::Warning))
            return false;
    }
    return writeRow(orders, history::kChangePaymentMethod,
                    [&] { orders.setValue(kMethod, method); });
}

bool DeleteOrder(Table& orders, const QString& dataDir)
{
    if (!orders.isOpen() || orders.isEmpty())
        return false;
    messages().beep();
    if (!yes(QStringLiteral("You are about to delete this order. Once you delete the order you "
                            "can not retrieve it again, it will be permanently deleted and "
                            "unrecoverable.\r\rAre you sure you want to delete this order?"),
             MessageKind::Warning))
        return false;
    const QString invoice =
        invoiceFilePath(dataDir, orders.value(QStringLiteral("INV")).toLongLong());
    // The row goes first: an order that could not be deleted keeps its invoice.
    orders.remove();
    if (QFile::exists(invoice))
        QFile::remove(invoice);
    orders.refresh();
    return true;
}

} // namespace os
