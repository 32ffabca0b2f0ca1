#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

class QIODevice;

namespace os {

// How the sales of a period are grouped.
enum class SalesGrouping
{
    Day,
    Week, // ISO weeks, Monday to Sunday
    Month
};

// "day", "week", "month" (case ignored); nothing for another word.
std::optional<SalesGrouping> salesGroupingFor(const QString& word);

// The sales of one day: orders and revenue in cents. Void and AutoVoid
// orders are never counted.
struct DaySales
{
    QDate day;
    qint64 orders = 0;
    qint64 cents = 0;
};

// The sales of one period of a grouping, empty periods included.
struct PeriodSales
{
    QString label; // "2026-12-01", "2026-W49", "2026-12"
    QDate start;   // the first day of the period (may lie before the range)
    qint64 orders = 0;
    qint64 cents = 0;
};

// A count and a sum under a name (a state, a payment method, a customer).
struct NamedSales
{
    QString name;
    qint64 orders = 0;
    qint64 cents = 0;
    qint64 custId = 0; // customers only
};

// Everything the Sales window shows of a range [from, to], both days included.
struct SalesFigures
{
    QDate from;
    QDate to;
    QList<DaySales> days;            // days with orders, in order
    QList<NamedSales> states;        // every state, Void and AutoVoid included, by count
    QList<NamedSales> methods;       // by revenue
    QList<NamedSales> bestCustomers; // the ten best by revenue
    qint64 orders = 0;
    qint64 cents = 0;
    qint64 lastYearOrders = 0; // the same range a year before
    qint64 lastYearCents = 0;
};

// The sales per day of [from, to] from the orders table in `dir`, in one
// grouped query over the sales index. An order counts on the day of its order
// date; Void and AutoVoid orders are left out. Throws DbError.
QList<DaySales> readDailySales(const QString& dir, const QDate& from, const QDate& to);

// Every figure of the Sales window for [from, to]. Throws DbError.
SalesFigures readSalesFigures(const QString& dir, const QDate& from, const QDate& to);

// The periods of `grouping` covering [from, to] in order, each with the sales
// of its days inside the range.
QList<PeriodSales> groupSales(const QList<DaySales>& days, const QDate& from, const QDate& to,
                              SalesGrouping grouping);

// The label of the period of `grouping` holding `day`.
QString periodLabel(const QDate& day, SalesGrouping grouping);

// Cents as "1234.50": a full stop, two decimals, no separators.
QString centsText(qint64 cents);

// The report as CSV: "Period,Orders,Revenue", a row per period, then "Total".
// Lines end in CR LF. Throws os::Error when writing fails.
void writeSalesCsv(const QList<PeriodSales>& periods, QIODevice& out);

} // namespace os
