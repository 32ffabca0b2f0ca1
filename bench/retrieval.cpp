// A whole "Get Orders & Information" from the store simulator on loopback:
// N orders with a 4 KB invoice each, N/2 accounts, N notes, marks and status
// texts. Prints the session time with its phases, ImportOrders alone, a plain
// SQLite insert of the same rows in one transaction, and the session's floor
// measured in the same run: the reply fetched by curl, plain inserts of the
// same rows into tables with the same indexes (the marks as plain updates
// with their history rows) and plain writes of the invoice files; then the
// ratio of the session to that floor.
#include "common/scripted_messages.h"
#include "common/store_sim.h"
#include "common/temp_home.h"
#include "support/bench_support.h"

#include "base/main_services.h"
#include "base/settings.h"
#include "data/main_data_mod.h"
#include "sync/import_steps.h"
#include "sync/protocol.h"
#include "sync/store_session.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

using namespace os;
using namespace os::bench;
using namespace os::test;

namespace {

// `table` empty: a new table of 34 columns keyed by the first in a new file;
// else that existing table (all its indexes) in the file.
double plainSqliteInsert(const QString& path, const QList<QStringList>& records,
                         const char* table = "")
{
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    QString cols;
    QString marks;
    for (int i = 0; i < 34; ++i) {
        cols += QStringLiteral("%1c%2").arg(i ? QStringLiteral(",") : QString()).arg(i);
        marks += i ? QStringLiteral(",?") : QStringLiteral("?");
    }
    if (!*table) {
        table = "t";
        sqlite3_exec(
            db,
            QStringLiteral("CREATE TABLE t (%1, PRIMARY KEY(c0))").arg(cols).toUtf8().constData(),
            nullptr, nullptr, nullptr);
    }
    QElapsedTimer timer;
    timer.start();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db,
                       QStringLiteral("INSERT INTO %1 VALUES (%2)")
                           .arg(QLatin1String(table), marks)
                           .toUtf8()
                           .constData(),
                       -1, &stmt, nullptr);
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

// The floor for the invoice step: `count` files of `bytes` bytes and a line
// end, written with open/write/close into a fresh directory.
double plainFileWrites(const QString& dir, int count, int bytes)
{
    QDir().mkpath(dir);
    const QByteArray page(bytes, 'x');
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i) {
        const QByteArray path =
            QFile::encodeName(dir + QStringLiteral("/%1inv.html").arg(1001 + i));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            continue;
        [[maybe_unused]] const ssize_t a = ::write(fd, page.constData(), size_t(page.size()));
        [[maybe_unused]] const ssize_t b = ::write(fd, "\r\n", 2);
        ::close(fd);
    }
    return double(timer.nsecsElapsed()) / 1e6;
}

// The get_new_stuff reply fetched by curl (best of three), the store locked
// for it first as a retrieval does; the store delivers the same data again
// until it is told to clean up.
double curlReply(StoreSim& sim, const QString& dir)
{
    QDir().mkpath(dir);
    auto bodyFile = [&dir](const char* name, const QByteArray& body) {
        const QString path = dir + QLatin1Char('/') + QLatin1String(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(body);
        return path;
    };
    const QString check =
        bodyFile("check.body", checkDataIntegrityCommand(sim.password(), 0, 0).body);
    const QString fetch = bodyFile("fetch.body", getNewStuffCommand(sim.password()).body);
    auto curl = [&](const QString& body, const QString& out) {
        QProcess p;
        p.start(QStringLiteral("curl"),
                {QStringLiteral("-s"), QStringLiteral("-o"), out, QStringLiteral("--data-binary"),
                 QLatin1Char('@') + body, sim.url()});
        p.waitForFinished(-1);
    };
    curl(check, dir + QStringLiteral("/check.reply"));
    double best = 1e300;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        curl(fetch, dir + QStringLiteral("/fetch.reply"));
        best = std::min(best, ms(timer));
    }
    return best;
}

// One prepared statement (or two, run one after the other for each record)
// over `records` in one transaction on `file`, with other table files
// attached first; returns the milliseconds of the transaction.
double plainStatements(const QString& file, const QList<QPair<QString, QString>>& attach,
                       const QList<QByteArray>& sqls, const QList<QStringList>& records,
                       int minFields,
                       const std::function<QList<QByteArray>(const QStringList&)>& bind)
{
    sqlite3* db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    for (const auto& [path, schema] : attach)
        sqlite3_exec(db, QStringLiteral("ATTACH '%1' AS %2").arg(path, schema).toUtf8().constData(),
                     nullptr, nullptr, nullptr);
    QElapsedTimer timer;
    timer.start();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    std::vector<sqlite3_stmt*> stmts;
    for (const QByteArray& sql : sqls) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
        stmts.push_back(st);
    }
    for (const QStringList& r : records) {
        if (r.size() < minFields)
            continue;
        const QList<QByteArray> values = bind(r);
        for (sqlite3_stmt* st : stmts) {
            const int n = sqlite3_bind_parameter_count(st);
            for (int i = 0; i < n && i < values.size(); ++i)
                sqlite3_bind_text(st, i + 1, values[i].constData(), int(values[i].size()),
                                  SQLITE_TRANSIENT);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
    }
    for (sqlite3_stmt* st : stmts)
        sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double elapsed = ms(timer);
    sqlite3_close(db);
    return elapsed;
}

QList<QStringList> workRecords(const QString& path)
{
    QFile work(path);
    work.open(QIODevice::ReadOnly);
    return readRecords(work.readAll());
}

// Plain inserts of what the session imported, read from its work files,
// into a new company database (the same tables and indexes).
double plainImport(const QString& workDir, const QString& dataDir)
{
    TMainDataMod::CreateMissingTables(dataDir);
    auto workFile = [&workDir](const char* name) {
        return workRecords(workDir + QLatin1Char('/') + QLatin1String(name));
    };
    double total =
        plainSqliteInsert(dataDir + QStringLiteral("/orders.db"), workFile("orders.dat"), "orders");
    QString marks;
    for (int i = 0; i < 21; ++i)
        marks += i ? QStringLiteral(",?") : QStringLiteral("?");
    total +=
        plainStatements(dataDir + QStringLiteral("/customers.db"), {},
                        {QStringLiteral("INSERT INTO customers VALUES (%1)").arg(marks).toUtf8()},
                        workFile("accts.dat"), 21, [](const QStringList& r) {
                            QList<QByteArray> v;
                            for (int i = 0; i < 21; ++i)
                                v << r[i].toUtf8();
                            return v;
                        });
    total +=
        plainStatements(dataDir + QStringLiteral("/invoice_notes.db"), {},
                        {"INSERT INTO invoice_notes (INVOICE, IDATE, NOTE) VALUES (?, ?, ?)"},
                        workFile("notes.dat"), 3, [](const QStringList& r) {
                            return QList<QByteArray>{r[0].toUtf8(), r[1].toUtf8(), r[2].toUtf8()};
                        });
    total += plainStatements(
        dataDir + QStringLiteral("/orders.db"),
        {{dataDir + QStringLiteral("/order_history.db"), QStringLiteral("h")}},
        {"UPDATE orders SET ORDERSTATE=?1 WHERE INV=?2",
         "INSERT INTO h.order_history (INV, IDATE, COMMAND, CHANGED, OLDVALUE, NEWVALUE) "
         "VALUES (?2, '2024-06-01T09:30:00', 'Store Invoice Mark', 'Order Status', 'New', ?1)"},
        workFile("invmarks.dat"), 2, [](const QStringList& r) {
            return QList<QByteArray>{r[1].toUtf8(), r[0].toUtf8()};
        });
    total += plainStatements(dataDir + QStringLiteral("/invoice_result.db"), {},
                             {"INSERT INTO invoice_result (INVOICE, INFSTRING) VALUES (?, ?)"},
                             workFile("invstats.dat"), 2, [](const QStringList& r) {
                                 return QList<QByteArray>{r[0].toUtf8(), r[1].toUtf8()};
                             });
    return total;
}

// Homes stay until the program ends: thousands of files deleted just before
// the next run would slow its file creation (the file system skips recently
// freed inodes), which is no part of what is measured.
std::vector<std::unique_ptr<TempHome>> g_homes;

void run(StoreSim& sim, int orders)
{
    QElapsedTimer seeding;
    seeding.start();
    sim.reset();
    const QList<qint64> invs = sim.generateOrders(orders, 4096);
    sim.generateAccounts(orders / 2);
    QJsonArray notes, marks, statuses;
    for (qint64 inv : invs) {
        notes.append(
            QJsonObject{{"inv", inv}, {"date", "2024-03-06"}, {"text", "Please gift-wrap"}});
        marks.append(QJsonObject{{"inv", inv}, {"state", "Payment Received"}});
        statuses.append(QJsonObject{{"inv", inv}, {"text", "Card authorised"}});
    }
    sim.control("POST", QStringLiteral("notes"), QJsonObject{{"notes", notes}});
    sim.control("POST", QStringLiteral("marks"), QJsonObject{{"marks", marks}});
    sim.control("POST", QStringLiteral("statuses"), QJsonObject{{"statuses", statuses}});

    std::fprintf(stderr, "seeded %d orders in %.1f ms\n", orders, ms(seeding));
    // Best of three: a shared file system is noisy.
    double filesMs = 1e300;
    for (int round = 0; round < 3; ++round) {
        g_homes.push_back(std::make_unique<TempHome>());
        filesMs = std::min(
            filesMs, plainFileWrites(g_homes.back()->path(QStringLiteral("files")), orders, 4096));
    }
    g_homes.push_back(std::make_unique<TempHome>());
    const double curlMs = curlReply(sim, g_homes.back()->path(QStringLiteral("curl")));
    g_homes.push_back(std::make_unique<TempHome>());
    TempHome& home = *g_homes.back();
    ScriptedMessages shown;
    TMainDataMod data;
    data.OpenCompanyDatabase(home.dataDir());
    shown.clear(); // the new database's notice; only the session's messages count
    settings().VendixManagerURL = sim.url();
    NullMainServices main;
    NullSessionHost host;
    StoreSession session(&main, &host);
    session.setPassword(sim.password());

    QElapsedTimer timer;
    // Where the time goes: the moment each run of log rows of one type
    // begins (steps log their own type, the posts "Function").
    QList<QPair<double, QString>> phases;
    QString lastType;
    QObject::connect(&session.eventLog(), &EventLog::rowAdded,
                     [&](const QString& type, const QString& message) {
                         if (type != lastType || type == QLatin1String("Function"))
                             phases.append({ms(timer), type + QStringLiteral(": ") + message});
                         lastType = type;
                     });
    timer.start();
    session.RunSession(StoreSession::GetOrdersAction);
    const double sessionMs = ms(timer);
    int imported = 0;
    for (const EventLog::Row& r : session.eventLog().rows())
        imported += r.type == QLatin1String("Order");
    qint64 replyBytes = 0;
    const QStringList kept = QDir(home.path(QStringLiteral("retrievals"))).entryList(QDir::Files);
    for (const QString& f : kept)
        replyBytes += QFileInfo(home.path(QStringLiteral("retrievals/") + f)).size();
    for (const auto& [at, what] : phases)
        std::fprintf(stderr, "  %9.1f ms  %s\n", at, qPrintable(what.left(90)));
    for (const QString& text : shown.texts())
        std::fprintf(stderr, "  message: %s\n",
                     qPrintable(QString(text).replace(QLatin1Char('\r'), QLatin1Char(' '))));

    // ImportOrders alone, from the same work file into a fresh database, and
    // the plain inserts of the same rows: each the best of three (the
    // machine is shared), each time into a new file.
    QFile work(home.path(QStringLiteral("orders.dat")));
    work.open(QIODevice::ReadOnly);
    const QList<QStringList> records = readRecords(work.readAll());
    double importMs = 1e300, plainMs = 1e300, indexedMs = 1e300;
    for (int round = 0; round < 3; ++round) {
        g_homes.push_back(std::make_unique<TempHome>());
        TempHome& second = *g_homes.back();
        TMainDataMod::CreateMissingTables(second.dataDir());
        ImportContext ctx;
        ctx.dataDir = second.dataDir();
        ctx.workDir = home.home();
        timer.restart();
        ImportOrders(ctx);
        importMs = std::min(importMs, ms(timer));
        plainMs = std::min(plainMs,
                           plainSqliteInsert(second.path(QStringLiteral("plain.sqlite")), records));
        // The same rows into an empty orders table with all its indexes.
        g_homes.push_back(std::make_unique<TempHome>());
        TempHome& third = *g_homes.back();
        TMainDataMod::CreateMissingTables(third.dataDir());
        indexedMs =
            std::min(indexedMs, plainSqliteInsert(third.dataDir() + QStringLiteral("/orders.db"),
                                                  records, "orders"));
    }

    std::printf(
        "%6d orders: session %8.1f ms (%d imported, %d messages, get_new_stuff reply %.1f MB)\n",
        orders, sessionMs, imported, int(shown.texts().size()), 0.0 + double(replyBytes) / 1e6);
    std::printf("%6d orders: ImportOrders %7.1f ms, plain SQLite insert %7.1f ms, ratio %.2f\n",
                orders, importMs, plainMs, importMs / plainMs);
    std::printf("%6d orders: plain SQLite insert into orders.db with its indexes %7.1f ms\n",
                orders, indexedMs);
    std::printf(
        "%6d orders: %d invoice-sized files with open/write/close %7.1f ms (before the session)\n",
        orders, orders, filesMs);
    double insertsMs = 1e300;
    for (int round = 0; round < 3; ++round) {
        g_homes.push_back(std::make_unique<TempHome>());
        insertsMs = std::min(insertsMs, plainImport(home.home(), g_homes.back()->dataDir()));
    }
    const double floorMs = curlMs + insertsMs + filesMs;
    std::printf("%6d orders: floor %7.1f ms = reply by curl %7.1f + plain inserts, updates and "
                "history rows %7.1f + invoice files %7.1f\n",
                orders, floorMs, curlMs, insertsMs, filesMs);
    std::printf("%6d orders: session / floor %.2f (goal at most 1.50)\n", orders,
                sessionMs / floorMs);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Sizes may be given on the command line; 1,000 and 10,000 orders by
    // default. --tmp DIR: where the program homes and the store's state go
    // (default: bench-tmp next to this program). A shared /tmp where test
    // suites create and delete thousands of files can cost a millisecond per
    // file created, which would swamp the invoice step.
    QList<int> sizes;
    QString tmp = QCoreApplication::applicationDirPath() + QStringLiteral("/bench-tmp");
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--tmp") && i + 1 < argc)
            tmp = QString::fromLocal8Bit(argv[++i]);
        else
            sizes.append(arg.toInt());
    }
    if (sizes.isEmpty())
        sizes = {1000, 10000};
    QDir().mkpath(tmp);
    qputenv("TMPDIR", QFile::encodeName(tmp));
    std::fprintf(stderr, "temporary files in %s\n", qPrintable(tmp));

    StoreSim sim;
    if (!sim.isRunning()) {
        std::fprintf(stderr, "store simulator: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    for (int n : sizes)
        run(sim, n);
    g_homes.clear();
    return 0;
}
