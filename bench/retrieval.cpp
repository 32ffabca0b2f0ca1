// A whole "Get Orders & Information" from the store simulator on loopback:
// N orders with a 4 KB invoice each, N/2 accounts, N notes, marks and status
// texts. Prints the session time, ImportOrders alone, and a plain SQLite
// insert of the same rows in one transaction for comparison.
#include "common/scripted_messages.h"
#include "common/store_sim.h"
#include "common/temp_home.h"
#include "support/bench_support.h"

#include "base/main_services.h"
#include "base/settings.h"
#include "data/main_data_mod.h"
#include "sync/import_steps.h"
#include "sync/store_session.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
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
    g_homes.push_back(std::make_unique<TempHome>());
    const double filesMs =
        plainFileWrites(g_homes.back()->path(QStringLiteral("files")), orders, 4096);
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
