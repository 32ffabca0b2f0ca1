// `ordersentinel --home DIR --session ACTION`: the real executable against
// the real store simulator, the password on standard input.
#include "base/settings.h"
#include "common/store_sim.h"
#include "common/temp_home.h"
#include "data/catalogue.h"
#include "data/connection.h"
#include "data/main_data_mod.h"
#include "data/schema.h"
#include "data/statement.h"
#include "sync/retrieval.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>

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
    // Qt's own warning about the environment (no XDG_RUNTIME_DIR under some
    // CI runners) is no message of the program.
    const QStringList errLines =
        QString::fromUtf8(p.readAllStandardError()).split(QLatin1Char('\n'));
    for (const QString& line : errLines) {
        if (!line.startsWith(QLatin1String("QStandardPaths: ")))
            r.err += line + QLatin1Char('\n');
    }
    r.err.chop(1);
    const QStringList lines =
        QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines)
        if (!line.startsWith(QLatin1String("Agent\t")) &&
            !line.startsWith(QLatin1String("Server\t")))
            r.out << line;
    return r;
}

// The rows of a statement on one table file of `dir`, one value per row
// (the first column), as text.
QStringList rows(const QString& dir, const QString& table, const QString& sql)
{
    QStringList out;
    const std::shared_ptr<Connection> conn = Connection::forTable(dir, table);
    Statement st(*conn, sql);
    while (st.step())
        out << st.column(0).toString();
    return out;
}

// Process state letter from /proc/<pid>/stat ('T' when stopped).
char processState(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return '?';
    const QByteArray text = stat.readAll();
    const qsizetype at = text.lastIndexOf(')');
    return at >= 0 && at + 2 < text.size() ? text[at + 2] : '?';
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
    void killedAfterTheCleanUpImportsAtTheNextSession();
    void exampleStoreAddressIsRefusedAtOnce();
    void windowProgramImportsPendingRepliesAtStart();

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

// A retrieval killed for real after the store forgot its delivery: the next
// session imports the kept reply first, every record once, and says so.
void TestHeadlessSession::killedAfterTheCleanUpImportsAtTheNextSession()
{
    const QString dir = m_home->dataDir();
    TMainDataMod::CreateMissingTables(dir);
    const QList<qint64> invs = m_sim->addOrders(QJsonArray{
        QJsonObject{{"INVOICE", "<p>one</p>"}, {"NOTES", "ring twice"}},
        QJsonObject{{"INVOICE", "<p>two</p>"}}, QJsonObject{{"INVOICE", "<p>three</p>"}}});
    QCOMPARE(invs.size(), 3);
    m_sim->addNote(invs[0], QStringLiteral("2024-03-05"), QStringLiteral("left at the door"));
    m_sim->addMark(invs[1], QStringLiteral("Shipped"));
    m_sim->addStatus(invs[2], QStringLiteral("Paid in full"));

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORDERSENTINEL_TEST_HOLD"), QStringLiteral("after-clean-up"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(OS_PROGRAM_EXE),
            {QStringLiteral("--home"), m_home->home(), QStringLiteral("--session"),
             QStringLiteral("Get Orders & Information")});
    QVERIFY(p.waitForStarted(10000));
    p.write("secret1\n");
    p.closeWriteChannel();
    // It stops itself right after the clean-up was answered.
    QVERIFY(QTest::qWaitFor([&] { return processState(p.processId()) == 'T'; }, 120000));
    ::kill(pid_t(p.processId()), SIGKILL);
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitStatus(), QProcess::CrashExit);

    // The store has forgotten everything; nothing was imported.
    QCOMPARE(m_sim->commands(),
             (QStringList{"check_data_integrity", "get_new_stuff", "clean_up_invoice"}));
    QCOMPARE(m_sim->state().value("pendingOrders").toInt(), 0);
    QCOMPARE(rows(dir, QStringLiteral("orders"), QStringLiteral("SELECT INV FROM orders")),
             QStringList());
    const QStringList kept = QDir(m_home->path(QStringLiteral("retrievals")))
                                 .entryList({QStringLiteral("*.reply")}, QDir::Files);
    QCOMPARE(kept.size(), 1);
    const QString keptPath = m_home->path(QStringLiteral("retrievals/") + kept.first());
    QCOMPARE(pendingReplies(m_home->home()), QStringList{keptPath});

    // The next session brings it all in before it asks the store.
    m_sim->clearCommands();
    const Run next =
        runSession(m_home->home(), QStringLiteral("Get Orders & Information"), "secret1\n");
    QCOMPARE(next.exitCode, 0);
    QCOMPARE(next.err, QString());
    const QStringList expected{QStringLiteral("Notice\t") + pendingReplyText(keptPath),
                               QStringLiteral("Order\t%1 Data Record").arg(invs[0]),
                               QStringLiteral("Order\t%1 Data Record").arg(invs[1]),
                               QStringLiteral("Order\t%1 Data Record").arg(invs[2]),
                               QStringLiteral("Invoice\t%1 Printable Invoice").arg(invs[0]),
                               QStringLiteral("Invoice\t%1 Printable Invoice").arg(invs[1]),
                               QStringLiteral("Invoice\t%1 Printable Invoice").arg(invs[2])};
    const qsizetype first = next.out.indexOf(expected.first());
    QVERIFY2(first > 0, qPrintable(next.out.join(QLatin1Char('\n'))));
    QCOMPARE(next.out.mid(first, expected.size()), expected);
    QVERIFY(next.out.contains(QStringLiteral("Notice\t") + pendingReplyImportedText(keptPath)));
    QVERIFY(next.out.contains(QStringLiteral("Function\tConnecting to Vendix to check status.")));
    QVERIFY(next.out.indexOf(QStringLiteral("Notice\t") + pendingReplyImportedText(keptPath)) <
            next.out.indexOf(QStringLiteral("Function\tConnecting to Vendix to check status.")));
    QCOMPARE(pendingReplies(m_home->home()), QStringList());

    auto everything = [&] {
        return QStringList{
            rows(dir, QStringLiteral("orders"),
                 QStringLiteral("SELECT INV || ' ' || ORDERSTATE FROM orders ORDER BY INV"))
                .join(QLatin1Char(';')),
            rows(dir, QStringLiteral("customers"), QStringLiteral("SELECT COUNT(*) FROM customers"))
                .join(QLatin1Char(';')),
            rows(dir, QStringLiteral("invoice_notes"),
                 QStringLiteral("SELECT INVOICE || ' ' || NOTE FROM invoice_notes"))
                .join(QLatin1Char(';')),
            rows(dir, QStringLiteral("invoice_result"),
                 QStringLiteral("SELECT INVOICE || ' ' || INFSTRING FROM invoice_result"))
                .join(QLatin1Char(';'))};
    };
    const QStringList after = everything();
    QCOMPARE(after,
             (QStringList{
                 QStringLiteral("%1 New;%2 Shipped;%3 New").arg(invs[0]).arg(invs[1]).arg(invs[2]),
                 QStringLiteral("3"), QStringLiteral("%1 left at the door").arg(invs[0]),
                 QStringLiteral("%1 Paid in full").arg(invs[2])}));
    QCOMPARE(rows(dir, QStringLiteral("orders"),
                  QStringLiteral("SELECT NOTES FROM orders WHERE INV=%1").arg(invs[0])),
             QStringList{"ring twice"});
    for (int i = 0; i < 3; ++i) {
        QFile invoice(QStringLiteral("%1/html/%2inv.html").arg(dir).arg(invs[i]));
        QVERIFY(invoice.open(QIODevice::ReadOnly));
        QCOMPARE(invoice.readAll(), QByteArray(i == 0   ? "<p>one</p>\r\n"
                                               : i == 1 ? "<p>two</p>\r\n"
                                                        : "<p>three</p>\r\n"));
    }

    // Once: a third session finds nothing pending and changes nothing.
    const Run third =
        runSession(m_home->home(), QStringLiteral("Get Orders & Information"), "secret1\n");
    QCOMPARE(third.exitCode, 0);
    QVERIFY(third.out.filter(QStringLiteral("kept reply")).isEmpty());
    QCOMPARE(everything(), after);
}

// A home that still holds the example store address sends nothing anywhere.
void TestHeadlessSession::exampleStoreAddressIsRefusedAtOnce()
{
    TMainDataMod::CreateMissingTables(m_home->dataDir());
    settings().VendixManagerURL = Settings().VendixManagerURL;
    QVERIFY(SaveSettings());
    for (const char* action : {"Poll Server", "Get Orders & Information"}) {
        const Run r = runSession(m_home->home(), QString::fromLatin1(action), "secret1\n");
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QStringLiteral("Error: Set your store's address in Net Connection Settings "
                                       "first.\n"));
        QVERIFY(r.out.contains(
            QStringLiteral("Error\tSet your store's address in Net Connection Settings first.")));
        QVERIFY(r.out.filter(QStringLiteral("Function\t")).isEmpty());
    }
    QCOMPARE(m_sim->commands(), QStringList());
}

// The window program finishes a pending kept reply as it opens the company
// database, before the merchant works.
void TestHeadlessSession::windowProgramImportsPendingRepliesAtStart()
{
    const QString dir = m_home->dataDir();
    TMainDataMod::CreateMissingTables(dir);
    QStringList fields(33, QStringLiteral("x"));
    fields[0] = QStringLiteral("9100");
    fields[1] = QStringLiteral("5");
    fields[21] = QStringLiteral("2024-03-05 14:07:09");
    fields[22] = QStringLiteral("12.50");
    fields[23] = QStringLiteral("1");
    fields[32] = QStringLiteral("New");
    const QByteArray reply =
        "VendixResponse:1 new order\nVendixAction:DataSuccess\n"
        "STARTVendixResponse|Orders:\n" +
        fields.join(QLatin1Char('|')).toUtf8() +
        "\nENDVendixResponse|Orders:\n"
        "STARTVendixResponse|HTML:\nVendixBeginInvoice|9100<!--END--><p>9100</p>"
        "VendixEndInvoice|\nENDVendixResponse|HTML:\n";
    const QString kept = keepReply(reply, m_home->home());
    markReplyPending(kept);
    QCOMPARE(pendingReplies(m_home->home()), QStringList{kept});

    QProcess p;
    p.start(QStringLiteral(OS_PROGRAM_EXE), {QStringLiteral("--home"), m_home->home()});
    QVERIFY(p.waitForStarted(10000));
    const bool imported =
        QTest::qWaitFor([&] { return pendingReplies(m_home->home()).isEmpty(); }, 120000);
    p.kill();
    p.waitForFinished(30000);
    QVERIFY2(imported, p.readAllStandardError().constData());
    QCOMPARE(rows(dir, QStringLiteral("orders"), QStringLiteral("SELECT INV FROM orders")),
             QStringList{"9100"});
    QFile invoice(dir + QStringLiteral("/html/9100inv.html"));
    QVERIFY(invoice.open(QIODevice::ReadOnly));
    QCOMPARE(invoice.readAll(), QByteArray("<p>9100</p>\r\n"));
}
