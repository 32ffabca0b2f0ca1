#include "sales/sales_figures.h"

#include "base/error.h"
#include "data/connection.h"
#include "data/statement.h"

#include <QHash>
#include <QIODevice>

#include <algorithm>
#include <cmath>
#include <vector>

namespace os {

namespace {

// The order rows of a range as the sales index holds them, in date order:
// date, state, total, customer, method. The range runs from the first day's
// midnight to the midnight after the last day (order dates are stored as
// "yyyy-MM-ddTHH:mm:ss"), so the index alone answers, never the table.
const char* const kSalesRows = "SELECT IDATE, ORDERSTATE, TOTAL, CUSTID, METHOD FROM orders WHERE "
                               " IDATE >= ?1 AND IDATE < ?2 ORDER BY IDATE";

bool sameNoCase(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// Void and AutoVoid orders bring no money; an order without a state counts.
bool counted(bool noState, QByteArrayView state)
{
    return noState || !(sameNoCase(state, "Void") || sameNoCase(state, "AutoVoid"));
}

// An order's total in cents, rounded as the engine's ROUND(TOTAL * 100) does
// (half away from zero), so every figure is the sum of the printed cents.
qint64 orderCents(double total)
{
    const double r = total * 100;
    return r >= 0 ? qint64(r + 0.5) : -qint64(-r + 0.5);
}

// The sales per day of [from, to] and, when asked, the sums per state, per
// payment method and per customer, all in one pass over the sales index.
struct OnePass
{
    struct Named
    {
        QByteArray name;
        bool null = true;
        qint64 orders = 0;
        qint64 cents = 0;
    };
    QList<DaySales> days;
    QList<Named> states;  // Void and AutoVoid included, states alike but for case as one
    QList<Named> methods; // counted orders only
    QHash<qint64, std::pair<qint64, qint64>> customers; // orders and cents, counted only
    qint64 orders = 0;
    qint64 cents = 0;
};

OnePass::Named* namedFor(QList<OnePass::Named>& list, bool null, QByteArrayView name, bool noCase)
{
    for (OnePass::Named& n : list) {
        if (n.null == null && (null || (noCase ? sameNoCase(n.name, name) : n.name == name)))
            return &n;
    }
    list.append(OnePass::Named{null ? QByteArray() : name.toByteArray(), null, 0, 0});
    return &list.last();
}

OnePass readOnePass(const QString& dir, const QDate& from, const QDate& to, bool everything)
{
    OnePass p;
    if (!from.isValid() || !to.isValid() || to < from)
        return p;
    // Customer numbers are small: their sums sit in a table by number, the
    // rare other one in a hash.
    constexpr qint64 kDense = 1 << 22;
    std::vector<std::pair<qint64, qint64>> dense;
    QByteArray dayText;
    qsizetype day = -1; // the day of the last counted order in p.days
    auto conn = Connection::forTable(dir, QStringLiteral("orders"));
    Statement st(*conn, QLatin1String(kSalesRows));
    st.bind(1, from.toString(Qt::ISODate));
    st.bind(2, to.addDays(1).toString(Qt::ISODate));
    while (st.step()) {
        // The engine gives no text for an empty value and 0 for an empty total.
        const QByteArrayView state = st.text(1);
        const qint64 cents = orderCents(st.real(2));
        if (everything) {
            OnePass::Named* s = namedFor(p.states, state.isNull(), state, true);
            ++s->orders;
            s->cents += cents;
        }
        if (!counted(state.isNull(), state))
            continue;
        if (everything) {
            const QByteArrayView method = st.text(4);
            OnePass::Named* m = namedFor(p.methods, method.isNull(), method, false);
            ++m->orders;
            m->cents += cents;
            if (!st.isNull(3)) {
                const qint64 customer = st.integer(3);
                std::pair<qint64, qint64>* c = nullptr;
                if (customer >= 0 && customer < kDense) {
                    if (customer >= qint64(dense.size()))
                        dense.resize(std::max<size_t>(size_t(customer) + 1, dense.size() * 2));
                    c = &dense[size_t(customer)];
                } else {
                    c = &p.customers[customer];
                }
                ++c->first;
                c->second += cents;
            }
        }
        const QByteArrayView date = st.text(0);
        const QByteArrayView d = date.first(std::min<qsizetype>(10, date.size()));
        if (day < 0 || d != QByteArrayView(dayText)) {
            dayText = d.toByteArray();
            const QDate when = QDate::fromString(QLatin1String(dayText), Qt::ISODate);
            if (!when.isValid()) {
                day = -1;
                dayText.clear();
                continue;
            }
            p.days.append(DaySales{when, 0, 0});
            day = p.days.size() - 1;
        }
        ++p.days[day].orders;
        p.days[day].cents += cents;
    }
    st.reset(); // lets go of the read snapshot at once
    for (size_t i = 0; i < dense.size(); ++i) {
        if (dense[i].first > 0)
            p.customers.insert(qint64(i), dense[i]);
    }
    for (const DaySales& d : p.days) {
        p.orders += d.orders;
        p.cents += d.cents;
    }
    return p;
}

// Empty names first, then by their bytes, as the engine orders text.
bool nameBefore(const OnePass::Named& a, const OnePass::Named& b)
{
    if (a.null != b.null)
        return a.null;
    return a.name < b.name;
}

NamedSales namedSales(const OnePass::Named& n)
{
    NamedSales s;
    s.name = QString::fromUtf8(n.name);
    s.orders = n.orders;
    s.cents = n.cents;
    return s;
}

// The name each of `customers` goes by on its counted orders of [from, to] (the
// greatest, as written).
void nameCustomers(const QString& dir, const QDate& from, const QDate& to,
                   QList<NamedSales>& customers)
{
    auto conn = Connection::forTable(dir, QStringLiteral("orders"));
    Statement st(*conn, QStringLiteral("SELECT MAX(NAME) FROM orders WHERE CUSTID = ?1 AND "
                                       "IDATE >= ?2 AND IDATE < ?3 AND (ORDERSTATE IS NULL OR "
                                       "ORDERSTATE COLLATE NOCASE NOT IN ('Void', 'AutoVoid'))"));
    for (NamedSales& c : customers) {
        st.bind(1, c.custId);
        st.bind(2, from.toString(Qt::ISODate));
        st.bind(3, to.addDays(1).toString(Qt::ISODate));
        if (st.step() && !st.isNull(0))
            c.name = QString::fromUtf8(st.text(0));
        st.reset();
    }
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
    return readOnePass(dir, from, to, false).days;
}

SalesFigures readSalesFigures(const QString& dir, const QDate& from, const QDate& to)
{
    SalesFigures f;
    f.from = from;
    f.to = to;
    OnePass p = readOnePass(dir, from, to, true);
    f.days = std::move(p.days);
    f.orders = p.orders;
    f.cents = p.cents;
    std::sort(p.states.begin(), p.states.end(), [](const auto& a, const auto& b) {
        return a.orders != b.orders ? a.orders > b.orders : nameBefore(a, b);
    });
    for (const OnePass::Named& s : p.states)
        f.states << namedSales(s);
    std::sort(p.methods.begin(), p.methods.end(), [](const auto& a, const auto& b) {
        return a.cents != b.cents ? a.cents > b.cents : nameBefore(a, b);
    });
    for (const OnePass::Named& m : p.methods)
        f.methods << namedSales(m);
    // The ten best customers: by revenue, then by number.
    QList<NamedSales> customers;
    customers.reserve(p.customers.size());
    for (auto it = p.customers.cbegin(); it != p.customers.cend(); ++it) {
        NamedSales c;
        c.custId = it.key();
        c.orders = it.value().first;
        c.cents = it.value().second;
        customers << c;
    }
    const auto better = [](const NamedSales& a, const NamedSales& b) {
        return a.cents != b.cents ? a.cents > b.cents : a.custId < b.custId;
    };
    const qsizetype best = std::min<qsizetype>(10, customers.size());
    std::partial_sort(customers.begin(), customers.begin() + best, customers.end(), better);
    customers.resize(best);
    nameCustomers(dir, from, to, customers);
    f.bestCustomers = customers;
    // A year before: 29 February falls back to the 28th.
    // Only two sums there: the engine adds them up without a row leaving it.
    const QDate beforeFrom = from.addYears(-1);
    const QDate beforeTo = to.addYears(-1);
    if (beforeFrom.isValid() && beforeTo.isValid() && beforeFrom <= beforeTo) {
        auto conn = Connection::forTable(dir, QStringLiteral("orders"));
        Statement st(*conn, QStringLiteral("SELECT COUNT(*), SUM(ROUND(TOTAL * 100)) FROM orders "
                                           "WHERE IDATE >= ?1 AND IDATE < ?2 AND (ORDERSTATE IS "
                                           "NULL OR ORDERSTATE COLLATE NOCASE NOT IN ('Void', "
                                           "'AutoVoid'))"));
        st.bind(1, beforeFrom.toString(Qt::ISODate));
        st.bind(2, beforeTo.addDays(1).toString(Qt::ISODate));
        if (st.step()) {
            f.lastYearOrders = st.integer(0);
            f.lastYearCents = st.isNull(1) ? 0 : std::llround(st.real(1));
        }
        st.reset();
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
