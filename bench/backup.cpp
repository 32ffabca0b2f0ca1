// Backing up a company database of N orders (default 1,000,000, plus N/4
// accounts and N notes): CompanyBackup (online backup API, then PRAGMA
// quick_check of every copy, the default) against the sqlite3 tool's
// ".backup" of the same table files in the same run; also the backup with
// `--verify full` (PRAGMA integrity_check), as every backup checked before.
// Each is run twice, alternating; the better time of each counts (the
// machine is shared). The goal: the default at most 1.5x the tool.
//
//   bench_backup [N] [--tmp DIR] [--data DIR]
//
// --data DIR: the company data directory to back up; seeded with N orders
// when it holds no orders.db yet, and kept, so the next run skips the
// seeding (four minutes for a million orders here).
#include "common/temp_home.h"
#include "support/bench_support.h"

#include "base/clock.h"
#include "data/backup.h"
#include "data/catalogue.h"
#include "data/main_data_mod.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>

using namespace os;
using namespace os::bench;

namespace {

// Rows as a store delivers them, written straight through SQLite (the
// import's own speed is bench_retrieval's subject).
void fill(const QString& dir, const char* table, const QString& sql, int rows,
          const std::function<void(sqlite3_stmt*, int)>& bind)
{
    sqlite3* db = nullptr;
    sqlite3_open(
        QFile::encodeName(dir + QLatin1Char('/') + QLatin1String(table) + QStringLiteral(".db"))
            .constData(),
        &db);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=OFF; BEGIN", nullptr, nullptr,
                 nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr);
    for (int i = 0; i < rows; ++i) {
        bind(st, i);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT; PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

void text(sqlite3_stmt* st, int col, const QByteArray& value)
{
    sqlite3_bind_text(st, col, value.constData(), int(value.size()), SQLITE_TRANSIENT);
}

void seed(const QString& dir, int orders)
{
    const char* states[] = {"New", "Payment Received", "Shipped", "Complete", "Void"};
    QStringList marks;
    for (int i = 0; i < 34; ++i)
        marks << QStringLiteral("?");
    fill(dir, "orders",
         QStringLiteral("INSERT INTO orders VALUES (%1)").arg(marks.join(QLatin1Char(','))), orders,
         [&](sqlite3_stmt* st, int i) {
             const QByteArray n = QByteArray::number(i);
             sqlite3_bind_int(st, 1, 100000 + i);
             sqlite3_bind_int(st, 2, 1000 + i / 4);
             text(st, 3, "pw" + n);
             text(st, 4, "buyer" + n + "@example.com");
             text(st, 5, "Company " + n);
             text(st, 6, "Buyer Name " + n);
             text(st, 7, n + " Main Street");
             text(st, 8, "Springfield");
             text(st, 9, "IL");
             text(st, 10, "62701");
             text(st, 11, "USA");
             text(st, 12, "555-0100");
             for (int c = 13; c <= 20; ++c)
                 text(st, c, c == 13 ? QByteArray() : "ship " + n);
             text(st, 21, "Please gift-wrap the order");
             text(st, 22, "2024-03-05T14:07:09");
             sqlite3_bind_double(st, 23, 19.99 + i % 100);
             text(st, 24, "Credit Card");
             text(st, 25, "4111111111111111");
             text(st, 26, "Visa");
             text(st, 27, "12");
             text(st, 28, "27");
             text(st, 29, "");
             text(st, 30, "PO-" + n);
             sqlite3_bind_int(st, 31, 7);
             text(st, 32, "SAVE10");
             text(st, 33, states[i % 5]);
             text(st, 34, "2024-06-01T09:30:00");
         });
    QStringList accountMarks;
    for (int i = 0; i < 21; ++i)
        accountMarks << QStringLiteral("?");
    fill(dir, "customers",
         QStringLiteral("INSERT INTO customers VALUES (%1)")
             .arg(accountMarks.join(QLatin1Char(','))),
         orders / 4, [&](sqlite3_stmt* st, int i) {
             const QByteArray n = QByteArray::number(i);
             sqlite3_bind_int(st, 1, 1000 + i);
             for (int c = 2; c <= 20; ++c)
                 text(st, c, "value " + n);
             sqlite3_bind_int(st, 21, i % 2);
         });
    fill(dir, "invoice_notes",
         QStringLiteral("INSERT INTO invoice_notes (INVOICE, IDATE, NOTE) VALUES (?, ?, ?)"),
         orders, [&](sqlite3_stmt* st, int i) {
             sqlite3_bind_int(st, 1, 100000 + i);
             text(st, 2, "2024-03-06");
             text(st, 3, "Called the customer about the delivery");
         });
}

qint64 folderBytes(const QString& dir)
{
    qint64 bytes = 0;
    for (const QFileInfo& f : QDir(dir).entryInfoList(QDir::Files))
        bytes += f.size();
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int orders = 1000000;
    QString tmp = QCoreApplication::applicationDirPath() + QStringLiteral("/bench-tmp");
    QString keptData;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--tmp") && i + 1 < argc)
            tmp = QString::fromLocal8Bit(argv[++i]);
        else if (arg == QLatin1String("--data") && i + 1 < argc)
            keptData = QDir(QString::fromLocal8Bit(argv[++i])).absolutePath();
        else
            orders = arg.toInt();
    }
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (tool.isEmpty()) {
        std::fprintf(stderr, "the sqlite3 tool is not on PATH (apt-get install sqlite3)\n");
        return 1;
    }
    QDir().mkpath(tmp);
    qputenv("TMPDIR", QFile::encodeName(tmp));
    test::TempHome home;
    const QString data = keptData.isEmpty() ? home.dataDir() : keptData;
    QElapsedTimer timer;
    timer.start();
    if (!QFileInfo::exists(data + QStringLiteral("/orders.db"))) {
        QDir().mkpath(data);
        TMainDataMod::CreateMissingTables(data);
        seed(data, orders);
        std::fprintf(stderr, "seeded %d orders in %.1f s (%s)\n", orders, ms(timer) / 1000,
                     qPrintable(data));
    }
    const qint64 bytes = folderBytes(data);

    double ours = 1e300, check = 1e300, full = 1e300, fullCheck = 1e300, theirs = 1e300;
    // One backup; its time and the time its checks took.
    auto backUp = [&](const QString& dest, bool verifyFull, double* checkMs) {
        double checking = 0;
        QElapsedTimer checkTimer;
        bool inCheck = false;
        CompanyBackup::Options options;
        options.fullCheck = verifyFull;
        QElapsedTimer t;
        t.start();
        const QString folder =
            CompanyBackup(data, dest, options).run([&](const CompanyBackup::Progress& p) {
                if (p.checking && !inCheck)
                    checkTimer.restart();
                if (!p.checking && inCheck)
                    checking += ms(checkTimer);
                inCheck = p.checking;
                return true;
            });
        if (inCheck)
            checking += ms(checkTimer);
        const double took = ms(t);
        *checkMs = checking;
        QDir(folder).removeRecursively();
        return took;
    };
    for (int round = 0; round < 2; ++round) {
        Clock::pin(QDateTime(QDate(2026, 1, 1), QTime(0, 0, round)));
        double checking = 0;
        ours = std::min(ours,
                        backUp(home.path(QStringLiteral("ours%1").arg(round)), false, &checking));
        check = std::min(check, checking);
        full =
            std::min(full, backUp(home.path(QStringLiteral("full%1").arg(round)), true, &checking));
        fullCheck = std::min(fullCheck, checking);

        // The sqlite3 tool, file by file, into a fresh folder.
        const QString out = home.path(QStringLiteral("tool%1").arg(round));
        QDir().mkpath(out);
        timer.restart();
        for (const TableDef& def : catalogue()) {
            QProcess p;
            p.start(tool, {data + QLatin1Char('/') + def.fileName(),
                           QStringLiteral(".backup '%1/%2'").arg(out, def.fileName())});
            if (!p.waitForFinished(-1) || p.exitCode() != 0) {
                std::fprintf(stderr, "sqlite3 failed: %s\n", p.readAllStandardError().constData());
                return 1;
            }
        }
        theirs = std::min(theirs, ms(timer));
        QDir(out).removeRecursively();
    }
    std::printf("%d orders, %d accounts, %d notes: %.1f MB in %d table files\n", orders, orders / 4,
                orders, double(bytes) / 1e6, int(catalogue().size()));
    std::printf("CompanyBackup            %9.1f ms (of which quick_check %.1f ms)\n", ours, check);
    std::printf("CompanyBackup, full      %9.1f ms (of which integrity_check %.1f ms)\n", full,
                fullCheck);
    std::printf("sqlite3 .backup          %9.1f ms\n", theirs);
    std::printf("ratio                    %9.2f (copy alone %.2f; goal 1.50)\n", ours / theirs,
                (ours - check) / theirs);
    std::printf("ratio with --verify full %9.2f\n", full / theirs);
    return 0;
}
