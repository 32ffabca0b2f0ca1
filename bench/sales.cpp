// The Sales window and the sales report over 1,000,000 orders spread over the
// eighteen months before the bench's day: prints milliseconds for the first
// charts of the window (the last 12 months by day, painted), a period change
// (to this month and back), and the CSV report of the 12 months in process
// and as `ordersentinel --sales-report`, against `sqlite3` running the same
// grouped query, with the ratio.
//
//   bench_sales [DIR]   DIR keeps the generated tables between runs
#include "base/clock.h"
#include "data/catalogue.h"
#include "data/connection.h"
#include "data/main_data_mod.h"
#include "data/statement.h"
#include "data/stored_values.h"
#include "data/transaction.h"
#include "gui/sales/sales_view.h"
#include "sales/sales_report.h"
#include "support/bench_support.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

using namespace os;
using namespace os::bench;

namespace {

const QDate kToday(2026, 12, 9);
const int kOrders = 1000000;

void buildOrders(const QString& dir)
{
    TMainDataMod::CreateMissingTables(dir);
    auto conn = Connection::forTable(dir, QStringLiteral("orders"));
    conn->exec(QStringLiteral("PRAGMA cache_size=-131072"));
    Transaction tr(dir, QStringLiteral("orders"));
    Statement st(*conn, QStringLiteral("INSERT INTO orders (INV, CUSTID, NAME, IDATE, TOTAL, "
                                       "METHOD, ORDERSTATE) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"));
    const TableDef* def = findTableDef(QStringLiteral("orders"));
    QRandomGenerator rng(42);
    const QDateTime start(kToday.addMonths(-18), QTime(0, 0));
    const qint64 span = start.secsTo(QDateTime(kToday, QTime(0, 0)));
    const char* methods[] = {"Credit Card", "Mail Payment", "Purchase Order", "PayPal"};
    for (int i = 1; i <= kOrders; ++i) {
        const quint32 r = rng.generate();
        const int cust = 1 + int(r % 50000);
        st.bind(1, 100000 + i);
        st.bind(2, cust);
        st.bind(3, QStringLiteral("Customer Name %1").arg(cust));
        st.bind(4,
                toStored(start.addSecs(span * i / kOrders), def->field(QStringLiteral("IDATE"))));
        st.bind(5, double(rng.generate() % 50000) / 100.0);
        st.bind(6, QLatin1String(methods[(r >> 3) % 4]));
        st.bind(7, stateFor(r >> 8));
        st.step();
        st.reset();
    }
    tr.commit();
}

double best(const Figures& f)
{
    return *std::min_element(f.values.begin(), f.values.end());
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    YesToAll yes;
    ScopedMessageService messages(&yes);
    Clock::pin(QDateTime(kToday, QTime(12, 0)));

    QTemporaryDir temp;
    const QString home = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    const QString dir = home + QStringLiteral("/data");
    QDir().mkpath(dir);
    if (!QFileInfo::exists(dir + QStringLiteral("/orders.db"))) {
        QElapsedTimer t;
        t.start();
        buildOrders(dir);
        std::printf("  (%d orders generated in %.0f s)\n", kOrders, ms(t) / 1000);
    }
    TMainDataMod data;
    if (!data.OpenCompanyDatabase(dir))
        return 1;

    // The window: built, its charts read and painted.
    Figures first;
    Figures change;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        TSalesView view;
        view.resize(1600, 1000);
        view.show();
        paint(view);
        first.add(ms(t));
        if (run == 0)
            std::printf("Sales window, 12 months by day (%lld orders, %lld days): first charts "
                        "%.0f ms\n",
                        view.figures().orders, qlonglong(view.periods().size()), ms(t));
        for (int p : {int(TSalesView::ThisMonth), int(TSalesView::Last12Months)}) {
            t.restart();
            view.PeriodBox->setCurrentIndex(p);
            paint(view);
            change.add(ms(t));
        }
    }
    std::printf("Sales window first charts: median %.0f ms, max %.0f ms (goal < 300 ms)\n",
                first.median(), first.max());
    std::printf("Sales window period change: median %.0f ms, max %.0f ms (goal < 200 ms)\n",
                change.median(), change.max());

    // The report of the last 12 months against sqlite3's run of its query.
    const QDate from = QDate(kToday.year(), kToday.month(), 1).addMonths(-11);
    const QDate to = QDate(kToday.year(), kToday.month(), 1).addMonths(1).addDays(-1);
    const QString ours = home + QStringLiteral("/sales.csv");
    const QString sql =
        QStringLiteral("SELECT substr(IDATE, 1, 10) AS D, COUNT(*) AS N, SUM(ROUND(TOTAL * 100)) "
                       "AS C FROM orders WHERE IDATE >= '%1' AND IDATE < '%2' AND (ORDERSTATE IS "
                       "NULL OR ORDERSTATE COLLATE NOCASE NOT IN ('Void', 'AutoVoid')) GROUP BY D "
                       "ORDER BY D")
            .arg(from.toString(Qt::ISODate), to.addDays(1).toString(Qt::ISODate));
    const QString program =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../src/ordersentinel");
    Figures inProcess;
    Figures process;
    Figures sqlite;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        writeSalesCsvFile(groupSales(readDailySales(dir, from, to), from, to, SalesGrouping::Day),
                          ours);
        inProcess.add(ms(t));
        if (QFileInfo::exists(program)) {
            QProcess p;
            t.restart();
            p.start(program, {QStringLiteral("--home"), home, QStringLiteral("--sales-report"),
                              ours, QStringLiteral("--from"), from.toString(Qt::ISODate),
                              QStringLiteral("--to"), to.toString(Qt::ISODate)});
            p.waitForFinished(-1);
            process.add(ms(t));
        }
        QProcess q;
        q.setStandardOutputFile(home + QStringLiteral("/sqlite3.csv"));
        t.restart();
        q.start(QStringLiteral("sqlite3"),
                {QStringLiteral("-csv"), dir + QStringLiteral("/orders.db"), sql});
        q.waitForFinished(-1);
        sqlite.add(ms(t));
        if (q.exitCode() != 0) {
            std::printf("sqlite3 failed: %s\n", q.readAllStandardError().constData());
            return 1;
        }
    }
    std::printf("--sales-report, 12 months by day: in process %.0f ms, the program %.0f ms; "
                "sqlite3, same query: %.0f ms; ratio %.2f (program) %.2f (in process) "
                "(best of 5, goal <= 1.5)\n",
                best(inProcess), process.values.isEmpty() ? 0.0 : best(process), best(sqlite),
                process.values.isEmpty() ? 0.0 : best(process) / best(sqlite),
                best(inProcess) / best(sqlite));
    std::printf("peak memory: %s\n", qPrintable(peakRss()));
    return 0;
}
