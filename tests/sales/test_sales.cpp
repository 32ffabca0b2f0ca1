// The sales figures over real tables, checked against sums the test makes
// itself from the rows it wrote, and the report through the executable.

#include "common/scripted_messages.h"
#include "common/table_rows.h"
#include "common/temp_home.h"

#include "data/main_data_mod.h"
#include "data/query.h"
#include "sales/sales_figures.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <memory>

using namespace os;

namespace {

const QString kProgram = QStringLiteral(OS_PROGRAM_EXE);

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run runProgram(const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(kProgram, args);
    Run r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString readText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// An order as the test keeps it, for its own sums.
struct Kept
{
    QDateTime when;
    QString state; // empty: none
    qint64 cents;
};

} // namespace

class TestSales : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TempHome> m_home;
    std::unique_ptr<test::ScriptedMessages> m_messages;
    std::unique_ptr<TMainDataMod> m_dm;
    QList<Kept> m_kept;
    int m_inv = 0;

    void add(const QDateTime& when, const QString& state, qint64 cents, int custId = 7,
             const QString& method = QStringLiteral("Visa"), const QString& name = {})
    {
        QVariantMap more{
            {"IDATE", when},
            {"TOTAL", cents / 100.0},
            {"CUSTID", custId},
            {"METHOD", method},
            {"NAME", name.isEmpty() ? QStringLiteral("Customer %1").arg(custId) : name}};
        QVariantMap row = test::orderRow(++m_inv, state, more);
        if (state.isEmpty())
            row.remove("ORDERSTATE");
        test::insertRows(m_home->dataDir(), "orders", {row});
        m_kept << Kept{when, state, cents};
    }

    // The sales of [from, to] per period as the test counts them: every kept
    // order on a day in the range and not Void or AutoVoid (any case).
    QList<PeriodSales> expected(const QDate& from, const QDate& to, SalesGrouping g)
    {
        QList<PeriodSales> out;
        auto key = [g](const QDate& d) {
            if (g == SalesGrouping::Day)
                return d;
            if (g == SalesGrouping::Month)
                return QDate(d.year(), d.month(), 1);
            return d.addDays(-(d.dayOfWeek() - 1));
        };
        QMap<QDate, PeriodSales> byStart;
        for (QDate d = from; d <= to; d = d.addDays(1)) {
            const QDate k = key(d);
            if (!byStart.contains(k)) {
                PeriodSales p;
                p.start = k;
                if (g == SalesGrouping::Day)
                    p.label = k.toString("yyyy-MM-dd");
                else if (g == SalesGrouping::Month)
                    p.label = k.toString("yyyy-MM");
                else {
                    // The ISO week's year is the year of its Thursday.
                    const QDate thursday = k.addDays(3);
                    const int week = (thursday.dayOfYear() - 1) / 7 + 1;
                    p.label = QString("%1-W%2").arg(thursday.year()).arg(week, 2, 10, QChar('0'));
                }
                byStart.insert(k, p);
            }
        }
        for (const Kept& k : m_kept) {
            const QDate d = k.when.date();
            if (d < from || d > to)
                continue;
            if (k.state.compare("Void", Qt::CaseInsensitive) == 0 ||
                k.state.compare("AutoVoid", Qt::CaseInsensitive) == 0)
                continue;
            PeriodSales& p = byStart[key(d)];
            p.orders += 1;
            p.cents += k.cents;
        }
        return byStart.values();
    }

    static QString csvOf(const QList<PeriodSales>& periods)
    {
        QString text = "Period,Orders,Revenue\r\n";
        qint64 n = 0, c = 0;
        for (const PeriodSales& p : periods) {
            text += QString("%1,%2,%3.%4\r\n")
                        .arg(p.label)
                        .arg(p.orders)
                        .arg(p.cents / 100)
                        .arg(p.cents % 100, 2, 10, QChar('0'));
            n += p.orders;
            c += p.cents;
        }
        return text +
               QString("Total,%1,%2.%3\r\n").arg(n).arg(c / 100).arg(c % 100, 2, 10, QChar('0'));
    }

    // Many orders from mid-November 2026 to mid-January 2027, some at
    // midnight and one second before, of every kind of state.
    void addMixedOrders()
    {
        QRandomGenerator rng(2026);
        const QStringList states = {"New",      "Complete", "Shipped", "Void",
                                    "AutoVoid", "void",     "",        "Payment Received"};
        for (int i = 0; i < 400; ++i) {
            const QDate day = QDate(2026, 11, 15).addDays(rng.bounded(60));
            QTime time(rng.bounded(24), rng.bounded(60), rng.bounded(60));
            if (i % 10 == 0)
                time = QTime(0, 0, 0);
            if (i % 10 == 1)
                time = QTime(23, 59, 59);
            add(QDateTime(day, time), states.at(rng.bounded(states.size())), rng.bounded(1, 200000),
                rng.bounded(1, 30));
        }
    }

    // Rows of a grouped query run by the engine itself over the same table,
    // as "NAME n/cents" (NAME case-folded where the engine groups ignoring it).
    QStringList engineRows(const QString& sql, const QDate& from, const QDate& to,
                           bool foldName = false)
    {
        Query q;
        q.setDirectory(m_home->dataDir());
        q.setSql(sql);
        q.setParam("SINCE", from.toString(Qt::ISODate));
        q.setParam("UNTIL", to.addDays(1).toString(Qt::ISODate));
        q.open();
        QStringList out;
        for (; !q.eof(); q.next()) {
            QString name = q.value(0).toString();
            if (foldName)
                name = name.toLower();
            out << QString("%1 %2/%3")
                       .arg(name)
                       .arg(q.value(1).toLongLong())
                       .arg(std::llround(q.value(2).toDouble()));
        }
        q.close();
        return out;
    }

    static QStringList rowsOf(const QList<NamedSales>& list, bool foldName = false,
                              bool withId = false)
    {
        QStringList out;
        for (const NamedSales& s : list)
            out << QString("%1%2 %3/%4")
                       .arg(withId ? QString::number(s.custId) + " " : QString())
                       .arg(foldName ? s.name.toLower() : s.name)
                       .arg(s.orders)
                       .arg(s.cents);
        return out;
    }

    // Every figure of the window for [from, to] against grouped queries the
    // engine runs on its own: per day, per state, per method, the best
    // customers and the year before.
    void compareWithEngine(const QDate& from, const QDate& to)
    {
        const QString in = "IDATE >= :SINCE AND IDATE < :UNTIL";
        const QString counted =
            "(ORDERSTATE IS NULL OR ORDERSTATE COLLATE NOCASE NOT IN ('Void', 'AutoVoid'))";
        const QString perDay = QString("SELECT substr(IDATE, 1, 10), COUNT(*), "
                                       "SUM(ROUND(TOTAL * 100)) FROM orders.db WHERE %1 AND %2 "
                                       "GROUP BY 1 ORDER BY 1")
                                   .arg(in, counted);
        const SalesFigures f = readSalesFigures(m_home->dataDir(), from, to);
        QStringList days;
        qint64 n = 0, c = 0;
        for (const DaySales& d : f.days) {
            days << QString("%1 %2/%3").arg(d.day.toString(Qt::ISODate)).arg(d.orders).arg(d.cents);
            n += d.orders;
            c += d.cents;
        }
        QCOMPARE(days, engineRows(perDay, from, to));
        QCOMPARE(f.orders, n);
        QCOMPARE(f.cents, c);
        // States alike but for case are one; which spelling names them is the
        // engine's choice, so names are compared folded.
        QStringList states = rowsOf(f.states, true);
        QStringList engineStates = engineRows(
            QString(
                "SELECT ORDERSTATE, COUNT(*) AS N, SUM(ROUND(TOTAL * 100)) FROM orders.db "
                "WHERE %1 GROUP BY ORDERSTATE COLLATE NOCASE ORDER BY N DESC, lower(ORDERSTATE)")
                .arg(in),
            from, to, true);
        QCOMPARE(states, engineStates);
        QCOMPARE(rowsOf(f.methods),
                 engineRows(QString("SELECT METHOD, COUNT(*), SUM(ROUND(TOTAL * 100)) AS C FROM "
                                    "orders.db WHERE %1 AND %2 GROUP BY METHOD ORDER BY C DESC, "
                                    "METHOD")
                                .arg(in, counted),
                            from, to));
        QCOMPARE(rowsOf(f.bestCustomers, false, true),
                 engineRows(QString("SELECT CUSTID || ' ' || MAX(NAME), COUNT(*), "
                                    "SUM(ROUND(TOTAL * 100)) AS C FROM orders.db WHERE %1 AND %2 "
                                    "AND CUSTID IS NOT NULL GROUP BY CUSTID ORDER BY C DESC, "
                                    "CUSTID LIMIT 10")
                                .arg(in, counted),
                            from, to));
        const QStringList before =
            engineRows(QString("SELECT 'all', COUNT(*), SUM(ROUND(TOTAL * 100)) FROM orders.db "
                               "WHERE %1 AND %2")
                           .arg(in, counted),
                       from.addYears(-1), to.addYears(-1));
        QCOMPARE(QString("all %1/%2").arg(f.lastYearOrders).arg(f.lastYearCents), before.value(0));
    }

private slots:
    void init()
    {
        m_home = std::make_unique<test::TempHome>();
        m_messages = std::make_unique<test::ScriptedMessages>();
        m_dm = std::make_unique<TMainDataMod>();
        QVERIFY(m_dm->OpenCompanyDatabase(m_home->dataDir()));
        m_messages->clear();
        m_kept.clear();
        m_inv = 0;
    }

    void cleanup()
    {
        m_dm.reset();
        m_messages.reset();
        m_home.reset();
    }

    // Day, ISO week (2026 has 53 weeks: 3 January 2027 is in 2026-W53) and
    // month, empty periods included, against the test's own sums.
    void groupedFiguresMatchOwnSums_data()
    {
        QTest::addColumn<int>("grouping");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::newRow("days") << int(SalesGrouping::Day) << QDate(2026, 11, 10)
                              << QDate(2027, 1, 20);
        QTest::newRow("weeks") << int(SalesGrouping::Week) << QDate(2026, 11, 18)
                               << QDate(2027, 1, 5);
        QTest::newRow("months") << int(SalesGrouping::Month) << QDate(2026, 10, 2)
                                << QDate(2027, 2, 3);
        QTest::newRow("one day") << int(SalesGrouping::Day) << QDate(2026, 12, 1)
                                 << QDate(2026, 12, 1);
    }
    void groupedFiguresMatchOwnSums()
    {
        QFETCH(int, grouping);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        addMixedOrders();
        const auto g = SalesGrouping(grouping);
        const QList<PeriodSales> want = expected(from, to, g);
        const QList<PeriodSales> got =
            groupSales(readDailySales(m_home->dataDir(), from, to), from, to, g);
        QCOMPARE(got.size(), want.size());
        for (qsizetype i = 0; i < got.size(); ++i) {
            QCOMPARE(got.at(i).label, want.at(i).label);
            QCOMPARE(got.at(i).orders, want.at(i).orders);
            QCOMPARE(got.at(i).cents, want.at(i).cents);
        }
        // The report through the executable says the same.
        const QString out = m_home->path("sales.csv");
        const char* word[] = {"day", "week", "month"};
        const Run r = runProgram({"--home", m_home->home(), "--sales-report", out, "--from",
                                  from.toString(Qt::ISODate), "--to", to.toString(Qt::ISODate),
                                  "--by", word[grouping]});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString("Sales\t%1 periods written to %2\n").arg(want.size()).arg(out));
        QCOMPARE(readText(out), csvOf(want));
    }

    // An order at midnight belongs to the day it starts; one a second before
    // midnight to the day before. Days without orders are written 0,0.00,
    // and so is a period without any.
    void midnightEdgeAndEmptyPeriods()
    {
        add(QDateTime(QDate(2026, 12, 1), QTime(23, 59, 59)), "New", 1050, 1, "Visa", "Ann");
        add(QDateTime(QDate(2026, 12, 2), QTime(0, 0, 0)), "Complete", 300, 2, "Check", "Bob");
        add(QDateTime(QDate(2026, 12, 4), QTime(12, 0, 0)), "AutoVoid", 99999, 2);
        add(QDateTime(QDate(2026, 11, 30), QTime(23, 59, 59)), "New", 700, 1);
        const QString out = m_home->path("edge.csv");
        Run r = runProgram({"--home", m_home->home(), "--sales-report", out, "--from", "2026-12-01",
                            "--to", "2026-12-04"});
        QCOMPARE(r.code, 0);
        QCOMPARE(readText(out), QString("Period,Orders,Revenue\r\n"
                                        "2026-12-01,1,10.50\r\n"
                                        "2026-12-02,1,3.00\r\n"
                                        "2026-12-03,0,0.00\r\n"
                                        "2026-12-04,0,0.00\r\n"
                                        "Total,2,13.50\r\n"));
        r = runProgram({"--home", m_home->home(), "--sales-report", out, "--from", "2026-12-01",
                        "--to", "2026-12-01"});
        QCOMPARE(r.code, 0);
        QCOMPARE(readText(out),
                 QString("Period,Orders,Revenue\r\n2026-12-01,1,10.50\r\nTotal,1,10.50\r\n"));
        r = runProgram({"--home", m_home->home(), "--sales-report", out, "--from", "2025-01-01",
                        "--to", "2025-03-31", "--by", "MONTH"});
        QCOMPARE(r.code, 0);
        QCOMPARE(readText(out), QString("Period,Orders,Revenue\r\n2025-01,0,0.00\r\n"
                                        "2025-02,0,0.00\r\n2025-03,0,0.00\r\nTotal,0,0.00\r\n"));
    }

    // Void and AutoVoid count only among the states; the best customers by
    // revenue; the same range a year before.
    void figuresOfTheWindow()
    {
        add(QDateTime(QDate(2026, 12, 1), QTime(10, 0)), "New", 10000, 1, "Visa", "Ann");
        add(QDateTime(QDate(2026, 12, 2), QTime(10, 0)), "Void", 50000, 2, "Check", "Bob");
        add(QDateTime(QDate(2026, 12, 3), QTime(10, 0)), "Complete", 2500, 2, "Check", "Bob");
        add(QDateTime(QDate(2026, 12, 3), QTime(11, 0)), "Complete", 2500, 3, "Visa", "Cy");
        add(QDateTime(QDate(2025, 12, 3), QTime(11, 0)), "Complete", 1234, 3, "Visa", "Cy");
        add(QDateTime(QDate(2025, 12, 4), QTime(11, 0)), "AutoVoid", 4321, 3, "Visa", "Cy");
        const SalesFigures f =
            readSalesFigures(m_home->dataDir(), QDate(2026, 12, 1), QDate(2026, 12, 31));
        QCOMPARE(f.orders, 3);
        QCOMPARE(f.cents, 15000);
        QCOMPARE(f.lastYearOrders, 1);
        QCOMPARE(f.lastYearCents, 1234);
        QStringList states;
        for (const NamedSales& s : f.states)
            states << QString("%1=%2").arg(s.name).arg(s.orders);
        QCOMPARE(states, QStringList({"Complete=2", "New=1", "Void=1"}));
        QStringList methods;
        for (const NamedSales& s : f.methods)
            methods << QString("%1=%2/%3").arg(s.name).arg(s.orders).arg(s.cents);
        QCOMPARE(methods, QStringList({"Visa=2/12500", "Check=1/2500"}));
        QStringList best;
        for (const NamedSales& s : f.bestCustomers)
            best << QString("%1 %2=%3").arg(s.custId).arg(s.name).arg(s.cents);
        QCOMPARE(best, QStringList({"1 Ann=10000", "2 Bob=2500", "3 Cy=2500"}));
    }

    // Every figure read in one pass over the sales index is the figure the
    // engine's grouped queries give: states in any case, orders without a
    // state, method or total, a customer under two names, tied customers,
    // halves of a cent, a day at midnight, the year before.
    void onePassAgreesWithTheEngine()
    {
        addMixedOrders();
        QRandomGenerator rng(28);
        const QStringList methods = {"Visa", "Check", "PayPal", "visa"};
        for (int i = 0; i < 150; ++i) {
            const QDateTime when(QDate(2025, 11, 20).addDays(rng.bounded(50)),
                                 QTime(rng.bounded(24), rng.bounded(60)));
            add(when, i % 7 == 0 ? "Void" : "Complete", rng.bounded(1, 90000), rng.bounded(1, 40),
                methods.at(rng.bounded(methods.size())), QString("Name %1").arg(rng.bounded(3)));
        }
        // Totals with fractions of a cent, rounded one by one.
        Query q;
        q.setDirectory(m_home->dataDir());
        q.setSql("UPDATE orders.db SET TOTAL = TOTAL + 0.005 WHERE INV % 3 = 0");
        q.exec();
        QVERIFY(q.rowsAffected() > 100);
        q.setSql("UPDATE orders.db SET METHOD = NULL, TOTAL = NULL WHERE INV % 41 = 0");
        q.exec();
        q.setSql("UPDATE orders.db SET CUSTID = NULL WHERE INV % 43 = 0");
        q.exec();
        compareWithEngine(QDate(2026, 12, 1), QDate(2027, 1, 10));
        compareWithEngine(QDate(2026, 11, 15), QDate(2026, 11, 15));
        compareWithEngine(QDate(2027, 3, 1), QDate(2027, 3, 31)); // nothing at all
        const SalesFigures f =
            readSalesFigures(m_home->dataDir(), QDate(2026, 12, 1), QDate(2027, 1, 10));
        QVERIFY(f.orders > 100);
        QVERIFY(f.lastYearOrders > 10);
        QCOMPARE(f.bestCustomers.size(), 10);
    }

    // The figures follow the orders at once: an order voided, re-priced,
    // moved to another day and deleted.
    void figuresFollowChangedOrders()
    {
        add(QDateTime(QDate(2026, 12, 1), QTime(0, 0)), "New", 10000, 1, "Visa", "Ann");
        add(QDateTime(QDate(2026, 12, 1), QTime(23, 59, 59)), "Complete", 2550, 2, "Check", "Bob");
        add(QDateTime(QDate(2026, 12, 2), QTime(8, 0)), "Shipped", 700, 2, "Check", "Bob");
        const QDate from(2026, 12, 1);
        const QDate to(2026, 12, 31);
        auto figures = [&] {
            const SalesFigures f = readSalesFigures(m_home->dataDir(), from, to);
            QStringList out;
            for (const DaySales& d : f.days)
                out << QString("%1 %2/%3")
                           .arg(d.day.toString(Qt::ISODate))
                           .arg(d.orders)
                           .arg(d.cents);
            out << rowsOf(f.states) << rowsOf(f.bestCustomers, false, true);
            return out;
        };
        auto change = [&](const QString& sql) {
            Query q;
            q.setDirectory(m_home->dataDir());
            q.setSql(sql);
            q.exec();
            QCOMPARE(q.rowsAffected(), 1);
        };
        QCOMPARE(figures(),
                 QStringList({"2026-12-01 2/12550", "2026-12-02 1/700", "Complete 1/2550",
                              "New 1/10000", "Shipped 1/700", "1 Ann 1/10000", "2 Bob 2/3250"}));
        change("UPDATE orders.db SET ORDERSTATE = 'Void' WHERE INV = 1");
        QCOMPARE(figures(), QStringList({"2026-12-01 1/2550", "2026-12-02 1/700", "Complete 1/2550",
                                         "Shipped 1/700", "Void 1/10000", "2 Bob 2/3250"}));
        change("UPDATE orders.db SET TOTAL = 12.35 WHERE INV = 3");
        QCOMPARE(figures(),
                 QStringList({"2026-12-01 1/2550", "2026-12-02 1/1235", "Complete 1/2550",
                              "Shipped 1/1235", "Void 1/10000", "2 Bob 2/3785"}));
        change("UPDATE orders.db SET IDATE = '2026-12-02T00:00:00' WHERE INV = 2");
        QCOMPARE(figures(), QStringList({"2026-12-02 2/3785", "Complete 1/2550", "Shipped 1/1235",
                                         "Void 1/10000", "2 Bob 2/3785"}));
        change("DELETE FROM orders.db WHERE INV = 3");
        QCOMPARE(figures(), QStringList({"2026-12-02 1/2550", "Complete 1/2550", "Void 1/10000",
                                         "2 Bob 1/2550"}));
        compareWithEngine(from, to);
    }

    // The printed report as a PDF, read back with pdftotext.
    void pdfReport()
    {
        add(QDateTime(QDate(2026, 12, 1), QTime(10, 0)), "New", 101350, 1, "Visa", "Annabel Quist");
        add(QDateTime(QDate(2026, 12, 2), QTime(10, 0)), "AutoVoid", 50000, 2, "Check", "Bob Void");
        const QString out = m_home->path("sales.PDF");
        const Run r = runProgram({"--home", m_home->home(), "--sales-report", out, "--from",
                                  "2026-12-01", "--to", "2026-12-31", "--by", "week"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString("Sales\tReport of 1 orders written to %1\n").arg(out));
        QVERIFY(!QFile::exists(out + ".part"));
        QProcess text;
        text.start("pdftotext", {"-layout", out, "-"});
        QVERIFY(text.waitForFinished(60000));
        QCOMPARE(text.exitCode(), 0);
        const QString pdf = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(pdf.contains("Orders: 1 (a year before: 0)"), qPrintable(pdf));
        QVERIFY2(pdf.contains("Revenue: $1,013.50 (a year before: $0.00)"), qPrintable(pdf));
        QVERIFY2(pdf.contains("Annabel Quist"), qPrintable(pdf));
        QVERIFY2(!pdf.contains("Bob Void"), qPrintable(pdf));
        QVERIFY2(pdf.contains("Orders by state"), qPrintable(pdf));
        QVERIFY2(pdf.contains("W49"), qPrintable(pdf));
    }

    // A wrong command line is refused with exit code 2 and nothing written.
    void wrongCommandLines_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("no to") << QStringList{"--from", "2026-12-01"}
                               << "ordersentinel: --sales-report needs --from DATE and --to DATE\n";
        QTest::newRow("bad from") << QStringList{"--from", "2026-13-01", "--to", "2026-12-01"}
                                  << "ordersentinel: --from: not a date (YYYY-MM-DD): 2026-13-01\n";
        QTest::newRow("bad to") << QStringList{"--from", "2026-12-01", "--to", "1.12.2026"}
                                << "ordersentinel: --to: not a date (YYYY-MM-DD): 1.12.2026\n";
        QTest::newRow("backwards")
            << QStringList{"--from", "2026-12-02", "--to", "2026-12-01"}
            << "ordersentinel: --to 2026-12-01 lies before --from 2026-12-02\n";
        QTest::newRow("by year") << QStringList{"--from",     "2026-12-01", "--to",
                                                "2026-12-01", "--by",       "year"}
                                 << "ordersentinel: --by: day, week or month, not year\n";
    }
    void wrongCommandLines()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const QString out = m_home->path("never.csv");
        const Run r =
            runProgram(QStringList{"--home", m_home->home(), "--sales-report", out} + args);
        QCOMPARE(r.code, 2);
        QCOMPARE(r.err, message);
        QCOMPARE(r.out, QString());
        QVERIFY(!QFile::exists(out));
    }

    // A file that cannot be written is an error (exit 1) with its reason.
    void unwritableFile()
    {
        const QString out = m_home->path("no/such/dir/sales.csv");
        const Run r = runProgram({"--home", m_home->home(), "--sales-report", out, "--from",
                                  "2026-12-01", "--to", "2026-12-01"});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err,
                 QString("Error: Cannot write \"%1\". No such file or directory\n").arg(out));
    }
};

QTEST_GUILESS_MAIN(TestSales)
#include "test_sales.moc"
