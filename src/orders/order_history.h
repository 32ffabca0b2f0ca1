#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <memory>

namespace os {

class Connection;
class Statement;
class Table;

// The order history (order_history.db): one row per change of an order's
// state, payment method, total or card details, with the time, the order,
// the command that made it, and the old and new value. Card details are
// recorded only as having changed, never with their values. The store never
// sees the file. Rows are written on the connection of orders.db (the history
// file attached to it), inside the transaction of the change they record, so
// a change and its row are kept or lost together.

// The commands a history row names.
namespace history {
inline constexpr char kMarkOrder[] = "Mark Order";
inline constexpr char kMarkAll[] = "Mark ALL";
inline constexpr char kChangePaymentMethod[] = "Change Payment Method";
inline constexpr char kReceivePayment[] = "Receive Payment";
inline constexpr char kShippingWizard[] = "Shipping Wizard";
inline constexpr char kCompleteOrder[] = "Complete Order";
inline constexpr char kStatusPending[] = "Status Pending";
inline constexpr char kVoidOrder[] = "Void Order";
inline constexpr char kChangePrice[] = "Change Price";
inline constexpr char kModifyCardInformation[] = "Modify Card Information";
inline constexpr char kReformatCardNumber[] = "Reformat Card Number";
inline constexpr char kStoreMark[] = "Store Invoice Mark";

// What a row says changed (CHANGED), as the orders grid titles the columns.
inline constexpr char kState[] = "Order Status";
inline constexpr char kMethod[] = "Method";
inline constexpr char kTotal[] = "Total";
inline constexpr char kCardDetails[] = "Card Details";
} // namespace history

// The columns of an order the history follows, as stored.
struct OrderTracked
{
    bool found = false;
    QVariant state, method, total;
    QVariant cardType, cardNumber, ccMonth, ccYear, ccPhone;
};

// Writes history rows through the connection of `<dir>/orders.db`. Throws
// DbError (a missing history file: "Table does not exist: ...").
class OrderHistoryWriter
{
public:
    explicit OrderHistoryWriter(const QString& dir);
    ~OrderHistoryWriter();
    OrderHistoryWriter(const OrderHistoryWriter&) = delete;
    OrderHistoryWriter& operator=(const OrderHistoryWriter&) = delete;

    std::shared_ptr<Connection> connection() const { return m_conn; }

    // The tracked columns of order `inv` as the orders file holds them now
    // (inside a transaction: with its changes so far).
    OrderTracked read(const QVariant& inv) const;

    // One row per tracked change from `before` to `after`; none when nothing
    // changed. Returns the rows written.
    int record(const QVariant& inv, const OrderTracked& before, const OrderTracked& after,
               const QString& command, const QDateTime& when);
    // One row.
    void add(const QVariant& inv, const QString& command, const QString& changed,
             const QString& oldValue, const QString& newValue, const QDateTime& when);

    // A row for every order whose state is exactly `from`, saying it goes to
    // `to` (run before the update that moves them). Returns the rows written.
    int addForState(const QString& from, const QString& to, const QString& command,
                    const QDateTime& when);

private:
    std::shared_ptr<Connection> m_conn;
    QString m_history; // "schema"."order_history"
    QString m_orders;  // "orders" as stored
    std::unique_ptr<Statement> m_insert;
};

// Posts the edit of the current order of `orders` (the shared ORDERs or a
// table over orders.db) together with a history row for each tracked change,
// in one transaction. Nothing to post: true. False when the before-post
// rule refused the row (it stays in edit). Throws DbError when the engine
// fails; the row then stays in edit and nothing is written.
bool postOrderChange(Table& orders, const QString& command);

// The text a history row holds for a total.
QString historyMoney(const QVariant& amount);

} // namespace os
