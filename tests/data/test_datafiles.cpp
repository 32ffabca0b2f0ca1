// The table files on disk: a home left by a writer that ran into a full disk
// (a real child process, a real file-size limit, a real kill) opens in every
// mode with every committed row; damaged and over-readable files; the
// exports and the lock folder stay the merchant's; searches fold case beyond
// ASCII. Real SQLite files in temporary homes, the real executable.
#include "common/file_utils.h"
#include "common/program_run.h"
#include "common/scripted_messages.h"
#include "common/table_rows.h"
#include "common/temp_home.h"

#include "base/paths.h"
#include "customers/customer_list.h"
#include "data/backup.h"
#include "data/connection.h"
#include "data/db_error.h"
#include "data/main_data_mod.h"
#include "data/query.h"
#include "data/statement.h"
#include "data/table.h"
#include "data/transaction.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <memory>
#include <thread>

#include <csignal>
#include <sys/resource.h>

using namespace os;
using namespace os::test;

namespace {

using Run = os::test::ProgramRun;

const char kFillUntilFull[] = "--fill-until-full";
constexpr int kEarlyRows = 50;
constexpr int kLateRows = 2000;

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

// The child's part: a retrieval's worth of committed orders kept in the log
// (no automatic checkpoint), then the disk runs full (the table file may not
// grow by a byte) while the log is folded in, then it waits to be killed.
int fillUntilFull(const QString& dataDir)
{
    auto conn = Connection::forTable(dataDir, QStringLiteral("orders"));
    conn->exec(QStringLiteral("PRAGMA wal_autocheckpoint=0"));
    for (int batch = 0; batch < kLateRows / 100; ++batch)
        insertOrders(dataDir, 1000 + batch * 100, 100);
    const rlim_t size = rlim_t(QFileInfo(conn->filePath()).size());
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{size, size};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return 3;
    QByteArray outcome = "checkpointed";
    try {
        conn->exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
    } catch (const DbError&) {
        outcome = "full";
    }
    std::fputs(outcome.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    for (;;)
        std::this_thread::sleep_for(std::chrono::seconds(1));
}

Run runProgram(const QStringList& args, const QProcessEnvironment& env = {})
{
    return os::test::runProgram(QStringLiteral(OS_PROGRAM_EXE), args, env, 180000);
}

qint64 scalar(const QString& dir, const QString& sql)
{
    Query q;
    q.setDirectory(dir);
    q.setSql(sql);
    q.open();
    return q.eof() ? -1 : q.value(0).toLongLong();
}

// The page count page 1 of a table file claims, in bytes.
qint64 claimedSize(const QString& path)
{
    const QByteArray head = readAll(path).left(100);
    if (head.size() < 100)
        return -1;
    auto byte = [&head](int i) { return qint64(static_cast<unsigned char>(head.at(i))); };
    qint64 pageSize = (byte(16) << 8) | byte(17);
    if (pageSize == 1)
        pageSize = 65536;
    const qint64 pages = (byte(28) << 24) | (byte(29) << 16) | (byte(30) << 8) | byte(31);
    return pages * pageSize;
}

} // namespace

class TestDataFiles : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempHome> m_home;
    QList<std::shared_ptr<QTemporaryDir>> m_copies;

    // A copy of the home's data folder, every file as it lies (the log and
    // the shared memory of the killed writer included); returns its home.
    QString copyHome()
    {
        auto dir = std::make_shared<QTemporaryDir>();
        m_copies << dir;
        const QString data = dir->path() + QStringLiteral("/data");
        QDir().mkpath(data + QStringLiteral("/html"));
        const QDir source(m_home->dataDir());
        for (const QString& name : source.entryList(QDir::Files | QDir::Hidden)) {
            if (!QFile::copy(source.filePath(name), data + QLatin1Char('/') + name))
                return {};
        }
        return dir->path();
    }

private slots:
    void init()
    {
        m_home = std::make_unique<TempHome>();
        TMainDataMod::CreateMissingTables(m_home->dataDir());
    }
    void cleanup()
    {
        m_copies.clear();
        m_home.reset();
    }

    void homeLeftByAFullDiskOpensInEveryMode()
    {
        const QString data = m_home->dataDir();
        insertOrders(data, 1, kEarlyRows);
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(),
                     {QString::fromLatin1(kFillUntilFull), data});
        QVERIFY(writer.waitForStarted(20000));
        while (!writer.canReadLine() && writer.state() == QProcess::Running)
            writer.waitForReadyRead(60000);
        const QByteArray outcome = writer.readLine();
        ::kill(pid_t(writer.processId()), SIGKILL);
        writer.waitForFinished(20000);
        QCOMPARE(outcome, QByteArray("full\n"));

        // What the disk holds now: the commits in the log, a table file that
        // claims more pages than it has (read alone, it is "malformed").
        const QString orders = data + QStringLiteral("/orders.db");
        QVERIFY(QFileInfo(orders + QStringLiteral("-wal")).size() > 0);
        QVERIFY2(claimedSize(orders) > QFileInfo(orders).size(),
                 qPrintable(QStringLiteral("%1 claimed, %2 on disk")
                                .arg(claimedSize(orders))
                                .arg(QFileInfo(orders).size())));
        const qint64 all = kEarlyRows + kLateRows;

        // The window program's data module.
        {
            const QString home = copyHome();
            ScriptedMessages shown;
            TMainDataMod dm;
            QString error;
            QVERIFY2(dm.OpenCompanyDatabase(home + QStringLiteral("/data"), &error),
                     qPrintable(error));
            QCOMPARE(shown.texts(), QStringList());
            QCOMPARE(scalar(home + QStringLiteral("/data"),
                            QStringLiteral("SELECT count(*) FROM orders.db")),
                     all);
            QCOMPARE(scalar(home + QStringLiteral("/data"),
                            QStringLiteral("SELECT max(INV) FROM orders.db")),
                     1000 + kLateRows - 1);
            dm.CloseCompanyDatabase();
        }
        // The export.
        {
            const QString home = copyHome();
            const QString csv = home + QStringLiteral("/orders.csv");
            const Run r = runProgram(
                {QStringLiteral("--home"), home, QStringLiteral("--export-orders"), csv});
            QCOMPARE(r.err, QString());
            QCOMPARE(
                r.out,
                QStringList({QStringLiteral("Export\t%1 orders written to %2").arg(all).arg(csv)}));
            QCOMPARE(r.code, 0);
        }
        // The backup (read only).
        {
            const QString home = copyHome();
            const QString dest = home + QStringLiteral("/b");
            const Run r =
                runProgram({QStringLiteral("--home"), home, QStringLiteral("--backup"), dest});
            QCOMPARE(r.err, QString());
            QCOMPARE(r.code, 0);
            const QStringList made = CompanyBackup::completeBackups(dest);
            QCOMPARE(made.size(), 1);
            QCOMPARE(scalar(dest + QLatin1Char('/') + made.first(),
                            QStringLiteral("SELECT count(*) FROM orders.db")),
                     all);
        }
        // The repair utility.
        {
            const QString home = copyHome();
            const Run r = runProgram({QStringLiteral("--home"), home, QStringLiteral("--repair")});
            QCOMPARE(r.err, QString());
            QVERIFY2(
                r.out.contains(QStringLiteral(
                    "Recovered\torders.db: the log a stopped program left behind is folded in")),
                qPrintable(r.out.join(QLatin1Char('\n'))));
            QCOMPARE(r.out.last(), QStringLiteral("Done\tEvery table file is sound."));
            QCOMPARE(r.code, 0);
            QCOMPARE(scalar(home + QStringLiteral("/data"),
                            QStringLiteral("SELECT count(*) FROM orders.db")),
                     all);
        }
    }

    // Only a file SQLite calls damaged is refused, named, with the way back.
    void damagedFileNamesItselfAndTheWayBack()
    {
        const QString path = m_home->dataDir() + QStringLiteral("/orders.db");
        QVERIFY(writeAll(path, QByteArray(8192, 'x')));
        ScriptedMessages shown;
        TMainDataMod dm;
        QString error;
        QVERIFY(!dm.OpenCompanyDatabase(m_home->dataDir(), &error));
        QCOMPARE(error,
                 QStringLiteral("Cannot open table %1.\rfile is not a database\rThe file is "
                                "damaged. Restore it from a backup, or run the Ordersentinel "
                                "Database Repair Utility (ordersentinel --repair) to save its "
                                "readable rows.")
                     .arg(path));
    }

    // A table file others could read is narrowed at open, with a notice; the
    // lock folder the program makes is its owner's only.
    void filesStayTheMerchants()
    {
        const QString data = m_home->dataDir();
        const QString orders = data + QStringLiteral("/orders.db");
        const QString customers = data + QStringLiteral("/customers.db");
        QVERIFY(QFile::setPermissions(orders, QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(QFile::setPermissions(customers, QFile::ReadOwner | QFile::WriteOwner |
                                                     QFile::ReadGroup | QFile::WriteGroup));
        const QString csv = m_home->path(QStringLiteral("all.csv"));
        const Run r = runProgram(
            {QStringLiteral("--home"), m_home->home(), QStringLiteral("--export-orders"), csv});
        QCOMPARE(r.err, QStringLiteral("Warning: These table files could be read by other users "
                                       "of this computer; they are now readable by you "
                                       "only:\n\n%1\n%2\n")
                            .arg(orders, customers));
        QCOMPARE(r.code, 0);
        QCOMPARE(unixMode(orders), 0600);
        QCOMPARE(unixMode(customers), 0600);
        QCOMPARE(unixMode(csv), 0600);
        // Once narrowed, nothing more is said.
        const Run again = runProgram(
            {QStringLiteral("--home"), m_home->home(), QStringLiteral("--export-orders"), csv});
        QCOMPARE(again.err, QString());
        QCOMPARE(again.code, 0);

        // A mode that takes the program lock makes its folder owner-only.
        QTemporaryDir locks;
        const QString lockDir = locks.path() + QStringLiteral("/new/ordersentinel");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORDERSENTINEL_LOCK_DIR"), lockDir);
        const Run repair =
            runProgram({QStringLiteral("--home"), m_home->home(), QStringLiteral("--repair")}, env);
        QCOMPARE(repair.code, 0);
        QCOMPARE(unixMode(lockDir), 0700);
        QCOMPARE(unixMode(locks.path() + QStringLiteral("/new")), 0700);
    }

    // The customers export guards formulas as the orders export does.
    void customersExportGuardsFormulas()
    {
        const QString data = m_home->dataDir();
        insertRows(data, QStringLiteral("customers"),
                   {{{"CUSTID", 1}, {"NAME", "=cmd|' /C calc'!A0"}, {"COMPANY", "-3"}},
                    {{"CUSTID", 2}, {"NAME", "@Home"}, {"COMPANY", "Plain"}}});
        Table customers(QStringLiteral("customers"));
        customers.setDirectory(data);
        customers.open();
        const QString csv = m_home->path(QStringLiteral("customers.csv"));
        QCOMPARE(ExportCustomersToFile(customers, csv), 2);
        QCOMPARE(unixMode(csv), 0600);
        const QByteArray bytes = readAll(csv);
        QVERIFY2(bytes.contains("'=cmd|' /C calc'!A0") && bytes.contains(",-3,") &&
                     bytes.contains("'@Home") && bytes.contains(",Plain,"),
                 bytes.constData());
        QVERIFY(!bytes.contains(",=cmd") && !bytes.contains(",@Home"));
    }

    // "müller" finds "MÜLLER": the search, the case-blind filter and locate
    // fold case beyond ASCII; an ASCII text does not match other letters.
    void caseFoldBeyondAscii()
    {
        const QString data = m_home->dataDir();
        insertRows(data, QStringLiteral("customers"),
                   {{{"CUSTID", 1}, {"NAME", "MÜLLER GmbH"}},
                    {{"CUSTID", 2}, {"NAME", "Müller"}},
                    {{"CUSTID", 3}, {"NAME", "Muller"}},
                    {{"CUSTID", 4}, {"NAME", "ÉCOLE Ωmega"}}});
        Table customers(QStringLiteral("customers"));
        customers.setDirectory(data);
        customers.open();
        auto listed = [&customers] {
            QList<int> ids;
            for (customers.first(); !customers.eof(); customers.next())
                ids << customers.value(QStringLiteral("CUSTID")).toInt();
            std::sort(ids.begin(), ids.end());
            return ids;
        };
        applyCustomerList(customers,
                          customerSearch(QStringLiteral("NAME"), QStringLiteral("müller")));
        QCOMPARE(listed(), QList<int>({1, 2}));
        applyCustomerList(customers,
                          customerSearch(QStringLiteral("NAME"), QStringLiteral("école ω")));
        QCOMPARE(listed(), QList<int>({4}));
        applyCustomerList(customers,
                          customerSearch(QStringLiteral("NAME"), QStringLiteral("MULLER")));
        QCOMPARE(listed(), QList<int>({3}));

        insertRows(data, QStringLiteral("orders"),
                   {orderRow(7, QStringLiteral("New"), {{"NAME", "ÅSA STRÖM"}}),
                    orderRow(8, QStringLiteral("New"), {{"NAME", "Asa Strom"}})});
        Table orders(QStringLiteral("orders"));
        orders.setDirectory(data);
        orders.setFilterCaseInsensitive(true);
        orders.open();
        orders.setFilter(QStringLiteral("NAME='åsa ström'"));
        orders.setFiltered(true);
        orders.first();
        QVERIFY(!orders.eof());
        QCOMPARE(orders.value(QStringLiteral("INV")).toInt(), 7);
        orders.next();
        QVERIFY(orders.eof());
        orders.setFiltered(false);
        QVERIFY(orders.locate(QStringLiteral("NAME"), QStringLiteral("åsa STRÖM"), true));
        QCOMPARE(orders.value(QStringLiteral("INV")).toInt(), 7);
        QVERIFY(!orders.locate(QStringLiteral("NAME"), QStringLiteral("åsa STRÖM"), false));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String(kFillUntilFull))
        return fillUntilFull(args.at(2));
    TestDataFiles test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_datafiles.moc"
