#include "base/paths.h"
#include "base/single_instance.h"
#include "common/scripted_messages.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstring>
#include <spawn.h>
#include <thread>

using namespace os;

namespace {

const char kHoldLock[] = "--hold-lock";
const char kHoldLockAndSpawn[] = "--hold-lock-and-spawn";

// The child's part: take the lock, say so, and wait to be killed. With
// `spawn`, first start a program as a viewer or a mail server would be
// started (it inherits every descriptor not marked close-on-exec).
int holdLock(bool spawn)
{
    SingleInstance lock;
    if (!lock.tryAcquire())
        return 3;
    if (spawn) {
        pid_t child = 0;
        char sleepPath[] = "/bin/sleep";
        char seconds[] = "30";
        char* childArgs[] = {sleepPath, seconds, nullptr};
        if (posix_spawn(&child, sleepPath, nullptr, nullptr, childArgs, environ) != 0)
            return 4;
        std::printf("held %lld\n", static_cast<long long>(child));
    } else {
        std::fputs("held\n", stdout);
    }
    std::fflush(stdout);
    for (;;)
        std::this_thread::sleep_for(std::chrono::seconds(1));
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_lockDir;

    // Starts this test program as a lock holder and waits until it holds.
    bool startHolder(QProcess& p)
    {
        p.setProgram(QCoreApplication::applicationFilePath());
        p.setArguments({QString::fromLatin1(kHoldLock)});
        p.start();
        if (!p.waitForStarted(10000))
            return false;
        while (!p.canReadLine())
            if (!p.waitForReadyRead(10000))
                return false;
        return p.readLine() == "held\n";
    }

private slots:
    void init()
    {
        static int n = 0;
        m_lockDir = m_dir.filePath(QStringLiteral("run/user/%1").arg(++n)); // not there yet
        qputenv("ORDERSENTINEL_LOCK_DIR", QFile::encodeName(m_lockDir));
    }

    void messageText()
    {
        QCOMPARE(SingleInstance::AlreadyRunningMessage,
                 QStringLiteral(
                     "Ordersentinel is already running or the database repair utility is open!"));
    }

    void secondHolderIsRefusedUntilTheFirstEnds()
    {
        QCOMPARE(SingleInstance::lockFilePath(), m_lockDir + QStringLiteral("/ZR"));
        auto first = std::make_unique<SingleInstance>();
        QVERIFY(first->tryAcquire());
        QVERIFY(first->tryAcquire()); // holding already
        QVERIFY(QFile::exists(m_lockDir + QStringLiteral("/ZR")));

        // Another home changes nothing: the lock is the user's.
        AppPaths::setHome(m_dir.filePath(QStringLiteral("another-home")));
        SingleInstance second;
        QVERIFY(!second.tryAcquire());
        QCOMPARE(second.errorString(), QString());
        QVERIFY(!second.isHeld());

        // The refusal says exactly the one message, nothing more.
        {
            test::ScriptedMessages shown;
            SingleInstance refused;
            QVERIFY(!refused.acquireOrReport());
            QCOMPARE(shown.texts(), QStringList{SingleInstance::AlreadyRunningMessage});
        }

        first.reset();
        QVERIFY(second.tryAcquire());
        second.release();
        QVERIFY(!second.isHeld());
        SingleInstance third;
        QVERIFY(third.tryAcquire());
    }

    void killedHolderLeavesTheLockFree()
    {
        QProcess holder;
        QVERIFY(startHolder(holder));
        SingleInstance mine;
        QVERIFY(!mine.tryAcquire());
        QCOMPARE(mine.errorString(), QString());

        holder.kill(); // SIGKILL: no chance to clean up
        QVERIFY(holder.waitForFinished(10000));
        QCOMPARE(holder.exitStatus(), QProcess::CrashExit);
        QVERIFY(mine.tryAcquire());

        // And now the roles turn: a new holder is refused.
        QProcess late;
        late.setProgram(QCoreApplication::applicationFilePath());
        late.setArguments({QString::fromLatin1(kHoldLock)});
        late.start();
        QVERIFY(late.waitForFinished(10000));
        QCOMPARE(late.exitCode(), 3);
    }

    void programsWeStartDoNotInheritTheLock()
    {
        // The holder starts a long-running program, then is killed; that
        // program must not keep the lock alive.
        QProcess holder;
        holder.setProgram(QCoreApplication::applicationFilePath());
        holder.setArguments({QString::fromLatin1(kHoldLockAndSpawn)});
        holder.start();
        QVERIFY(holder.waitForStarted(10000));
        while (!holder.canReadLine())
            QVERIFY(holder.waitForReadyRead(10000));
        const QByteArray line = holder.readLine().trimmed();
        QVERIFY2(line.startsWith("held "), line.constData());
        const pid_t spawned = pid_t(line.mid(5).toLongLong());
        QVERIFY(spawned > 0);
        holder.kill();
        QVERIFY(holder.waitForFinished(10000));
        SingleInstance next;
        const bool acquired = next.tryAcquire();
        ::kill(spawned, SIGKILL);
        QVERIFY(acquired);
    }

    void unusableLockDirectoryIsAnError()
    {
        QFile blocker(m_dir.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        qputenv("ORDERSENTINEL_LOCK_DIR",
                QFile::encodeName(blocker.fileName() + QStringLiteral("/sub")));
        SingleInstance lock;
        QVERIFY(!lock.tryAcquire());
        QVERIFY(lock.errorString().startsWith(blocker.fileName() + QStringLiteral("/sub/ZR: ")));
    }
};

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], kHoldLock) == 0)
        return holdLock(false);
    if (argc > 1 && std::strcmp(argv[1], kHoldLockAndSpawn) == 0)
        return holdLock(true);
    QCoreApplication app(argc, argv);
    TestSingleInstance t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_single_instance.moc"
