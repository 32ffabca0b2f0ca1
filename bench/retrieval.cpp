// A whole "Get Orders & Information" from the store simulator on loopback:
// N orders with a 4 KB invoice each, N/2 accounts, N notes, marks and status
// texts. Prints the session time, ImportOrders alone, and a plain SQLite
// insert of the same rows in one transaction for comparison.
#include "common/scripted_messages.h"
#include "common/store_sim.h"
#include "common/temp_home.h"

#include "app/main_services.h"
#include "app/settings.h"
#include "data/datamodule.h"
#include "sync/import_steps.h"
#include "sync/store_session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include <sqlite3.h>

#include <cstdio>

using namespace os;
using namespace os::test;

namespace {

double plainSqliteInsert(const QString& path, const QList<QStringList>& records)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    QString cols;
    QString marks;
    for (int i = 0; i < 34; ++i) {
        cols += QStringLiteral("%1c%2").arg(i ? QStringLiteral(",") : QString()).arg(i);
        marks += i ? QStringLiteral(",?") : QStringLiteral("?");
    }
    sqlite3_exec(db, QStringLiteral("CREATE TABLE t (%1, PRIMARY KEY(c0))").arg(cols).toUtf8().constData(), nullptr,
                 nullptr, nullptr);
    QElapsedTimer timer;
    timer.start();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, QStringLiteral("INSERT INTO t VALUES (%1)").arg(marks).toUtf8().constData(), -1, &stmt,
                       nullptr);
    for (const QStringList& r : records) {
        if (r.size() < 33)
            continue;
        for (int i = 0; i < 33; ++i) {
            const QByteArray v = r[i].toUtf8();
            sqlite3_bind_text(stmt, i + 1, v.constData(), int(v.size()), SQLITE_TRANSIENT);
        }
        sqlite3_bind_text(stmt, 34, "2024-06-01T09:30:00", -1, SQLITE_STATIC);
        sqlite3_step(stmt);
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    sqlite3_close(db);
    return ms;
}

void run(StoreSim& sim, int orders)
{
    sim.reset();
    const QList<qint64> invs = sim.generateOrders(orders, 4096);
    sim.generateAccounts(orders / 2);
    QJsonArray notes, marks, statuses;
    for (qint64 inv : invs) {
        notes.append(QJsonObject{{"inv", inv}, {"date", "2024-03-06"}, {"text", "Please gift-wrap"}});
        marks.append(QJsonObject{{"inv", inv}, {"state", "Payment Received"}});
        statuses.append(QJsonObject{{"inv", inv}, {"text", "Card authorised"}});
    }
    sim.control("POST", QStringLiteral("notes"), QJsonObject{{"notes", notes}});
    sim.control("POST", QStringLiteral("marks"), QJsonObject{{"marks", marks}});
    sim.control("POST", QStringLiteral("statuses"), QJsonObject{{"statuses", statuses}});

    std::fprintf(stderr, "seeded %d orders\n", orders);
    TempHome home;
    ScriptedMessages shown;
    TMainDataMod data;
    data.OpenCompanyDatabase(home.dataDir());
    settings().VendixManagerURL = sim.url();
    NullMainServices main;
    NullSessionHost host;
    StoreSession session(&main, &host);
    session.setPassword(sim.password());

    QElapsedTimer timer;
    timer.start();
    session.RunSession(StoreSession::GetOrdersAction);
    const double sessionMs = double(timer.nsecsElapsed()) / 1e6;
    const qint64 replyBytes = session.responseBuffer().size();
    int imported = 0;
    for (const EventLog::Row& r : session.eventLog().rows())
        imported += r.type == QLatin1String("Order");

    // ImportOrders alone, from the same work file into a fresh database.
    TempHome second;
    TMainDataMod::CreateMissingTables(second.dataDir());
    ImportContext ctx;
    ctx.dataDir = second.dataDir();
    ctx.workDir = home.home();
    timer.restart();
    ImportOrders(ctx);
    const double importMs = double(timer.nsecsElapsed()) / 1e6;

    QFile work(home.path(QStringLiteral("orders.dat")));
    work.open(QIODevice::ReadOnly);
    const QList<QStringList> records = ReadRecords(work.readAll());
    const double plainMs = plainSqliteInsert(second.path(QStringLiteral("plain.sqlite")), records);

    std::printf("%6d orders: session %8.1f ms (%d imported, %d messages, last get_new_stuff reply %.1f MB)\n", orders,
                sessionMs, imported, int(shown.texts().size()), 0.0 + double(replyBytes) / 1e6);
    std::printf("%6d orders: ImportOrders %7.1f ms, plain SQLite insert %7.1f ms, ratio %.2f\n", orders, importMs,
                plainMs, importMs / plainMs);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    StoreSim sim;
    if (!sim.isRunning()) {
        std::fprintf(stderr, "store simulator: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // Sizes may be given on the command line; 1,000 and 10,000 orders by default.
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.append(QString::fromLocal8Bit(argv[i]).toInt());
    if (sizes.isEmpty())
        sizes = {1000, 10000};
    for (int n : sizes)
        run(sim, n);
    return 0;
}
