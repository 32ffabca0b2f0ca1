// Store sessions against the real store simulator over HTTP and HTTPS.
#include "base/clock.h"
#include "base/main_services.h"
#include "base/paths.h"
#include "base/program_version.h"
#include "base/settings.h"
#include "common/scripted_messages.h"
#include "common/store_sim.h"
#include "common/temp_home.h"
#include "common/test_certs.h"
#include "data/main_data_mod.h"
#include "net/secure_http.h"
#include "sync/store_session.h"

#include <QDirIterator>
#include <QFile>
#include <QTest>

using namespace os;
using namespace os::test;

namespace {

const QDateTime kPinned(QDate(2024, 3, 5), QTime(14, 7, 9));

// The main window's side of a session, recorded.
class RecordingMain : public MainServices
{
public:
    void SetCommandsEnabled(bool enabled) override
    {
        calls << (enabled ? "commands on" : "commands off");
    }
    void CloseOtherChildWindows() override { calls << "close others"; }
    QStringList calls;
};

// The window's side of a session, recorded; answers the new-password
// question with `newPassword` (none: cancelled).
class RecordingHost : public SessionHost
{
public:
    void setSessionControlsEnabled(bool enabled) override
    {
        calls << (enabled ? "controls on" : "controls off");
    }
    void setTransferPanelVisible(bool visible) override
    {
        calls << (visible ? "panel shown" : "panel hidden");
    }
    void setTransferCount(qint64 bytes) override
    {
        if (bytes > maxCount)
            maxCount = bytes;
        lastCount = bytes;
    }
    std::optional<QString> askNewPassword() override
    {
        calls << "asked new password";
        return newPassword;
    }
    void passwordEmptied() override { calls << "password emptied"; }

    QStringList calls;
    qint64 maxCount = 0;
    qint64 lastCount = -1;
    std::optional<QString> newPassword;
};

QString stamp()
{
    return StoreSession::sessionTimeText(kPinned);
}

// Every row but the transfer client's progress and the server's name, which
// depend on the connection.
QStringList sessionRows(StoreSession& s)
{
    QStringList out;
    for (const auto& r : s.eventLog().rows())
        if (r.type != QLatin1String("Agent") && r.type != QLatin1String("Server"))
            out << r.type + QLatin1Char('|') + r.message;
    return out;
}

// The log row of an error the session showed: each line break one space,
// every other character (double spaces included) as shown.
QString errorRow(const QString& shown)
{
    QString text = shown;
    while (text.endsWith(QLatin1Char('\r')) || text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QStringLiteral("Error|") + text;
}

QStringList framed(const QStringList& inner)
{
    return QStringList{"Notice|Starting Session: " + stamp()} + inner +
           QStringList{"Notice|Session Complete: " + stamp()};
}

} // namespace

class TestStoreSession : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void sessionTimeText();
    void pollOverHttp();
    void pollOverHttps_data();
    void pollOverHttps();
    void lockStore();
    void unlockNotLocked();
    void unlockNeedsManualAction();
    void unlockWithPendingDataRunsRetrieval();
    void passInvalidAfterEachCommand_data();
    void passInvalidAfterEachCommand();
    void passwordWithSpaceAndAmpersand();
    void serverErrorEndsSession();
    void replyThatNeverComes();
    void unwritableWorkFile();
    void nonStoreReply();
    void changePassword();
    void changePasswordCancelled();
    void unknownActionRunsNothing();
    void passwordNeverWritten();

private:
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<ScriptedMessages> m_messages;
    std::unique_ptr<StoreSim> m_sim;
    RecordingMain m_main;
    RecordingHost m_host;
    std::unique_ptr<StoreSession> m_session;

    void startSession(const QString& url, const QString& password);
};

void TestStoreSession::init()
{
    m_home = std::make_unique<TempHome>();
    m_messages = std::make_unique<ScriptedMessages>();
    m_sim = std::make_unique<StoreSim>();
    QVERIFY2(m_sim->isRunning(), qPrintable(m_sim->errorString()));
    Clock::pin(kPinned);
    m_main.calls.clear();
    m_host = RecordingHost();
    settings() = Settings();
    settings().IGNORE_INVALID_CERT = false;
    startSession(m_sim->url(), m_sim->password());
}

void TestStoreSession::cleanup()
{
    m_session.reset();
    m_sim.reset();
    m_messages.reset();
    m_home.reset();
    Clock::pin(QDateTime());
}

void TestStoreSession::startSession(const QString& url, const QString& password)
{
    settings().VendixManagerURL = url;
    m_session = std::make_unique<StoreSession>(&m_main, &m_host);
    m_session->setPassword(password);
}

void TestStoreSession::sessionTimeText()
{
    // The tests run in the C locale: short date, then the time without a zone.
    QCOMPARE(StoreSession::sessionTimeText(kPinned), QStringLiteral("5 Mar 2024 14:07:09"));
}

void TestStoreSession::pollOverHttp()
{
    const QList<qint64> custIds =
        m_sim->addAccounts(QJsonArray{QJsonObject{{"EMAIL", "pat@example.com"}}});
    QCOMPARE(custIds.size(), 1);
    const QList<qint64> invs = m_sim->addOrders(
        QJsonArray{QJsonObject{{"CUSTID", custIds[0]}}, QJsonObject{{"CUSTID", custIds[0]}}});
    m_sim->addNote(invs[0], QString(), QStringLiteral("a note"));
    m_session->RunSession(StoreSession::PollServerAction);

    QCOMPARE(sessionRows(*m_session),
             framed({"Function|Connecting to Vendix Polling...", "Vendix|2 new orders waiting.",
                     "Vendix|1 account updates waiting.",
                     "Vendix|1 notes, 0 order marks and 0 status texts waiting.",
                     "Vendix|Site is not locked."}));
    QCOMPARE(m_messages->texts(), QStringList());
    QVERIFY(!m_session->lastSessionFailed());

    // The transfer client's progress is logged, without the texts the log drops.
    bool sawAgent = false;
    for (const auto& r : m_session->eventLog().rows()) {
        if (r.type == QLatin1String("Agent"))
            sawAgent = true;
        QVERIFY(!r.message.contains(QLatin1String("(100")) &&
                !r.message.startsWith(QLatin1String("Unknown state")));
    }
    QVERIFY(sawAgent);

    const StoreSim::Request request = m_sim->lastRequest();
    QCOMPARE(request.method, QStringLiteral("POST"));
    QCOMPARE(request.body, QByteArray("crypt_keeper=secret1&command=poll%5fserver"));
    QCOMPARE(request.header("User-Agent"),
             ("Vendix Ordersentinel Version " + programVersion()).toUtf8());
    QCOMPARE(request.header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));

    // The reply went to the work file in the program's own directory and to the buffer.
    QFile work(AppPaths::homeFile(QStringLiteral("~g3.tmp")));
    QVERIFY(work.open(QIODevice::ReadOnly));
    const QByteArray written = work.readAll();
    QCOMPARE(written, m_session->responseBuffer());
    QVERIFY(written.startsWith("VendixResponse:2 new orders waiting.::"));
    QCOMPARE(m_host.maxCount, qint64(written.size()));

    // Controls and the main window's commands were off during the session and are back.
    QCOMPARE(m_host.calls, (QStringList{"controls off", "controls on", "panel hidden"}));
    QCOMPARE(m_host.lastCount, qint64(0));
    QCOMPARE(m_main.calls, (QStringList{"commands off", "commands on"}));
}

void TestStoreSession::pollOverHttps_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("ignoreInvalid");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("valid") << "valid" << false << true;
    QTest::newRow("expired, option off") << "expired" << false << false;
    QTest::newRow("expired, option on") << "expired" << true << true;
    QTest::newRow("wrong name, option off") << "wrongName" << false << false;
    QTest::newRow("wrong name, option on") << "wrongName" << true << true;
    QTest::newRow("unknown authority, option on") << "unknownCa" << true << false;
}

void TestStoreSession::pollOverHttps()
{
    QFETCH(QString, kind);
    QFETCH(bool, ignoreInvalid);
    QFETCH(bool, accepted);

    TestCerts certs;
    QVERIFY2(certs.isValid(), qPrintable(certs.error()));
    const TestCerts::Pair pair = kind == QLatin1String("valid")       ? certs.valid()
                                 : kind == QLatin1String("expired")   ? certs.expired()
                                 : kind == QLatin1String("wrongName") ? certs.wrongName()
                                                                      : certs.unknownCa();
    StoreSim::Options options;
    options.certFile = pair.cert;
    options.keyFile = pair.key;
    StoreSim tls(options);
    QVERIFY2(tls.isRunning(), qPrintable(tls.errorString()));
    QVERIFY(tls.url().startsWith(QLatin1String("https://")));

    // The session takes the certificate option from the settings.
    settings().IGNORE_INVALID_CERT = ignoreInvalid;
    startSession(tls.url(), tls.password());
    m_session->http().setExtraCaFile(certs.caCert());
    m_session->RunSession(StoreSession::PollServerAction);

    if (accepted) {
        QCOMPARE(m_messages->texts(), QStringList());
        QCOMPARE(sessionRows(*m_session),
                 framed({"Function|Connecting to Vendix Polling...", "Vendix|0 new orders waiting.",
                         "Vendix|0 account updates waiting.",
                         "Vendix|0 notes, 0 order marks and 0 status texts waiting.",
                         "Vendix|Site is not locked."}));
        QVERIFY(!m_session->lastSessionFailed());
    } else {
        // The refusal's text is shown; nothing reached the log from the store.
        QCOMPARE(m_messages->shown().size(), 1);
        QCOMPARE(m_messages->shown().at(0).kind, MessageKind::Error);
        QVERIFY2(m_messages->texts().at(0).startsWith(QLatin1Char('[')),
                 qPrintable(m_messages->texts().at(0)));
        QCOMPARE(sessionRows(*m_session), framed({"Function|Connecting to Vendix Polling...",
                                                  errorRow(m_messages->texts().at(0))}));
        QVERIFY(m_session->lastSessionFailed());
        QCOMPARE(m_main.calls, (QStringList{"commands off", "commands on"}));
    }
}

void TestStoreSession::lockStore()
{
    m_session->RunSession(StoreSession::LockAction);
    QCOMPARE(sessionRows(*m_session),
             framed({"Function|Connecting to Vendix to create lock...", "Vendix|Site locked."}));
    QCOMPARE(m_sim->state().value(QStringLiteral("lock")).toString(), QStringLiteral("desktop"));
    QCOMPARE(m_sim->lastRequest().body, QByteArray("crypt%5fkeeper=secret1&command=lock%5fvendix"));
    QVERIFY(QFile::exists(AppPaths::homeFile(QStringLiteral("~g3.tmp"))));

    // The log starts afresh with every session.
    m_session->RunSession(StoreSession::LockAction);
    QCOMPARE(sessionRows(*m_session), framed({"Function|Connecting to Vendix to create lock...",
                                              "Vendix|Site was already locked."}));
    QCOMPARE(m_messages->texts(), QStringList());
}

void TestStoreSession::unlockNotLocked()
{
    m_session->RunSession(StoreSession::UnlockAction);
    QCOMPARE(sessionRows(*m_session), framed({"Function|Connecting to Vendix for unlock!",
                                              "Vendix|The site is not locked."}));
    QCOMPARE(m_messages->texts(), QStringList{"The site was not locked. You should only perform "
                                              "this action when Vendix tells you it is "
                                              "needed."});
    QCOMPARE(m_sim->commands(), QStringList{"emergency_unlock"});
    QCOMPARE(m_sim->lastRequest().body,
             QByteArray("crypt%5fkeeper=secret1&command=emergency%5funlock"));
    QVERIFY(QFile::exists(AppPaths::homeFile(QStringLiteral("~g1.tmp"))));
}

void TestStoreSession::unlockNeedsManualAction()
{
    m_sim->setLock(QStringLiteral("manual"));
    m_session->RunSession(StoreSession::UnlockAction);
    QCOMPARE(sessionRows(*m_session),
             framed({"Function|Connecting to Vendix for unlock!",
                     "Vendix|The store script could not remove its lock file.",
                     "Vendix|Delete the file vendix.lock in the store's data directory on the web "
                     "server, then poll "
                     "again."}));
    QCOMPARE(m_messages->texts(),
             QStringList{"An important message can be found in the event log."});
    QCOMPARE(m_sim->commands(), QStringList{"emergency_unlock"});
    QCOMPARE(m_sim->state().value(QStringLiteral("lock")).toString(), QStringLiteral("manual"));
}

void TestStoreSession::unlockWithPendingDataRunsRetrieval()
{
    // The retrieval works on the company database.
    TMainDataMod data;
    QVERIFY(data.OpenCompanyDatabase(m_home->dataDir()));
    m_sim->generateOrders(1);
    m_sim->setLock(QStringLiteral("retrieval"));
    m_sim->clearCommands();
    m_session->RunSession(StoreSession::UnlockAction);

    const QStringList rows = sessionRows(*m_session);
    QVERIFY(rows.size() >= 6);
    QCOMPARE(rows.mid(0, 5),
             (QStringList{"Notice|Starting Session: " + stamp(),
                          "Function|Connecting to Vendix for unlock!", "Vendix|Site unlocked.",
                          "Vendix|1 new orders are still waiting to be retrieved.",
                          "Vendix|Ordersentinel must now perform order retrieval!"}));
    QCOMPARE(rows.last(), "Notice|Session Complete: " + stamp());
    // The retrieval follows within the same session, starting with the data check.
    const QStringList commands = m_sim->commands();
    QVERIFY2(commands.size() >= 2, qPrintable(commands.join(',')));
    QCOMPARE(commands.at(0), QStringLiteral("emergency_unlock"));
    QCOMPARE(commands.at(1), QStringLiteral("check_data_integrity"));
    // The transfer panel stays hidden during the unlock's retrieval.
    QVERIFY(!m_host.calls.contains(QStringLiteral("panel shown")));
}

void TestStoreSession::passInvalidAfterEachCommand_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("message");
    const QString invalid = QStringLiteral("Invalid Password!");
    QTest::newRow("poll") << StoreSession::PollServerAction << "Connecting to Vendix Polling..."
                          << invalid;
    QTest::newRow("lock") << StoreSession::LockAction << "Connecting to Vendix to create lock..."
                          << invalid;
    QTest::newRow("unlock") << StoreSession::UnlockAction << "Connecting to Vendix for unlock!"
                            << invalid;
    QTest::newRow("change password")
        << StoreSession::ChangePasswordAction << "Connecting to Change Password...."
        << "Invalid Password!\r\rRemember that your password has not been changed yet. Enter your "
           "current password "
           "so that Ordersentinel can change it to the new one.";
}

void TestStoreSession::passInvalidAfterEachCommand()
{
    QFETCH(QString, action);
    QFETCH(QString, step);
    QFETCH(QString, message);
    m_sim->setLock(QStringLiteral("desktop"));
    m_host.newPassword = QStringLiteral("Other_pass2");
    m_session->setPassword(QStringLiteral("wrong1"));
    m_session->RunSession(action);

    // The failure is in the log too, before "Session Complete: ".
    QCOMPARE(sessionRows(*m_session),
             framed({"Function|" + step, "Vendix|Invalid password.", errorRow(message)}));
    QCOMPARE(m_messages->texts(), QStringList{message});
    QCOMPARE(m_messages->shown().at(0).kind, MessageKind::Error);
    QVERIFY(m_session->lastSessionFailed());
    // Nothing further was sent, and the store is as it was.
    QCOMPARE(m_sim->commands().size(), 1);
    QCOMPARE(m_sim->state().value(QStringLiteral("lock")).toString(), QStringLiteral("desktop"));
    QCOMPARE(m_sim->password(), QStringLiteral("secret1"));
}

void TestStoreSession::passwordWithSpaceAndAmpersand()
{
    m_sim->setPassword(QStringLiteral("my pass&word"));
    m_session->setPassword(QStringLiteral("my pass&word"));
    m_session->RunSession(StoreSession::PollServerAction);
    QCOMPARE(m_messages->texts(), QStringList());
    QCOMPARE(m_sim->lastRequest().body,
             QByteArray("crypt_keeper=my+pass%26word&command=poll%5fserver"));
    QCOMPARE(m_sim->lastRequest().field(QStringLiteral("crypt_keeper")),
             QStringLiteral("my pass&word"));
    QVERIFY(sessionRows(*m_session).contains(QStringLiteral("Vendix|Site is not locked.")));
}

void TestStoreSession::serverErrorEndsSession()
{
    m_sim->failWithStatus(500);
    m_session->RunSession(StoreSession::LockAction);
    QCOMPARE(m_messages->texts(), QStringList{"500 Internal Server Error"});
    QCOMPARE(sessionRows(*m_session), framed({"Function|Connecting to Vendix to create lock...",
                                              "Error|500 Internal Server Error"}));
    QVERIFY(m_session->lastSessionFailed());
    QCOMPARE(m_host.calls, (QStringList{"controls off", "controls on", "panel hidden"}));
    QCOMPARE(m_main.calls, (QStringList{"commands off", "commands on"}));
    QCOMPARE(m_sim->state().value(QStringLiteral("lock")).toString(), QStringLiteral("none"));

    // The next session works again with the same client.
    m_session->RunSession(StoreSession::LockAction);
    QCOMPARE(sessionRows(*m_session),
             framed({"Function|Connecting to Vendix to create lock...", "Vendix|Site locked."}));
    QVERIFY(!m_session->lastSessionFailed());
}

void TestStoreSession::replyThatNeverComes()
{
    m_sim->neverReply();
    m_session->http().setTimeoutSeconds(2);
    m_session->RunSession(StoreSession::PollServerAction);
    m_sim->clearFaults();
    QCOMPARE(m_messages->texts(), QStringList{"Interrupted."});
    QCOMPARE(sessionRows(*m_session),
             framed({"Function|Connecting to Vendix Polling...", "Error|Interrupted."}));
    QVERIFY(m_session->lastSessionFailed());
    QCOMPARE(m_main.calls, (QStringList{"commands off", "commands on"}));
}

void TestStoreSession::unwritableWorkFile()
{
    // A directory where the work file should go cannot be opened as a file.
    QVERIFY(QDir(m_home->home()).mkdir(QStringLiteral("~g3.tmp")));
    m_session->RunSession(StoreSession::PollServerAction);
    QCOMPARE(m_messages->texts(), QStringList{"Can't open local file for writing."});
    QCOMPARE(sessionRows(*m_session), framed({"Function|Connecting to Vendix Polling...",
                                              "Error|Can't open local file for writing."}));
    QVERIFY(m_session->lastSessionFailed());
}

void TestStoreSession::nonStoreReply()
{
    // An error page with status 200: no messages, an empty action; the lock
    // session shows nothing more.
    m_sim->replyNonStore();
    m_session->RunSession(StoreSession::LockAction);
    QCOMPARE(sessionRows(*m_session),
             framed({"Function|Connecting to Vendix to create lock...",
                     "Vendix|No response received from ordersentinel.cgi!"}));
    QCOMPARE(m_messages->texts(), QStringList());
    QVERIFY(!m_session->lastSessionFailed());
}

void TestStoreSession::changePassword()
{
    m_host.newPassword = QStringLiteral("Fresh_pass7");
    m_session->RunSession(StoreSession::ChangePasswordAction);
    QCOMPARE(m_messages->texts(), QStringList{"Your password has been changed!"});
    QCOMPARE(sessionRows(*m_session),
             framed({"Function|Connecting to Change Password....", "Vendix|Password changed."}));
    QCOMPARE(m_sim->lastRequest().body,
             QByteArray("crypt%5fkeeper=secret1&command=changepass&newpass=Fresh%5fpass7"));
    QCOMPARE(m_sim->password(), QStringLiteral("Fresh_pass7"));
    QCOMPARE(m_sim->state().value(QStringLiteral("password")).toString(),
             QStringLiteral("Fresh_pass7"));
    // The old password is forgotten; the window is told to empty its box.
    QCOMPARE(m_session->password(), QString());
    QCOMPARE(m_host.calls, (QStringList{"controls off", "asked new password", "password emptied",
                                        "controls on", "panel hidden"}));
}

void TestStoreSession::changePasswordCancelled()
{
    m_host.newPassword.reset();
    m_session->RunSession(StoreSession::ChangePasswordAction);
    QCOMPARE(sessionRows(*m_session), framed({}));
    QCOMPARE(m_sim->commands(), QStringList());
    QCOMPARE(m_messages->texts(), QStringList());
    QCOMPARE(m_session->password(), QStringLiteral("secret1"));
}

void TestStoreSession::unknownActionRunsNothing()
{
    m_session->RunSession(QStringLiteral("poll server")); // compared exactly
    QCOMPARE(sessionRows(*m_session), framed({}));
    QCOMPARE(m_sim->commands(), QStringList());
    QVERIFY(!m_session->lastSessionFailed());
}

void TestStoreSession::passwordNeverWritten()
{
    const QString password = QStringLiteral("Zq7_unmistakable_9");
    m_sim->setPassword(password);
    m_session->setPassword(password);
    m_session->RunSession(StoreSession::PollServerAction);
    m_session->RunSession(StoreSession::LockAction);
    m_session->RunSession(StoreSession::UnlockAction);
    m_session->setPassword(QStringLiteral("wrong_one"));
    m_session->RunSession(StoreSession::PollServerAction);
    QVERIFY(QFile::exists(AppPaths::homeFile(QStringLiteral("~g3.tmp"))));

    int files = 0;
    QDirIterator it(m_home->home(), QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray content = f.readAll();
        ++files;
        QVERIFY2(!content.contains(password.toUtf8()), qPrintable(f.fileName()));
        QVERIFY2(!content.contains(pollServerCommand(password).body), qPrintable(f.fileName()));
    }
    QVERIFY(files >= 2);
}

QTEST_GUILESS_MAIN(TestStoreSession)
#include "test_store_session.moc"
