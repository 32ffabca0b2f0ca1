// The backup of the company database (CompanyBackup and `--backup`): real
// table files, a real writer in a child process, the real program killed
// part-way.
#include "common/file_utils.h"
#include "common/scripted_messages.h"
#include "common/temp_home.h"
#include "common/throws.h"

#include "base/clock.h"
#include "data/backup.h"
#include "data/connection.h"
#include "data/main_data_mod.h"
#include "data/query.h"
#include "data/statement.h"
#include "data/transaction.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <chrono>
#include <thread>

#include <csignal>
#include <unistd.h>

using namespace os;
using namespace os::test;

namespace {

const char kHoldWrite[] = "--hold-write";

// The child's part: an open write transaction on orders.db with one row in
// it, held until the child is killed.
int holdWrite(const QString& dataDir)
{
    auto conn = Connection::forTable(dataDir, QStringLiteral("orders"));
    conn->exec(QStringLiteral("BEGIN IMMEDIATE"));
    conn->exec(QStringLiteral("INSERT INTO orders (INV, NAME) VALUES (424242, 'uncommitted')"));
    std::fputs("held\n", stdout);
    std::fflush(stdout);
    for (;;)
        std::this_thread::sleep_for(std::chrono::seconds(1));
}

QVariantList column(const QString& dir, const QString& sql)
{
    Query q;
    q.setDirectory(dir);
    q.setSql(sql);
    q.open();
    QVariantList values;
    for (; !q.eof(); q.next())
        values.append(q.value(0));
    return values;
}

void insertOrders(const QString& dir, int from, int count)
{
    Transaction tx(dir, QStringLiteral("orders"));
    auto conn = Connection::forTable(dir, QStringLiteral("orders"));
    Statement insert(*conn,
                     QStringLiteral("INSERT INTO orders (INV, NAME, NOTES) VALUES (?, ?, ?)"));
    for (int i = from; i < from + count; ++i) {
        insert.reset();
        insert.bind(1, i);
        insert.bind(2, QStringLiteral("Buyer %1").arg(i));
        insert.bind(3, QString(200, QLatin1Char('n')));
        insert.step();
    }
    tx.commit();
}

struct Run
{
    int exitCode = -1;
    bool crashed = false;
    QStringList out;
    QString err;
};

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempHome> m_home;

    QString dataDir() const { return m_home->dataDir(); }

    Run backup(const QStringList& extra)
    {
        QProcess p;
        p.start(QStringLiteral(OS_PROGRAM_EXE),
                QStringList{QStringLiteral("--home"), m_home->home(), QStringLiteral("--backup")} +
                    extra);
        Run r;
        if (!p.waitForFinished(120000))
            return r;
        r.crashed = p.exitStatus() != QProcess::NormalExit;
        r.exitCode = p.exitCode();
        r.out = QString::fromUtf8(p.readAllStandardOutput())
                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

private slots:
    void init()
    {
        m_home = std::make_unique<TempHome>();
        TMainDataMod::CreateMissingTables(dataDir());
        QVERIFY(writeAll(dataDir() + QStringLiteral("/zr.ini"), "[MAINC]\r\nCOMPANY=Shop\r\n"));
        QVERIFY(writeAll(dataDir() + QStringLiteral("/ccitems.txt"), "Visa\r\nAmex\r\n"));
        insertOrders(dataDir(), 1, 3);
    }
    void cleanup()
    {
        Clock::pin(QDateTime());
        m_home.reset();
    }

    void backupWhileAnotherProgramWrites()
    {
        // Another process holds an open write transaction on orders.db.
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(),
                     {QString::fromLatin1(kHoldWrite), dataDir()});
        QVERIFY(writer.waitForStarted(10000));
        while (!writer.canReadLine())
            QVERIFY(writer.waitForReadyRead(20000));
        QCOMPARE(writer.readLine(), QByteArray("held\n"));

        const QString dest = m_home->path(QStringLiteral("backups"));
        const Run r = backup({dest, QStringLiteral("--keep"), QStringLiteral("2")});
        writer.kill();
        writer.waitForFinished();
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QString());
        const QStringList made = CompanyBackup::completeBackups(dest);
        QCOMPARE(made.size(), 1);
        QVERIFY2(
            QRegularExpression(
                QStringLiteral("^ordersentinel-backup-\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d$"))
                .match(made.first())
                .hasMatch(),
            qPrintable(made.first()));
        const QString folder = dest + QLatin1Char('/') + made.first();
        QCOMPARE(r.out.last(), QStringLiteral("Backup\tComplete: ") + folder);

        // Every table file, zr.ini and ccitems.txt; owner only; one file per table.
        QStringList expected;
        for (const TableDef& def : catalogue())
            expected << def.fileName();
        expected << QStringLiteral("ccitems.txt") << QStringLiteral("zr.ini");
        expected.sort();
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
        QCOMPARE(r.out.mid(0, r.out.size() - 1).size(), expected.size());
        QCOMPARE(unixMode(folder), 0700);
        for (const QString& name : expected)
            QCOMPARE(unixMode(folder + QLatin1Char('/') + name), 0600);
        QCOMPARE(readAll(folder + QStringLiteral("/ccitems.txt")), QByteArray("Visa\r\nAmex\r\n"));

        // The committed rows only: the writer's open transaction is not in it.
        QCOMPARE(column(folder, QStringLiteral("SELECT INV FROM orders.db ORDER BY INV")),
                 (QVariantList{1, 2, 3}));
        Statement check(*Connection::forTable(folder, QStringLiteral("orders")),
                        QStringLiteral("PRAGMA integrity_check"));
        QVERIFY(check.step());
        QCOMPARE(check.column(0).toString(), QStringLiteral("ok"));
    }

    void keepRemovesAllButTheNewest()
    {
        const QString dest = m_home->path(QStringLiteral("backups"));
        QStringList folders;
        for (int minute : {1, 2, 3}) {
            Clock::pin(QDateTime(QDate(2026, 1, 2), QTime(10, minute, 0)));
            folders << CompanyBackup(dataDir(), dest).run();
        }
        // Two in one second are both kept, under distinct names.
        folders << CompanyBackup(dataDir(), dest).run();
        QCOMPARE(QFileInfo(folders.last()).fileName(),
                 QStringLiteral("ordersentinel-backup-2026-01-02_10-03-00_2"));
        // What killed backups left: one whose process is gone, one still running.
        QProcess gone;
        gone.start(QStringLiteral("/bin/true"));
        QVERIFY(gone.waitForFinished());
        const QString dead =
            dest + QStringLiteral("/.ordersentinel-backup-x.partial-%1").arg(gone.processId());
        const QString alive =
            dest + QStringLiteral("/.ordersentinel-backup-y.partial-%1").arg(::getpid());
        QVERIFY(QDir().mkpath(dead) && QDir().mkpath(alive));

        QCOMPARE(CompanyBackup::prune(dest, 2), folders.mid(0, 2));
        QCOMPARE(CompanyBackup::completeBackups(dest),
                 (QStringList{"ordersentinel-backup-2026-01-02_10-03-00",
                              "ordersentinel-backup-2026-01-02_10-03-00_2"}));
        QVERIFY(!QFileInfo::exists(dead));
        QVERIFY(QFileInfo::exists(alive));

        const Run r = backup({dest, QStringLiteral("--keep"), QStringLiteral("0")});
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.err, QStringLiteral("--keep needs the number of backups to keep, 1 or more.\n"));
    }

    void killedBackupLooksUnfinished()
    {
        // Enough rows that the copy takes a while; the kill lands wherever it lands.
        insertOrders(dataDir(), 100, 60000);
        const QString dest = m_home->path(QStringLiteral("backups"));
        QProcess p;
        p.start(QStringLiteral(OS_PROGRAM_EXE),
                {QStringLiteral("--home"), m_home->home(), QStringLiteral("--backup"), dest});
        QVERIFY(p.waitForStarted(10000));
        QByteArray out;
        while (!out.contains("Backup\torders.db\n") && p.state() == QProcess::Running) {
            p.waitForReadyRead(20000);
            out += p.readAllStandardOutput();
        }
        ::kill(pid_t(p.processId()), SIGKILL);
        p.waitForFinished();
        out += p.readAllStandardOutput();

        // A backup folder that looks complete is one: all files, all sound.
        const QStringList complete = CompanyBackup::completeBackups(dest);
        if (!out.contains("Complete: "))
            QCOMPARE(complete, QStringList());
        for (const QString& name : complete)
            QCOMPARE(column(dest + QLatin1Char('/') + name,
                            QStringLiteral("SELECT COUNT(*) FROM orders.db")),
                     (QVariantList{60003}));
        // The next backup with --keep clears what the killed one left.
        const Run r = backup({dest, QStringLiteral("--keep"), QStringLiteral("1")});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(QDir(dest).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot),
                 CompanyBackup::completeBackups(dest));
        QCOMPARE(CompanyBackup::completeBackups(dest).size(), 1);
    }

    void cancelLeavesNothing()
    {
        const QString dest = m_home->path(QStringLiteral("backups"));
        const QString cancelled = QStringLiteral("The backup was cancelled.");
        // While copying, and while checking a copy.
        int calls = 0;
        OS_VERIFY_THROWS(BackupError,
                         CompanyBackup(dataDir(), dest).run([&](const CompanyBackup::Progress&) {
                             return ++calls < 2;
                         }),
                         cancelled);
        QCOMPARE(calls, 2);
        OS_VERIFY_THROWS(BackupError,
                         CompanyBackup(dataDir(), dest).run([](const CompanyBackup::Progress& p) {
                             return !p.checking;
                         }),
                         cancelled);
        QCOMPARE(QDir(dest).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
    }

    // A table file that is not a database costs only itself; the invoice
    // pages always come along, the kept replies with --with-replies.
    void badTableCostsOnlyItself()
    {
        QVERIFY(QDir().mkpath(dataDir() + QStringLiteral("/html/old")));
        QVERIFY(writeAll(dataDir() + QStringLiteral("/html/1001inv.html"), "<p>1001</p>\r\n"));
        QVERIFY(writeAll(dataDir() + QStringLiteral("/html/old/999inv.html"), "<p>999</p>"));
        QVERIFY(QDir().mkpath(m_home->path(QStringLiteral("retrievals"))));
        QVERIFY(writeAll(m_home->path(QStringLiteral("retrievals/r1.reply")), "reply one"));
        QVERIFY(writeAll(dataDir() + QStringLiteral("/coupons.db"), QByteArray(4096, 'q')));

        const QString dest = m_home->path(QStringLiteral("backups"));
        const Run r = backup({dest, QStringLiteral("--with-replies"), QStringLiteral("--keep"),
                              QStringLiteral("1")});
        QCOMPARE(r.err,
                 QStringLiteral("Error: Cannot back up coupons.db.\nfile is not a database\n"));
        QCOMPARE(r.exitCode, 1);
        const QStringList made = CompanyBackup::completeBackups(dest);
        QCOMPARE(made.size(), 1);
        const QString folder = dest + QLatin1Char('/') + made.first();
        QCOMPARE(r.out.last(), QStringLiteral("Backup\tComplete: ") + folder);
        QVERIFY(r.out.contains(QStringLiteral("Backup\thtml/")));
        QVERIFY(r.out.contains(QStringLiteral("Backup\tretrievals/")));
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/coupons.db")));
        QCOMPARE(column(folder, QStringLiteral("SELECT INV FROM orders.db ORDER BY INV")),
                 (QVariantList{1, 2, 3}));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), int(catalogue().size()) - 1 + 2);
        QCOMPARE(readAll(folder + QStringLiteral("/html/1001inv.html")),
                 QByteArray("<p>1001</p>\r\n"));
        QCOMPARE(readAll(folder + QStringLiteral("/html/old/999inv.html")),
                 QByteArray("<p>999</p>"));
        QCOMPARE(unixMode(folder + QStringLiteral("/html/old")), 0700);
        QCOMPARE(unixMode(folder + QStringLiteral("/html/old/999inv.html")), 0600);
        QCOMPARE(readAll(folder + QStringLiteral("/retrievals/r1.reply")), QByteArray("reply one"));

        // Without --with-replies no replies; --verify full checks every
        // index; another --verify is a wrong command line.
        QVERIFY(QFile::remove(dataDir() + QStringLiteral("/coupons.db")));
        TMainDataMod::CreateMissingTables(dataDir());
        const Run full = backup({dest, QStringLiteral("--verify"), QStringLiteral("full")});
        QCOMPARE(full.err, QString());
        QCOMPARE(full.exitCode, 0);
        const QString second = full.out.last().mid(QStringLiteral("Backup\tComplete: ").size());
        QVERIFY(QFileInfo::exists(second + QStringLiteral("/coupons.db")));
        QVERIFY(QFileInfo::exists(second + QStringLiteral("/html/1001inv.html")));
        QVERIFY(!QFileInfo::exists(second + QStringLiteral("/retrievals")));
        const Run wrong = backup({dest, QStringLiteral("--verify"), QStringLiteral("sometimes")});
        QCOMPARE(wrong.err, QStringLiteral("--verify takes quick or full.\n"));
        QCOMPARE(wrong.exitCode, 2);
    }

    // A backup only reads: a data folder nobody may write to is backed up.
    // As root (who may write anywhere) the backup runs as "nobody" on a home
    // given to nobody; the program is copied where nobody can run it.
    void readOnlyDataFolder()
    {
        const bool root = ::geteuid() == 0;
        const QString dest = m_home->path(QStringLiteral("backups"));
        QVERIFY(QDir().mkpath(dest));
        QString program = QStringLiteral(OS_PROGRAM_EXE);
        if (root) {
            program = m_home->path(QStringLiteral("ordersentinel"));
            QVERIFY(QFile::copy(QStringLiteral(OS_PROGRAM_EXE), program));
            QProcess chown;
            chown.start(QStringLiteral("chown"),
                        {QStringLiteral("-R"), QStringLiteral("nobody:"), m_home->home()});
            QVERIFY(chown.waitForFinished(30000) && chown.exitCode() == 0);
        }
        QVERIFY(QFile::setPermissions(dataDir(), QFile::ReadOwner | QFile::ExeOwner |
                                                     QFile::ReadGroup | QFile::ExeGroup |
                                                     QFile::ReadOther | QFile::ExeOther));
        QStringList args = {program, QStringLiteral("--home"), m_home->home(),
                            QStringLiteral("--backup"), dest};
        if (root)
            args = QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                               QStringLiteral("--clear-groups")} +
                   args;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home->home());
        p.setProcessEnvironment(env);
        p.start(root ? QStringLiteral("setpriv") : program, root ? args : args.mid(1));
        QVERIFY(p.waitForFinished(120000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QFile::setPermissions(dataDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(err, QString());
        QCOMPARE(p.exitCode(), 0);
        // Nothing was left in the data folder by the reading.
        QVERIFY(!QFileInfo::exists(dataDir() + QStringLiteral("/orders.db-wal")));
        const QStringList made = CompanyBackup::completeBackups(dest);
        QCOMPARE(made.size(), 1);
        QCOMPARE(column(dest + QLatin1Char('/') + made.first(),
                        QStringLiteral("SELECT INV FROM orders.db ORDER BY INV")),
                 (QVariantList{1, 2, 3}));
    }

    void nothingToBackUp()
    {
        TempHome empty;
        OS_VERIFY_THROWS(BackupError,
                         CompanyBackup(empty.dataDir(), empty.path(QStringLiteral("b"))).run(),
                         QStringLiteral("There is no company database in \"%1\" to back up.")
                             .arg(empty.dataDir()));
        QVERIFY(!QFileInfo::exists(empty.path(QStringLiteral("b"))));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String(kHoldWrite))
        return holdWrite(args.at(2));
    TestBackup test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_backup.moc"
