#include "sales/sales_figures.h"

#include "base/error.h"
#include "data/query.h"

#include <QIODevice>
#include <QMap>

#include <algorithm>
#include <cmath>

namespace os {

namespace {

// Void and AutoVoid orders bring no money; an order without a state counts.
const char* const kCounted = "(ORDERSTATE IS NULL OR ORDERSTATE COLLATE NOCASE NOT IN "
                             "('Void', 'AutoVoid'))";
// The range as bound: from the first day's midnight to the midnight after the
// last day (order dates are stored as "yyyy-MM-ddTHH:mm:ss").
const char* const kInRange = "IDATE >= :SINCE AND IDATE < :UNTIL";

qint64 centsOf(const QVariant& v)
{
    return v.isNull() ? 0 : std::llround(v.toDouble());
}

void bindRange(Query& q, const QDate& from, const QDate& to)
{
    q.setParam(QStringLiteral("SINCE"), from.toString(Qt::ISODate));
    q.setParam(QStringLiteral("UNTIL"), to.addDays(1).toString(Qt::ISODate));
}

// Rows of NAME, N, C of a grouped query.
QList<NamedSales> readNamed(const QString& dir, const QString& sql, const QDate& from,
                            const QDate& to)
{
    Query q;
    q.setDirectory(dir);
    q.setSql(sql);
    bindRange(q, from, to);
    q.open();
    QList<NamedSales> out;
    for (; !q.eof(); q.next()) {
        NamedSales s;
        s.name = q.value(QStringLiteral("NAME")).toString();
        s.orders = q.value(QStringLiteral("N")).toLongLong();
        s.cents = centsOf(q.value(QStringLiteral("C")));
        if (q.columnNames().contains(QStringLiteral("CID")))
            s.custId = q.value(QStringLiteral("CID")).toLongLong();
        out << s;
    }
    q.close();
    return out;
}

} // namespace

std::optional<SalesGrouping> salesGroupingFor(const QString& word)
{
    const QString w = word.toLower();
    if (w == QLatin1String("day"))
        return SalesGrouping::Day;
    if (w == QLatin1String("week"))
        return SalesGrouping::Week;
    if (w == QLatin1String("month"))
        return SalesGrouping::Month;
    return std::nullopt;
}

QList<DaySales> readDailySales(const QString& dir, const QDate& from, const QDate& to)
{
    QList<DaySales> out;
    if (!from.isValid() || !to.isValid() || to < from)
        return out;
    Query q;
    q.setDirectory(dir);
    // Each order rounded to the cent before summing, so the totals add up
    // exactly as the printed figures do.
    q.setSql(QStringLiteral("SELECT substr(IDATE, 1, 10) AS D, COUNT(*) AS N, "
                            "SUM(ROUND(TOTAL * 100)) AS C FROM orders.db WHERE %1 AND %2 "
                            "GROUP BY D ORDER BY D")
                 .arg(QLatin1String(kInRange), QLatin1String(kCounted)));
    bindRange(q, from, to);
    q.open();
    for (; !q.eof(); q.next()) {
        DaySales d;
        d.day = QDate::fromString(q.value(0).toString(), Qt::ISODate);
        d.orders = q.value(1).toLongLong();
        d.cents = centsOf(q.value(2));
        if (d.day.isValid())
            out << d;
    }
    q.close();
    return out;
}

SalesFigures readSalesFigures(const QString& dir, const QDate& from, const QDate& to)
{
    SalesFigures f;
    f.from = from;
    f.to = to;
    f.days = readDailySales(dir, from, to);
    for (const DaySales& d : f.days) {
        f.orders += d.orders;
        f.cents += d.cents;
    }
    const QString in = QLatin1String(kInRange);
    const QString counted = QLatin1String(kCounted);
    f.states = readNamed(dir,
                         QStringLiteral("SELECT ORDERSTATE AS NAME, COUNT(*) AS N, "
                                        "SUM(ROUND(TOTAL * 100)) AS C FROM orders.db WHERE %1 "
                                        "GROUP BY ORDERSTATE COLLATE NOCASE ORDER BY N DESC, NAME")
                             .arg(in),
                         from, to);
    f.methods = readNamed(dir,
                          QStringLiteral("SELECT METHOD AS NAME, COUNT(*) AS N, "
                                         "SUM(ROUND(TOTAL * 100)) AS C FROM orders.db WHERE %1 "
                                         "AND %2 GROUP BY METHOD ORDER BY C DESC, NAME")
                              .arg(in, counted),
                          from, to);
    f.bestCustomers =
        readNamed(dir,
                  QStringLiteral("SELECT CUSTID AS CID, MAX(NAME) AS NAME, COUNT(*) AS N, "
                                 "SUM(ROUND(TOTAL * 100)) AS C FROM orders.db WHERE %1 AND %2 "
                                 "AND CUSTID IS NOT NULL GROUP BY CUSTID ORDER BY C DESC, CID "
                                 "LIMIT 10")
                      .arg(in, counted),
                  from, to);
    // A year before: 29 February falls back to the 28th.
    const QList<DaySales> before = readDailySales(dir, from.addYears(-1), to.addYears(-1));
    for (const DaySales& d : before) {
        f.lastYearOrders += d.orders;
        f.lastYearCents += d.cents;
    }
    return f;
}

QString periodLabel(const QDate& day, SalesGrouping grouping)
{
    switch (grouping) {
    case SalesGrouping::Day:
        return day.toString(Qt::ISODate);
    case SalesGrouping::Week: {
        int year = 0;
        const int week = day.weekNumber(&year);
        return QStringLiteral("%1-W%2")
            .arg(year, 4, 10, QLatin1Char('0'))
            .arg(week, 2, 10, QLatin1Char('0'));
    }
    case SalesGrouping::Month:
        return day.toString(QStringLiteral("yyyy-MM"));
    }
    return QString();
}

QList<PeriodSales> groupSales(const QList<DaySales>& days, const QDate& from, const QDate& to,
                              SalesGrouping grouping)
{
    QList<PeriodSales> out;
    if (!from.isValid() || !to.isValid() || to < from)
        return out;
    auto startOf = [grouping](const QDate& d) {
        switch (grouping) {
        case SalesGrouping::Day:
            return d;
        case SalesGrouping::Week:
            return d.addDays(1 - d.dayOfWeek());
        case SalesGrouping::Month:
            return QDate(d.year(), d.month(), 1);
        }
        return d;
    };
    auto next = [grouping](const QDate& d) {
        switch (grouping) {
        case SalesGrouping::Day:
            return d.addDays(1);
        case SalesGrouping::Week:
            return d.addDays(7);
        case SalesGrouping::Month:
            return d.addMonths(1);
        }
        return d.addDays(1);
    };
    for (QDate d = startOf(from); d <= to; d = next(d))
        out << PeriodSales{periodLabel(d, grouping), d, 0, 0};
    // Both lists are in date order: one pass.
    qsizetype p = 0;
    for (const DaySales& day : days) {
        if (day.day < from || day.day > to)
            continue;
        while (p + 1 < out.size() && out.at(p + 1).start <= day.day)
            ++p;
        out[p].orders += day.orders;
        out[p].cents += day.cents;
    }
    return out;
}

QString centsText(qint64 cents)
{
    const qint64 whole = std::llabs(cents);
    return QStringLiteral("%1%2.%3")
        .arg(cents < 0 ? QStringLiteral("-") : QString())
        .arg(whole / 100)
        .arg(whole % 100, 2, 10, QLatin1Char('0'));
}

void writeSalesCsv(const QList<PeriodSales>& periods, QIODevice& out)
{
    QByteArray text = "Period,Orders,Revenue\r\n";
    qint64 orders = 0;
    qint64 cents = 0;
    for (const PeriodSales& p : periods) {
        text += QStringLiteral("%1,%2,%3\r\n")
                    .arg(p.label)
                    .arg(p.orders)
                    .arg(centsText(p.cents))
                    .toUtf8();
        orders += p.orders;
        cents += p.cents;
    }
    text += QStringLiteral("Total,%1,%2\r\n").arg(orders).arg(centsText(cents)).toUtf8();
    if (out.write(text) != text.size())
        throw Error(out.errorString());
}

} // namespace os
