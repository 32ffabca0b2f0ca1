#include "orders/order_history.h"

#include "base/clock.h"
#include "data/catalogue.h"
#include "data/connection.h"
#include "data/db_error.h"
#include "data/statement.h"
#include "data/stored_values.h"
#include "data/table.h"
#include "data/transaction.h"

namespace os {

namespace {

const QString kHistoryTable = QStringLiteral("order_history");

// The order's columns the history follows, in the order of OrderTracked.
const char* const kTrackedColumns[] = {"ORDERSTATE", "METHOD",  "TOTAL",  "CARDTYPE",
                                       "CARDNUM",    "CCMONTH", "CCYEAR", "CCPHONE"};

// The card columns as a history row names them; month and year are one.
struct CardPart
{
    QVariant OrderTracked::*member;
    const char* name;
};
const CardPart kCardParts[] = {{&OrderTracked::cardType, "Card Type"},
                               {&OrderTracked::cardNumber, "Card Number"},
                               {&OrderTracked::ccMonth, "Expiry"},
                               {&OrderTracked::ccYear, "Expiry"},
                               {&OrderTracked::ccPhone, "Card Phone"}};

const TableDef& historyDef()
{
    return *findTableDef(kHistoryTable);
}

const TableDef& ordersDef()
{
    return *findTableDef(QStringLiteral("orders"));
}

QString text(const QVariant& v)
{
    return v.isNull() ? QString() : v.toString();
}

bool sameText(const QVariant& a, const QVariant& b)
{
    return text(a) == text(b);
}

bool sameAmount(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a.toDouble() == b.toDouble();
}

// "Card Number", "Card Number and Expiry", "Card Type, Card Number and Expiry".
QString joinNames(const QStringList& names)
{
    if (names.size() <= 1)
        return names.value(0);
    return names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") +
           names.last();
}

// The members of OrderTracked in the order of kTrackedColumns.
QVariant OrderTracked::*const kTrackedMembers[] = {
    &OrderTracked::state,    &OrderTracked::method,     &OrderTracked::total,
    &OrderTracked::cardType, &OrderTracked::cardNumber, &OrderTracked::ccMonth,
    &OrderTracked::ccYear,   &OrderTracked::ccPhone};

OrderTracked trackedOf(const Table& orders)
{
    OrderTracked t;
    t.found = true;
    int i = 0;
    for (const char* column : kTrackedColumns)
        t.*kTrackedMembers[i++] = orders.value(QLatin1String(column));
    return t;
}

} // namespace

QString historyMoney(const QVariant& amount)
{
    if (amount.isNull())
        return QString();
    // A plain decimal text, the same whatever the locale.
    return QString::number(amount.toDouble(), 'f', 2);
}

OrderHistoryWriter::OrderHistoryWriter(const QString& dir)
    : m_conn(Connection::forTable(dir, QStringLiteral("orders")))
{
    const QString schema = m_conn->attach(dir, kHistoryTable);
    m_history = quoteIdent(schema) + QLatin1Char('.') + quoteIdent(kHistoryTable);
    m_orders = quoteIdent(m_conn->tableName());
    m_insert = std::make_unique<Statement>(
        *m_conn, QStringLiteral("INSERT INTO %1 (\"INV\", \"IDATE\", \"COMMAND\", \"CHANGED\", "
                                "\"OLDVALUE\", \"NEWVALUE\") VALUES (?1, ?2, ?3, ?4, ?5, ?6)")
                     .arg(m_history));
}

OrderHistoryWriter::~OrderHistoryWriter() = default;

OrderTracked OrderHistoryWriter::read(const QVariant& inv) const
{
    QStringList columns;
    for (const char* c : kTrackedColumns)
        columns << quoteIdent(QLatin1String(c));
    Statement st(*m_conn, QStringLiteral("SELECT %1 FROM %2 WHERE \"INV\" IS ?1")
                              .arg(columns.join(QStringLiteral(", ")), m_orders));
    st.bind(1, toStored(inv, ordersDef().field(QStringLiteral("INV"))));
    OrderTracked t;
    if (!st.step())
        return t;
    t.found = true;
    int i = 0;
    for (const char* column : kTrackedColumns) {
        t.*kTrackedMembers[i] = st.column(i, ordersDef().field(QLatin1String(column)));
        ++i;
    }
    return t;
}

void OrderHistoryWriter::add(const QVariant& inv, const QString& command, const QString& changed,
                             const QString& oldValue, const QString& newValue,
                             const QDateTime& when)
{
    const TableDef& def = historyDef();
    m_insert->reset();
    m_insert->bind(1, toStored(inv, def.field(QStringLiteral("INV"))));
    m_insert->bind(2, toStored(when, def.field(QStringLiteral("IDATE"))));
    m_insert->bind(3, toStored(command, def.field(QStringLiteral("COMMAND"))));
    m_insert->bind(4, toStored(changed, def.field(QStringLiteral("CHANGED"))));
    m_insert->bind(5, toStored(oldValue, def.field(QStringLiteral("OLDVALUE"))));
    m_insert->bind(6, toStored(newValue, def.field(QStringLiteral("NEWVALUE"))));
    try {
        m_insert->step();
    } catch (...) {
        m_insert->reset();
        throw;
    }
    m_insert->reset();
}

int OrderHistoryWriter::record(const QVariant& inv, const OrderTracked& before,
                               const OrderTracked& after, const QString& command,
                               const QDateTime& when)
{
    int rows = 0;
    if (!sameText(before.state, after.state)) {
        add(inv, command, QLatin1String(history::kState), text(before.state), text(after.state),
            when);
        ++rows;
    }
    if (!sameText(before.method, after.method)) {
        add(inv, command, QLatin1String(history::kMethod), text(before.method), text(after.method),
            when);
        ++rows;
    }
    if (!sameAmount(before.total, after.total)) {
        add(inv, command, QLatin1String(history::kTotal), historyMoney(before.total),
            historyMoney(after.total), when);
        ++rows;
    }
    // Card details: which of them changed, never what they hold.
    QStringList parts;
    for (const CardPart& p : kCardParts) {
        if (!sameText(before.*p.member, after.*p.member) && !parts.contains(QLatin1String(p.name)))
            parts << QLatin1String(p.name);
    }
    if (!parts.isEmpty()) {
        add(inv, command, QLatin1String(history::kCardDetails), QString(),
            joinNames(parts) + QStringLiteral(" changed"), when);
        ++rows;
    }
    return rows;
}

int OrderHistoryWriter::addForState(const QString& from, const QString& to, const QString& command,
                                    const QDateTime& when)
{
    const TableDef& def = historyDef();
    // The case-blind term lets the engine's state index find the rows; the
    // exact one decides, as it does for the update that follows.
    Statement st(*m_conn,
                 QStringLiteral("INSERT INTO %1 (\"INV\", \"IDATE\", \"COMMAND\", \"CHANGED\", "
                                "\"OLDVALUE\", \"NEWVALUE\") SELECT \"INV\", ?1, ?2, ?3, "
                                "\"ORDERSTATE\", ?4 FROM %2 WHERE \"ORDERSTATE\" COLLATE NOCASE = "
                                "?5 AND \"ORDERSTATE\" = ?5")
                     .arg(m_history, m_orders));
    st.bind(1, toStored(when, def.field(QStringLiteral("IDATE"))));
    st.bind(2, toStored(command, def.field(QStringLiteral("COMMAND"))));
    st.bind(3, toStored(QLatin1String(history::kState), def.field(QStringLiteral("CHANGED"))));
    st.bind(4, toStored(to, def.field(QStringLiteral("NEWVALUE"))));
    st.bind(5, toStored(from, ordersDef().field(QStringLiteral("ORDERSTATE"))));
    st.step();
    return st.changes();
}

bool postOrderChange(Table& orders, const QString& command)
{
    if (orders.state() != Table::State::Edit)
        return orders.post(); // browse: nothing to do; a new order has no history yet
    const QVariant inv = orders.value(QStringLiteral("INV"));
    OrderHistoryWriter writer(orders.directory());
    Transaction tx(orders.directory(), QStringLiteral("orders"));
    // The rows go first: if the post then fails or is refused, the rollback
    // takes them back and the order stays in edit with the merchant's values.
    const OrderTracked before = writer.read(inv);
    if (before.found)
        writer.record(inv, before, trackedOf(orders), command, Clock::now());
    if (!orders.post())
        return false; // tx rolls back
    try {
        tx.commit();
    } catch (const DbError&) {
        // The table shows what was posted; the file has it no more.
        orders.refresh();
        throw;
    }
    return true;
}

} // namespace os
