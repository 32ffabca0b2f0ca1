// The orders browser over a large company database: prints milliseconds for
// opening it to its first screen, scrolling to the last row and changing the
// filter (1,000,000 orders), Mark ALL over the 100,000 orders of one state,
// and the CSV export of 200,000 orders against `sqlite3 -csv` writing the same
// columns, with the peak resident memory.
//
//   bench_orders_view [DIR]   DIR keeps the generated tables between runs
#include "gui/orders/orders_view.h"
#include "base/main_services.h"
#include "base/messages.h"
#include "data/catalogue.h"
#include "data/connection.h"
#include "data/main_data_mod.h"
#include "data/statement.h"
#include "data/stored_values.h"
#include "data/table.h"
#include "data/transaction.h"
#include "gui/app/db_grid.h"
#include "orders/order_export.h"
#include "orders/order_filter.h"
#include "support/bench_support.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace os;
using namespace os::bench;

namespace {

void buildOrders(const QString& dir, int rows)
{
    TMainDataMod::CreateMissingTables(dir);
    auto conn = Connection::forTable(dir, QStringLiteral("orders"));
    conn->exec(QStringLiteral("PRAGMA cache_size=-131072"));
    Transaction tr(dir, QStringLiteral("orders"));
    Statement st(*conn,
                 QStringLiteral("INSERT INTO orders (INV, CUSTID, EMAIL, NAME, COMPANY, STREET, "
                                "CITY, STATE, ZIP, COUNTRY, IDATE, TOTAL, METHOD, CARDNUM, "
                                "ORDERSTATE, LASTMARKED, AFFILIATECODE, COUPON) VALUES (?1, ?2, "
                                "?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, "
                                "?17, ?18)"));
    const TableDef* def = findTableDef(QStringLiteral("orders"));
    QRandomGenerator rng(42);
    QDateTime when(QDate(2005, 1, 1), QTime(8, 0), Qt::UTC);
    for (int i = 1; i <= rows; ++i) {
        const quint32 r = rng.generate();
        const int cust = 1 + int(r % 50000);
        when = when.addSecs(60 + r % 600);
        st.bind(1, 100000 + i);
        st.bind(2, cust);
        st.bind(3, QStringLiteral("customer%1@example.com").arg(cust));
        st.bind(4, QStringLiteral("Customer Name %1").arg(cust));
        st.bind(5, (r & 8) ? QVariant(QStringLiteral("Company, Inc. %1").arg(cust % 700))
                           : QVariant());
        st.bind(6, QStringLiteral("%1 Market Street").arg(r % 999));
        st.bind(7, QStringLiteral("Springfield"));
        st.bind(8, QStringLiteral("IL"));
        st.bind(9, QStringLiteral("6%1").arg(r % 10000, 4, 10, QLatin1Char('0')));
        st.bind(10, QStringLiteral("USA"));
        st.bind(11, toStored(when, def->field(QStringLiteral("IDATE"))));
        st.bind(12, double(r % 50000) / 100.0);
        st.bind(13, (r & 1) ? QStringLiteral("Credit Card") : QStringLiteral("Mail Payment"));
        st.bind(14, (r & 1) ? QVariant(QStringLiteral("4111111111111111")) : QVariant());
        st.bind(15, stateFor(r >> 8));
        st.bind(16, (r & 6) ? QVariant(toStored(when.addDays(3),
                                                def->field(QStringLiteral("LASTMARKED"))))
                            : QVariant());
        st.bind(17, int(r % 5));
        st.bind(18, (r & 16) ? QVariant(QStringLiteral("SPRING")) : QVariant());
        st.step();
        st.reset();
    }
    tr.commit();
    conn->exec(QStringLiteral("PRAGMA cache_size=-2000"));
    conn->exec(QStringLiteral("PRAGMA shrink_memory"));
}

// A data directory of `rows` orders under `root/name`, built once.
QString ordersDir(const QString& root, const QString& name, int rows)
{
    const QString dir = root + QLatin1Char('/') + name;
    if (QFile::exists(dir + QStringLiteral("/orders.db")))
        return dir;
    QDir().mkpath(dir + QStringLiteral("/html"));
    QElapsedTimer t;
    t.start();
    buildOrders(dir, rows);
    std::printf("  (%s: %d orders generated in %.0f s)\n", qPrintable(name), rows, ms(t) / 1000);
    return dir;
}

void browser(const QString& dir)
{
    TMainDataMod data;
    QString error;
    if (!data.OpenCompanyDatabase(dir, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return;
    }
    Table& orders = *data.ORDERs;
    orders.setFiltered(false);
    std::printf("orders.db: %d orders\n", orders.recordCount());

    // Opening the browser to its first screen ("New", about 50,000 orders).
    Figures open;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        TOrdersView view(nullptr);
        view.resize(1280, 800);
        view.show();
        paint(view);
        open.add(ms(t));
    }
    std::printf("open the browser to its first screen:   first %.1f ms, median %.1f ms, max %.1f "
                "ms\n",
                open.values.first(), open.median(), open.max());

    TOrdersView view(nullptr);
    view.resize(1280, 800);
    view.show();
    paint(view);

    auto choose = [&view](const QString& entry) {
        const int i = view.FilterBox->findText(entry);
        view.FilterBox->setCurrentIndex(i);
        view.FilterBoxChange(i);
        paint(view);
    };
    // Scrolling to the last row with Ctrl+End, and back with Ctrl+Home.
    auto key = [&view](Qt::Key k) {
        QKeyEvent press(QEvent::KeyPress, k, Qt::ControlModifier);
        QApplication::sendEvent(view.Grid, &press);
        paint(view);
    };
    for (const QString& entry : {QStringLiteral("ALL"), QStringLiteral("Complete")}) {
        choose(entry);
        Figures down;
        Figures up;
        for (int run = 0; run < 5; ++run) {
            QElapsedTimer t;
            t.start();
            key(Qt::Key_End);
            down.add(ms(t));
            t.restart();
            key(Qt::Key_Home);
            up.add(ms(t));
        }
        std::printf("scroll to the last row (%-8s %7d): median %.1f ms, max %.1f ms (to the first: "
                    "%.1f ms)\n",
                    qPrintable(entry + QLatin1Char(')')), view.Grid->model()->rowCount(),
                    down.median(), down.max(), up.median());
    }
    // Dragging the scroll bar to the middle of the whole table.
    choose(QStringLiteral("ALL"));
    {
        QElapsedTimer t;
        t.start();
        view.Grid->scrollTo(view.Grid->model()->index(view.Grid->model()->rowCount() / 2, 0));
        paint(view);
        std::printf("scroll to the middle row (ALL):          %.1f ms\n", ms(t));
    }

    Figures filter;
    QString worst;
    const QStringList entries = {
        "New",      "ALL",  "Shipped", "Complete",       "Payment Received",
        "AutoVoid", "Void", "ALL",     "Status Pending", "New"};
    for (const QString& entry : entries) {
        QElapsedTimer t;
        t.start();
        choose(entry);
        filter.add(ms(t));
        if (ms(t) >= filter.max())
            worst = entry;
    }
    std::printf("change the filter (10 changes):          median %.1f ms, max %.1f ms (to %s)\n",
                filter.median(), filter.max(), qPrintable(worst));

    // Mark ALL: the 100,000 "Shipped" orders become "Complete", the browser open.
    choose(QStringLiteral("Shipped"));
    const int shipped = view.Grid->model()->rowCount();
    NullMainServices main;
    QElapsedTimer t;
    t.start();
    view.MarkAllClick(QStringLiteral("Complete"));
    paint(view);
    const double markAll = ms(t);
    Table history(QStringLiteral("order_history"));
    history.setDirectory(dir);
    history.open();
    std::printf("Mark ALL of %d Shipped orders:          %.0f ms with %d history rows (the list "
                "then holds %d)\n",
                shipped, markAll, history.recordCount(), view.Grid->model()->rowCount());
    std::printf("peak memory (browser, 1,000,000 orders): %s\n", qPrintable(peakRss()));
}

void exportFigures(const QString& dir)
{
    Table orders(QStringLiteral("orders"));
    orders.setDirectory(dir);
    orders.setIndexName(QStringLiteral("INVDATE"));
    orders.open();
    const QString ours = dir + QStringLiteral("/export.csv");
    const QString theirs = dir + QStringLiteral("/sqlite3.csv");
    const QString sql = QStringLiteral(
        "SELECT INV AS Invoice, CUSTID AS Customer, IDATE AS Date, printf('%.2f', TOTAL) AS Total, "
        "LASTMARKED AS \"Last Marked\", ORDERSTATE AS \"Order Status\", METHOD AS Method, NAME "
        "AS Name, COMPANY AS Company, EMAIL AS \"E-mail\", PURCHASEORDER AS \"P.O.\", "
        "AFFILIATECODE AS Affiliate, COUPON AS Coupon FROM orders ORDER BY INV DESC, IDATE DESC");
    Figures a;
    Figures b;
    qint64 rows = 0;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer t;
        t.start();
        rows = ExportOrdersToFile(orders, ours);
        a.add(ms(t));
        QProcess p;
        p.setStandardOutputFile(theirs);
        t.restart();
        p.start(QStringLiteral("sqlite3"), {QStringLiteral("-csv"), QStringLiteral("-header"),
                                            dir + QStringLiteral("/orders.db"), sql});
        p.waitForFinished(-1);
        b.add(ms(t));
        if (p.exitCode() != 0) {
            std::printf("sqlite3 failed: %s\n", p.readAllStandardError().constData());
            return;
        }
    }
    std::printf("export of %lld orders: %.0f ms (best of 3); sqlite3 -csv, same columns: %.0f ms; "
                "ratio %.2f; files %lld and %lld bytes\n",
                rows, *std::min_element(a.values.begin(), a.values.end()),
                *std::min_element(b.values.begin(), b.values.end()),
                *std::min_element(a.values.begin(), a.values.end()) /
                    *std::min_element(b.values.begin(), b.values.end()),
                QFileInfo(ours).size(), QFileInfo(theirs).size());
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    YesToAll yes;
    ScopedMessageService messages(&yes);

    QTemporaryDir tmp;
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : tmp.path();
    QDir().mkpath(root);
    std::printf("bench_orders_view (Release figures; the machine is shared)\n");
    // Mark ALL changes the large table; a kept one starts again from a copy.
    const QString big = ordersDir(root, QStringLiteral("million"), 1000000);
    const QString work = root + QStringLiteral("/million-work");
    QDir(work).removeRecursively();
    QDir().mkpath(work + QStringLiteral("/html"));
    for (const QString& f : QDir(big).entryList({QStringLiteral("*.db")}, QDir::Files))
        QFile::copy(big + QLatin1Char('/') + f, work + QLatin1Char('/') + f);
    browser(work);
    QDir(work).removeRecursively();
    exportFigures(ordersDir(root, QStringLiteral("export"), 200000));
    return 0;
}
