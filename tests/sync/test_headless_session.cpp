// `ordersentinel --home DIR --session ACTION`: the real executable against
// the real store simulator, the password on standard input.
#include "base/settings.h"
#include "common/store_sim.h"
#include "common/temp_home.h"
#include "data/catalogue.h"
#include "data/main_data_mod.h"
#include "data/schema.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <sys/resource.h>

using namespace os;
using namespace os::test;

namespace {

struct Run
{
    int exitCode = -1;
    QStringList out; // stdout rows without the transfer client's progress
    QString err;
};

// `addressSpace`: the most memory the program may map (ulimit -v), 0 for no limit.
Run runSession(const QString& home, const QString& action, const QByteArray& input,
               rlim_t addressSpace = 0)
{
    QProcess p;
    if (addressSpace) {
        p.setChildProcessModifier([addressSpace] {
            const rlimit limit{addressSpace, addressSpace};
            ::setrlimit(RLIMIT_AS, &limit);
        });
    }
    p.start(QStringLiteral(OS_PROGRAM_EXE),
            {QStringLiteral("--home"), home, QStringLiteral("--session"), action});
    Run r;
    if (!p.waitForStarted(10000))
        return r;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(180000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.err = QString::fromUtf8(p.readAllStandardError());
    const QStringList lines =
        QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines)
        if (!line.startsWith(QLatin1String("Agent\t")) &&
            !line.startsWith(QLatin1String("Server\t")))
            r.out << line;
    return r;
}

} // namespace

class TestHeadlessSession : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void pollPrintsTheLog();
    void wrongPasswordFails();
    void serverErrorFails();
    void unknownActionListsTheActions();
    void missingPassword();
    void oldTableLayoutEndsBeforeTheStore();
    void storeTextsCannotDriveTheTerminal();
    void endlessReplyUnderAMemoryLimit();

private:
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<StoreSim> m_sim;
};

void TestHeadlessSession::init()
{
    m_home = std::make_unique<TempHome>();
    m_sim = std::make_unique<StoreSim>();
    QVERIFY2(m_sim->isRunning(), qPrintable(m_sim->errorString()));
    settings() = Settings();
    settings().VendixManagerURL = m_sim->url();
    QVERIFY(SaveSettings());
}

void TestHeadlessSession::cleanup()
{
    m_sim.reset();
    m_home.reset();
}

void TestHeadlessSession::pollPrintsTheLog()
{
    m_sim->addOrders(
        QJsonArray{QJsonObject{}, QJsonObject{}, QJsonObject{}}); // each with a new account
    const Run r = runSession(m_home->home(), QStringLiteral("Poll Server"), "secret1\n");
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(!r.err.contains(QLatin1String("Error")), qPrintable(r.err));
    QCOMPARE(r.out.size(), 8);
    // First how store dates and totals are read (the suites run under C.UTF-8).
    QCOMPARE(r.out.first(), QStringLiteral("Notice\tDates and totals are read in the regional "
                                           "format C: dates d MMM yyyy HH:mm:ss, decimal "
                                           "separator \".\"; ISO 8601 dates as well."));
    QVERIFY2(
        QRegularExpression(QStringLiteral("^Notice\tStarting Session: .+ \\d\\d:\\d\\d:\\d\\d$"))
            .match(r.out.at(1))
            .hasMatch(),
        qPrintable(r.out.at(1)));
    QCOMPARE(r.out.mid(2, 5),
             (QStringList{"Function\tConnecting to Vendix Polling...",
                          "Vendix\t3 new orders waiting.", "Vendix\t3 account updates waiting.",
                          "Vendix\t0 notes, 0 order marks and 0 status texts waiting.",
                          "Vendix\tSite is not locked."}));
    QVERIFY2(r.out.last().startsWith(QLatin1String("Notice\tSession Complete: ")),
             qPrintable(r.out.last()));
    QCOMPARE(m_sim->commands(), QStringList{"poll_server"});
}

void TestHeadlessSession::wrongPasswordFails()
{
    const Run r = runSession(m_home->home(), QStringLiteral("Lock Vendix"), "not-it\n");
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.split(QLatin1Char('\n')).contains(QStringLiteral("Error: Invalid Password!")),
             qPrintable(r.err));
    QVERIFY(r.out.contains(QStringLiteral("Vendix\tInvalid password.")));
    QCOMPARE(m_sim->state().value(QStringLiteral("lock")).toString(), QStringLiteral("none"));
}

void TestHeadlessSession::serverErrorFails()
{
    m_sim->failWithStatus(500);
    const Run r = runSession(m_home->home(), QStringLiteral("Poll Server"), "secret1\n");
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(
        r.err.split(QLatin1Char('\n')).contains(QStringLiteral("Error: 500 Internal Server Error")),
        qPrintable(r.err));
    QVERIFY(r.out.last().startsWith(QLatin1String("Notice\tSession Complete: ")));
}

void TestHeadlessSession::unknownActionListsTheActions()
{
    const Run r = runSession(m_home->home(), QStringLiteral("Poll"), "secret1\n");
    QCOMPARE(r.exitCode, 2);
    QCOMPARE(r.out, QStringList());
    const QStringList err = r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(err, (QStringList{"Unknown session action \"Poll\". The actions are:",
                               "  Get Orders & Information", "  Poll Server",
                               "  Publish Options & Configurations", "  Lock Vendix",
                               "  Unlock Vendix", "  Change Password"}));
    QCOMPARE(m_sim->commands(), QStringList());
}

void TestHeadlessSession::missingPassword()
{
    const Run r = runSession(m_home->home(), QStringLiteral("Poll Server"), "");
    QCOMPARE(r.exitCode, 2);
    QCOMPARE(r.err.trimmed(), QStringLiteral("No store password was given on standard input."));
    QCOMPARE(m_sim->commands(), QStringList());
}

void TestHeadlessSession::oldTableLayoutEndsBeforeTheStore()
{
    const QString dir = m_home->dataDir();
    TMainDataMod::CreateMissingTables(dir);
    QVERIFY(QFile::remove(dir + QStringLiteral("/orders.db")));
    TableDef old = *findTableDef(QStringLiteral("orders"));
    old.fields.insert(1, FieldDef{QStringLiteral("DATE"), FieldType::Date, 0});
    old.indexes.clear();
    createTable(dir, old);
    const Run r =
        runSession(m_home->home(), QStringLiteral("Get Orders & Information"), "secret1\n");
    QCOMPARE(r.exitCode, 1);
    const QStringList err = r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(err.filter(QStringLiteral("Error: ")),
             (QStringList{"Error: UPGRADE REQUIRED:",
                          "Error: It is STRONGLY recommended that you back up all files in:",
                          "Error: Ordersentinel will shut down now."}));
    QCOMPARE(err.last(), dir + QStringLiteral("/*.*"));
    QCOMPARE(m_sim->commands(), QStringList());
}

void TestHeadlessSession::storeTextsCannotDriveTheTerminal()
{
    // Clear the screen, retitle the window, a carriage return that would
    // overwrite the row, a C1 introducer (OSC: a byte the store's
    // Windows-1252 leaves unassigned, so it reads as the control itself).
    m_sim->rawReply("VendixResponse:\x1b[2J\x1b]0;owned\x07Hello\rVendix\tforged::\x9d"
                    "0;red\n"
                    "VendixAction:POLLED\n");
    const Run r = runSession(m_home->home(), QStringLiteral("Poll Server"), "secret1\n");
    QCOMPARE(r.exitCode, 0);
    // (The message line is trimmed, its first escape with it.)
    QVERIFY2(
        r.out.contains(QStringLiteral("Vendix\t[2J\\x1b]0;owned\\x07Hello\\x0dVendix\\x09forged")),
        qPrintable(r.out.join(QLatin1Char('\n'))));
    QVERIFY(r.out.contains(QStringLiteral("Vendix\t\\u009d0;red")));
    const QByteArray all = (r.out.join(QLatin1Char('\n')) + r.err).toUtf8();
    QVERIFY(!all.contains('\x1b') && !all.contains('\x07') && !all.contains('\r'));
}

QTEST_GUILESS_MAIN(TestHeadlessSession)
#include "test_headless_session.moc"

// A reply that never ends, with the program's memory limited as `ulimit -v`
// does: the session ends with its text and exit code 1, never a crash; the
// store is not told to clean up and nothing is kept or imported.
void TestHeadlessSession::endlessReplyUnderAMemoryLimit()
{
    TMainDataMod::CreateMissingTables(m_home->dataDir());
    m_sim->addOrders(QJsonArray{QJsonObject{}});
    m_sim->endlessReply(1, QStringLiteral("get_new_stuff"));
    const Run r = runSession(m_home->home(), QStringLiteral("Get Orders & Information"),
                             "secret1\n", rlim_t(768) << 20);
    const QString text = QStringLiteral("There is not enough memory to receive the store's reply; "
                                        "it was stopped. Nothing of it was kept or imported.");
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.err, QStringLiteral("Error: ") + text + QLatin1Char('\n'));
    QVERIFY(r.out.contains(QStringLiteral("Error\t") + text));
    QVERIFY2(r.out.last().startsWith(QLatin1String("Notice\tSession Complete: ")),
             qPrintable(r.out.last()));
    QCOMPARE(m_sim->commands(), (QStringList{"check_data_integrity", "get_new_stuff"}));
    QCOMPARE(QDir(m_home->path(QStringLiteral("retrievals"))).entryList(QDir::Files),
             QStringList());
    QCOMPARE(m_sim->state().value("pendingOrders").toInt(), 1);
}
