// Start-up of the real executable: command line, the one-program rule.

#include "common/temp_home.h"

#include "base/single_instance.h"
#include "data/main_data_mod.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace os;

namespace {

const QString kProgram = QStringLiteral(OS_PROGRAM_EXE);

QProcessEnvironment programEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The lock directory is the suite's own (set by CTest), shared with the
    // programs started here.
    return env;
}

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run runProgram(const QStringList& args, const QByteArray& input = QByteArray(),
               const QString& lockDir = QString())
{
    QProcess p;
    QProcessEnvironment env = programEnvironment();
    if (!lockDir.isEmpty())
        env.insert(QStringLiteral("ORDERSENTINEL_LOCK_DIR"), lockDir);
    p.setProcessEnvironment(env);
    p.start(kProgram, args);
    Run r;
    if (!p.waitForStarted(10000))
        return r;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

// The process holding the program lock, from the kernel's lock table (0 when
// none). Looking, unlike trying the lock, can never make a starting program
// find it taken.
qint64 lockHolder(const QString& lockFile = SingleInstance::lockFilePath())
{
    struct stat st;
    if (::stat(QFile::encodeName(lockFile).constData(), &st) != 0)
        return 0;
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    const QString inode = QStringLiteral(":%1").arg(qulonglong(st.st_ino));
    for (const QString& line : QString::fromLatin1(locks.readAll()).split(QLatin1Char('\n'))) {
        const QStringList f = line.simplified().split(QLatin1Char(' '));
        // "1: FLOCK ADVISORY WRITE <pid> <maj>:<min>:<inode> 0 EOF"
        if (f.size() >= 6 && f.at(1) == QLatin1String("FLOCK") && f.at(5).endsWith(inode))
            return f.at(4).toLongLong();
    }
    return 0;
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(QFileInfo(kProgram).isExecutable());
        QVERIFY(!qEnvironmentVariableIsEmpty("ORDERSENTINEL_LOCK_DIR"));
        QDir().mkpath(qEnvironmentVariable("ORDERSENTINEL_LOCK_DIR"));
        QCOMPARE(lockHolder(), 0);
    }

    void helpPrintsUsage()
    {
        const Run r = runProgram({QStringLiteral("--help")});
        QCOMPARE(r.code, 0);
        // One mode per row of kModes, in their order.
        QVERIFY(r.out.startsWith(
            QStringLiteral("Usage: ordersentinel [--home DIR] [--session ACTION [--dry-run] "
                           "[--allow-example-values] | --import-reply FILE")));
        QVERIFY(r.out.section('\n', 0, 0).contains(QStringLiteral(" | --send-outbox")));
        QVERIFY(r.out.contains(QStringLiteral("--session ACTION")));
        QVERIFY(r.err.isEmpty());

        const Run v = runProgram({QStringLiteral("--version")});
        QCOMPARE(v.code, 0);
        QCOMPARE(v.out, QStringLiteral("ordersentinel 1.0.0.1\n"));
    }

    void badCommandLinesAreRefusedBeforeAnythingRuns()
    {
        Run r = runProgram({QStringLiteral("--bogus")});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.startsWith(QStringLiteral("ordersentinel: unknown argument: --bogus\n")));

        r = runProgram({QStringLiteral("--home")});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.startsWith(QStringLiteral("ordersentinel: --home needs a value\n")));

        r = runProgram({QStringLiteral("--session"), QStringLiteral("Poll Server"),
                        QStringLiteral("--import-reply"), QStringLiteral("x")});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.startsWith(QStringLiteral(
            "ordersentinel: --session and --import-reply cannot be used together\n")));

        QTemporaryDir tmp;
        const QString missing = tmp.path() + QStringLiteral("/nowhere");
        r = runProgram({QStringLiteral("--home"), missing, QStringLiteral("--session"),
                        QStringLiteral("Poll Server")});
        QCOMPARE(r.code, 2);
        QCOMPARE(r.err, QStringLiteral("ordersentinel: --home: no such directory: ") + missing +
                            QLatin1Char('\n'));
        QVERIFY(!QFileInfo::exists(missing));
    }

    void secondProgramIsRefusedWhileTheFirstRuns()
    {
        QTemporaryDir homeA;
        QTemporaryDir homeB;
        QVERIFY(QDir(homeA.path()).mkpath(QStringLiteral("data/html")));
        QVERIFY(QDir(homeB.path()).mkpath(QStringLiteral("data/html")));

        // The first program: the real window build, offscreen.
        QProcess first;
        first.setProcessEnvironment(programEnvironment());
        first.start(kProgram, {QStringLiteral("--home"), homeA.path()});
        QVERIFY(first.waitForStarted(10000));
        QTRY_COMPARE_WITH_TIMEOUT(lockHolder(), first.processId(), 60000);

        // A second one on another home, in either headless mode, is refused
        // with the message and touches nothing.
        const QString refused = QStringLiteral(
            "Error: Ordersentinel is already running or the database repair utility is open!\n");
        Run r = runProgram({QStringLiteral("--home"), homeB.path(), QStringLiteral("--session"),
                            QStringLiteral("Poll Server")},
                           "secret\n");
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, refused);
        QVERIFY(r.out.isEmpty());

        r = runProgram({QStringLiteral("--home"), homeB.path(), QStringLiteral("--import-reply"),
                        homeB.filePath(QStringLiteral("reply.txt"))});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, refused);

        QCOMPARE(QDir(homeB.filePath(QStringLiteral("data"))).entryList(QDir::Files),
                 QStringList());
        QCOMPARE(first.state(), QProcess::Running);

        // A killed program never leaves the lock held.
        first.kill();
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(lockHolder(), 0);
        SingleInstance again;
        QVERIFY(again.tryAcquire());
    }

    // A cron job without the desktop's runtime folder uses another per-user
    // lock folder; the lock on the home itself still keeps it out.
    void sameHomeWithAnotherLockFolderIsRefused()
    {
        QTemporaryDir home;
        QTemporaryDir desktopLocks;
        QTemporaryDir cronLocks;
        const QString data = home.filePath(QStringLiteral("data"));
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral("data/html")));
        TMainDataMod::CreateMissingTables(data);

        QProcess first;
        QProcessEnvironment env = programEnvironment();
        env.insert(QStringLiteral("ORDERSENTINEL_LOCK_DIR"), desktopLocks.path());
        first.setProcessEnvironment(env);
        first.start(kProgram, {QStringLiteral("--home"), home.path()});
        QVERIFY(first.waitForStarted(10000));
        const QString homeLock = HomeLock::lockFilePath(data);
        QTRY_COMPARE_WITH_TIMEOUT(lockHolder(homeLock), first.processId(), 60000);

        const QString refused = QStringLiteral(
            "Error: Ordersentinel is already running or the database repair utility is open!\n");
        Run r = runProgram({QStringLiteral("--home"), home.path(), QStringLiteral("--session"),
                            QStringLiteral("Get Orders & Information")},
                           "secret\n", cronLocks.path());
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, refused);
        QCOMPARE(r.out, QString());
        r = runProgram({QStringLiteral("--home"), home.path(), QStringLiteral("--import-reply"),
                        home.filePath(QStringLiteral("reply.txt"))},
                       QByteArray(), cronLocks.path());
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, refused);

        // The modes that only read take neither lock and run beside it.
        const QString dest = home.filePath(QStringLiteral("backups"));
        r = runProgram({QStringLiteral("--home"), home.path(), QStringLiteral("--backup"), dest},
                       QByteArray(), cronLocks.path());
        QCOMPARE(r.err, QString());
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QStringLiteral("Backup\tComplete: ") + dest));
        const QString exported = home.filePath(QStringLiteral("orders.csv"));
        r = runProgram(
            {QStringLiteral("--home"), home.path(), QStringLiteral("--export-orders"), exported},
            QByteArray(), cronLocks.path());
        QCOMPARE(r.code, 0);
        QVERIFY(QFileInfo::exists(exported));
        QCOMPARE(first.state(), QProcess::Running);

        first.kill();
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(lockHolder(homeLock), 0);
    }

    // A new shop on an empty folder: the program makes data/ and data/html/
    // (owner only) itself, then the databases, with nothing to do by hand.
    void emptyFolderJustWorks()
    {
        QTemporaryDir windowsHome;
        QProcess gui;
        gui.setProcessEnvironment(programEnvironment());
        gui.start(kProgram, {QStringLiteral("--home"), windowsHome.path()});
        QVERIFY(gui.waitForStarted(10000));
        const QString html = windowsHome.path() + QStringLiteral("/data/html");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(html).isDir(), 60000);
        // Up with its first-start notice, not ended by an error.
        QTRY_VERIFY_WITH_TIMEOUT(lockHolder() == gui.processId(), 60000);
        QCOMPARE(gui.state(), QProcess::Running);
        gui.terminate();
        QVERIFY(gui.waitForFinished(30000));
        for (const QString& dir : {windowsHome.path() + QStringLiteral("/data"), html})
            QCOMPARE(QFileInfo(dir).permissions() & 0x0077, QFileDevice::Permissions());
        QVERIFY(!QString::fromLocal8Bit(gui.readAllStandardError())
                     .contains(QStringLiteral("Cannot create")));

        // The same as a headless run: the notice, the tables, a clean end.
        QTemporaryDir home;
        const Run r =
            runProgram({QStringLiteral("--home"), home.path(), QStringLiteral("--send-outbox")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.err.section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("Ordersentinel must create databases to function, these "
                                "databases will be created in the background. This process may "
                                "take several minutes."));
        QVERIFY(!r.err.contains(QStringLiteral("Cannot create")));
        for (const char* table : {"customers.db", "orders.db", "outbox.db"})
            QVERIFY2(
                QFileInfo::exists(home.path() + QStringLiteral("/data/") + QLatin1String(table)),
                table);
        QVERIFY(QFileInfo(home.path() + QStringLiteral("/data/html")).isDir());
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
