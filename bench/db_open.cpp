// Creating the company database and working a large orders table: prints
// milliseconds per operation and the peak resident memory.
#include "base/messages.h"
#include "data/catalogue.h"
#include "data/connection.h"
#include "data/main_data_mod.h"
#include "data/statement.h"
#include "data/stored_values.h"
#include "data/table.h"
#include "data/transaction.h"
#include "support/bench_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

using namespace os;
using namespace os::bench;

namespace {

void buildOrders(const QString& dir, int rows)
{
    auto conn = Connection::forTable(dir, QStringLiteral("orders"));
    // A bulk load wants a page cache that holds the growing indexes.
    conn->exec(QStringLiteral("PRAGMA cache_size=-65536"));
    Transaction tr(dir, QStringLiteral("orders"));
    Statement st(
        conn->handle(),
        QStringLiteral(
            "INSERT INTO orders (INV, CUSTID, EMAIL, NAME, STREET, CITY, STATE, ZIP, COUNTRY, "
            "IDATE, TOTAL, METHOD, ORDERSTATE, LASTMARKED) "
            "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14)"));
    QRandomGenerator rng(42);
    QDateTime when(QDate(2010, 1, 1), QTime(8, 0), Qt::UTC); // no time-zone look-ups per row
    for (int i = 1; i <= rows; ++i) {
        const quint32 r = rng.generate();
        const int cust = 1 + int(r % 50000);
        when = when.addSecs(60 + r % 600);
        st.bind(1, 100000 + i);
        st.bind(2, cust);
        st.bind(3, QStringLiteral("customer%1@example.com").arg(cust));
        st.bind(4, QStringLiteral("Customer Name %1").arg(cust));
        st.bind(5, QStringLiteral("%1 Market Street").arg(r % 999));
        st.bind(6, QStringLiteral("Springfield"));
        st.bind(7, QStringLiteral("IL"));
        st.bind(8, QStringLiteral("6%1").arg(r % 10000, 4, 10, QLatin1Char('0')));
        st.bind(9, QStringLiteral("USA"));
        st.bind(
            10,
            toStored(when, findTableDef(QStringLiteral("orders"))->field(QStringLiteral("IDATE"))));
        st.bind(11, double(r % 50000) / 100.0);
        st.bind(12, (r & 1) ? QStringLiteral("Credit Card") : QStringLiteral("Mail Payment"));
        st.bind(13, stateFor(r >> 8));
        st.bind(14, (r & 6) ? QVariant(toStored(when.addDays(3),
                                                findTableDef(QStringLiteral("orders"))
                                                    ->field(QStringLiteral("LASTMARKED"))))
                            : QVariant());
        st.step();
        st.reset();
    }
    tr.commit();
    conn->exec(QStringLiteral("PRAGMA cache_size=-2000"));
    conn->exec(QStringLiteral("PRAGMA shrink_memory"));
}

int Read(Table& t, int n)
{
    int got = 0;
    for (; got < n && !t.eof(); ++got) {
        (void)t.value(QStringLiteral("INV"));
        (void)t.value(QStringLiteral("NAME"));
        (void)t.value(QStringLiteral("TOTAL"));
        t.next();
    }
    return got;
}

void Orders(int rows)
{
    QTemporaryDir tmp;
    TMainDataMod::CreateMissingTables(tmp.path());
    QElapsedTimer t;
    t.start();
    buildOrders(tmp.path(), rows);
    std::printf("orders.db of %d rows built in %.0f ms\n", rows, ms(t));

    Table orders(QStringLiteral("orders"));
    orders.setDirectory(tmp.path());
    orders.setIndexName(QStringLiteral("INVDATE"));
    orders.setFilterCaseInsensitive(true);
    orders.setFilter(QStringLiteral("ORDERSTATE='New'"));
    orders.setFiltered(true);
    t.restart();
    orders.open();
    const int a = Read(orders, 50);
    std::printf("  open on INVDATE, filter New, read %d rows: %8.2f ms\n", a, ms(t));
    t.restart();
    orders.last();
    std::printf("  move to the last row (INV %d):        %8.2f ms\n",
                orders.value(QStringLiteral("INV")).toInt(), ms(t));
    t.restart();
    for (int i = 0; i < 50; ++i)
        orders.prior();
    std::printf("  50 x prior from the last row:         %8.2f ms\n", ms(t));
    t.restart();
    orders.setFilter(QStringLiteral("ORDERSTATE='Complete'"));
    const int b = Read(orders, 50);
    std::printf("  filter Complete, read %d rows:        %8.2f ms\n", b, ms(t));
    t.restart();
    const bool found = orders.locate(QStringLiteral("INV"), 100000 + rows / 2 + 3);
    const int mid = Read(orders, 200);
    std::printf("  locate mid-table, read %d rows (%s):  %8.2f ms\n", mid,
                found ? "found" : "absent", ms(t));
    t.restart();
    orders.last();
    for (int i = 0; i < 200; ++i)
        orders.prior();
    std::printf("  last, then 200 x prior:               %8.2f ms\n", ms(t));
    t.restart();
    orders.setFilter(QStringLiteral("ORDERSTATE='AutoVoid'"));
    const int c = Read(orders, 50);
    std::printf("  filter AutoVoid, read %d rows:        %8.2f ms\n", c, ms(t));
    t.restart();
    orders.setFiltered(false);
    orders.last();
    std::printf("  unfiltered, move to the last row:     %8.2f ms\n", ms(t));
    t.restart();
    const int count = orders.recordCount();
    std::printf("  count all rows (%d):             %8.2f ms\n", count, ms(t));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    YesToAll silent;
    setMessageService(&silent);
    {
        QTemporaryDir tmp;
        TMainDataMod dm;
        QElapsedTimer t;
        t.start();
        const bool ok = dm.OpenCompanyDatabase(tmp.path());
        std::printf(
            "first start, empty data directory: 18 tables created and 9 opened in %.1f ms (%s)\n",
            ms(t), ok ? "ok" : "FAILED");
    }
    Orders(10000);
    Orders(app.arguments().contains(QStringLiteral("--small")) ? 100000 : 1000000);
    std::printf("peak RSS (VmHWM): %s\n", qPrintable(peakRss()));
    setMessageService(nullptr);
    return 0;
}
