// The outbox run, queuing, the letter merge and the mail password against
// a real aiosmtpd and real table files; the headless --send-outbox mode and
// a killed run through the real executable.

#include "base/clock.h"
#include "base/settings.h"
#include "common/scripted_messages.h"
#include "common/smtp_server.h"
#include "common/temp_home.h"
#include "common/test_certs.h"
#include "common/throws.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "mail/bulk_run.h"
#include "mail/mail_server.h"
#include "mail/mailing_list.h"
#include "mail/merge_letter.h"
#include "mail/outbox.h"
#include "net/smtp_client.h"
#include "orders/order_letter.h"

#include <QProcess>
#include <QSet>
#include <QtTest>

#include <memory>

using namespace os;
using namespace os::test;

namespace {

struct Row
{
    QString subject, to, type;
};

QList<Row> rows(const QString& dir, const QString& table)
{
    Table t(table);
    t.setDirectory(dir);
    t.open();
    QList<Row> out;
    for (t.first(); !t.eof(); t.next())
        out << Row{t.value("SUBJECT").toString(), t.value("TO").toString(),
                   t.value("TYPE").toString()};
    return out;
}

QStringList subjects(const QString& dir, const QString& table)
{
    QStringList out;
    for (const Row& r : rows(dir, table))
        out << r.subject;
    return out;
}

struct Run
{
    int exitCode = -1;
    QStringList out;
    QString err;
};

} // namespace

class TestOutbox : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void mergeLetter();
    void queueingKeepsTheCompletenessRule();
    void refusedMessageStopsTheRun();
    void connectionErrorMovesNothing();
    void stalledServerEndsTheRun();
    void filteredRunWithQuotes();
    void passwordWithoutKeyring();
    void headlessSendOutbox();
    void killedRunLosesNothing();
    void invalidAddressStaysWithItsReason();
    void storeSentAddressIsOneRecipient();
    void connectionErrorsSayWhy();
    void bulkRunEndsWhenThePasswordIsCancelled();

private:
    void queue(const QString& subject, const QString& to, const QString& type = QString());
    OutboxRun::Result sendAll(OutboxRun& run, const QString& filter = QString());
    Run headless(const QByteArray& input = QByteArray(), QProcess* keep = nullptr);
    QString dataDir() const { return m_home->dataDir(); }

    std::unique_ptr<TestCerts> m_certs;
    std::unique_ptr<SmtpServer> m_server;
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<ScriptedMessages> m_messages;
    std::unique_ptr<TMainDataMod> m_data;
};

void TestOutbox::initTestCase()
{
    // No keyring here, whatever the machine has: no session bus, no display.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    qunsetenv("DISPLAY");
    m_certs = std::make_unique<TestCerts>();
    QVERIFY2(m_certs->isValid(), qPrintable(m_certs->error()));
    // The client (here and in the executable) trusts the test authority.
    qputenv("ORDERSENTINEL_CA_FILE", m_certs->caCert().toLocal8Bit());
    m_server = std::make_unique<SmtpServer>(
        SmtpServer::Options{m_certs->valid().cert, m_certs->valid().key});
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
}

void TestOutbox::init()
{
    // Tests that run the whole cycle again call init() themselves.
    m_data.reset(); // the data module of the program is the first one alive
    m_messages.reset();
    m_home.reset();
    m_server->clear();
    m_home = std::make_unique<TempHome>();
    m_messages = std::make_unique<ScriptedMessages>();
    settings() = Settings();
    settings().SMTPServer = QStringLiteral("127.0.0.1");
    settings().SMTPPORT = m_server->port();
    settings().SMTPhello = QStringLiteral("desk.shop.test");
    QVERIFY(SaveSettings());
    m_data = std::make_unique<TMainDataMod>();
    QVERIFY(m_data->OpenCompanyDatabase(dataDir()));
    m_messages->clear(); // the creation notice
    resetMailPasswords();
    setMailPasswordPrompt(nullptr);
}

void TestOutbox::cleanup()
{
    m_data.reset();
    m_messages.reset();
    m_home.reset();
    Clock::pin(QDateTime());
}

void TestOutbox::queue(const QString& subject, const QString& to, const QString& type)
{
    QVERIFY(queueMessage({type, subject, to, QStringLiteral("\"Shop\" <info@shop.test>"),
                          QStringLiteral("Dear customer,\n\nabout ") + subject}));
}

OutboxRun::Result TestOutbox::sendAll(OutboxRun& run, const QString& filter)
{
    Table myOut(QStringLiteral("outbox"));
    myOut.setDirectory(dataDir());
    myOut.open();
    if (!filter.isEmpty()) {
        myOut.setFilter(filter);
        myOut.setFiltered(true);
    }
    return run.run(myOut, *m_data->SENDBOX);
}

void TestOutbox::mergeLetter()
{
    Table orders(QStringLiteral("orders"));
    orders.setDirectory(dataDir());
    orders.open();
    orders.insert();
    orders.setValue("INV", 1001);
    orders.setValue("CUSTID", 77);
    orders.setValue("NAME", QStringLiteral("%io_city%"));
    orders.setValue("CITY", QStringLiteral("Springfield"));
    orders.setValue("TOTAL", 1234.5);
    orders.setValue("METHOD", QStringLiteral("COD"));
    orders.setValue("IDATE", QDateTime(QDate(2025, 3, 4), QTime(9, 5, 7)));
    QVERIFY(orders.post());

    const QString body = QStringLiteral("Dear %IO_NAME%, order %invoice_number% of "
                                        "%io_order_date_time% for %order_total% by "
                                        "%Payment_Method% (%customer_id%)%io_coupon_code%.");
    // The city tag comes after the name tag: the name that is a tag shows the city.
    QCOMPARE(MergeLetter(body, orders, true),
             QStringLiteral("Dear Springfield, order 1001 of ") +
                 letterDateTime(QDateTime(QDate(2025, 3, 4), QTime(9, 5, 7))) +
                 QStringLiteral(" for 1,234.50 by COD (77)."));
    // A customer record: the order tags go.
    QCOMPARE(MergeLetter(body, orders, false),
             QStringLiteral("Dear Springfield, order  of  for  by  (77)."));
    QVERIFY(letterDateTime(QDateTime(QDate(2025, 3, 4), QTime(9, 5, 7))).contains("9:05:07"));

    // A name that is its own tag is inserted once, and the merge ends.
    orders.edit();
    orders.setValue("NAME", QStringLiteral("%io_name%"));
    QVERIFY(orders.post());
    QCOMPARE(MergeLetter(QStringLiteral("%io_name%/%io_NAME%"), orders, false),
             QStringLiteral("%io_name%/%io_name%"));
    QCOMPARE(MergeLetter(QString::fromLatin1(kShippingInfoTag), orders, true),
             QString::fromLatin1(kShippingInfoTag));
}

void TestOutbox::queueingKeepsTheCompletenessRule()
{
    Clock::pin(QDateTime(QDate(2025, 3, 4), QTime(9, 0)));
    QVERIFY(!m_data->OUTBOX->isOpen());
    QVERIFY(!queueMessage({QStringLiteral("SALES"), QStringLiteral("No recipient"), QString(),
                           QStringLiteral("info@shop.test"), QStringLiteral("text")}));
    QCOMPARE(m_messages->texts(),
             QStringList{"A message must contain a \"To\", \"From\" and \"Subject\" field, as well "
                         "as a \"Message Body\"."});
    QVERIFY(!m_data->OUTBOX->isOpen());
    queue(QStringLiteral("Hello"), QStringLiteral("pat@cust.test"), QStringLiteral("SALES"));
    Table out(QStringLiteral("outbox"));
    out.setDirectory(dataDir());
    out.open();
    QCOMPARE(out.recordCount(), 1);
    QCOMPARE(out.value("IDATE").toDateTime(), QDateTime(QDate(2025, 3, 4), QTime(9, 0)));
    QCOMPARE(out.value("TYPE").toString(), QStringLiteral("SALES"));
}

void TestOutbox::refusedMessageStopsTheRun()
{
    // Queued yesterday: the sent copy keeps that date.
    const QDateTime yesterday(QDate(2025, 3, 3), QTime(17, 30));
    Clock::pin(yesterday);
    queue(QStringLiteral("one"), QStringLiteral("a@cust.test"));
    queue(QStringLiteral("two"), QStringLiteral("gone@cust.test"));
    queue(QStringLiteral("three"), QStringLiteral("c@cust.test"));
    Clock::pin(QDateTime(QDate(2025, 3, 4), QTime(9, 0)));
    m_server->refuseRecipient(QStringLiteral("gone@cust.test"));

    OutboxRun run;
    QStringList trail;
    QList<int> progress;
    connect(&run, &OutboxRun::trail, this, [&](const QString& l) { trail << l; });
    connect(&run, &OutboxRun::started, this, [&](int total) { progress << -total; });
    connect(&run, &OutboxRun::advanced, this, [&](int sent, int) { progress << sent; });
    QCOMPARE(sendAll(run), OutboxRun::Result::SendFailed);

    QCOMPARE(m_messages->texts(),
             QStringList{"550 5.1.1 Recipient address rejected: User unknown"});
    QCOMPARE(subjects(dataDir(), "sentitems"), QStringList{"one"});
    QCOMPARE(subjects(dataDir(), "outbox"), (QStringList{"two", "three"}));
    QCOMPARE(progress, (QList<int>{-3, 1}));
    QVERIFY(trail.contains(QStringLiteral("RCPT TO:<gone@cust.test>")));
    QCOMPARE(trail.last(), QStringLiteral("221 Bye"));
    Table sent(QStringLiteral("sentitems"));
    sent.setDirectory(dataDir());
    sent.open();
    QCOMPARE(sent.value("IDATE").toDateTime(), yesterday);
    QCOMPARE(sent.value("TO").toString(), QStringLiteral("a@cust.test"));
    QCOMPARE(sent.value("FROM").toString(), QStringLiteral("\"Shop\" <info@shop.test>"));
    QCOMPARE(sent.value("BODY").toString(), QStringLiteral("Dear customer,\n\nabout one"));
    QVERIFY(!m_data->SENDBOX->isOpen());

    // The next run starts again with the failing message.
    m_server->clear();
    m_messages->clear();
    QCOMPARE(sendAll(run), OutboxRun::Result::Done);
    QCOMPARE(subjects(dataDir(), "sentitems"), (QStringList{"one", "two", "three"}));
    QVERIFY(subjects(dataDir(), "outbox").isEmpty());
    QCOMPARE(m_server->messages().size(), 2);
    QVERIFY(m_messages->texts().isEmpty());
}

void TestOutbox::connectionErrorMovesNothing()
{
    queue(QStringLiteral("one"), QStringLiteral("a@cust.test"));
    settings().SMTPPORT = 1; // nobody listens there
    OutboxRun run;
    QCOMPARE(sendAll(run), OutboxRun::Result::ConnectFailed);
    QCOMPARE(m_messages->texts(),
             QStringList{"Connection Error! Be sure you are signed on and your \"Net Connection "
                         "Settings\" are correct.\nCannot connect to the mail server 127.0.0.1:1: "
                         "Connection refused"});
    QCOMPARE(subjects(dataDir(), "outbox"), QStringList{"one"});
    QVERIFY(subjects(dataDir(), "sentitems").isEmpty());
}

void TestOutbox::stalledServerEndsTheRun()
{
    queue(QStringLiteral("one"), QStringLiteral("a@cust.test"));
    queue(QStringLiteral("two"), QStringLiteral("b@cust.test"));
    m_server->stall(QStringLiteral("DATA"), 1);
    OutboxRun run;
    run.client().setTimeoutSeconds(1);
    QCOMPARE(sendAll(run), OutboxRun::Result::SendFailed);
    QCOMPARE(m_messages->texts(), QStringList{"The mail server did not answer within 1 seconds."});
    QCOMPARE(subjects(dataDir(), "sentitems"), QStringList{"one"});
    QCOMPARE(subjects(dataDir(), "outbox"), QStringList{"two"});
}

void TestOutbox::filteredRunWithQuotes()
{
    // Filters are bound values: a quote in a type or an address is found.
    queue(QStringLiteral("a"), QStringLiteral("o'brien@cust.test"), QStringLiteral("SHIP'S"));
    queue(QStringLiteral("b"), QStringLiteral("x@cust.test"), QStringLiteral("SALES"));
    queue(QStringLiteral("c"), QStringLiteral("y@cust.test"), QStringLiteral("SHIP'S"));
    OutboxRun run;
    QCOMPARE(sendAll(run, filterEquals(QStringLiteral("TYPE"), QStringLiteral("SHIP'S"))),
             OutboxRun::Result::Done);
    QCOMPARE(subjects(dataDir(), "sentitems"), (QStringList{"a", "c"}));
    QCOMPARE(subjects(dataDir(), "outbox"), QStringList{"b"});
    QCOMPARE(m_server->messages().value(0).rcptTos, QStringList{"o'brien@cust.test"});

    Table sent(QStringLiteral("sentitems"));
    sent.setDirectory(dataDir());
    sent.open();
    sent.setFilter(filterEquals(QStringLiteral("TO"), QStringLiteral("o'brien@cust.test")));
    sent.setFiltered(true);
    QCOMPARE(sent.recordCount(), 1);
}

void TestOutbox::passwordWithoutKeyring()
{
    // A login over STARTTLS with "Remember password" on a desktop without a
    // keyring: the merchant is told once and asked at the first send of the
    // run only.
    m_server->requireLogin(QStringLiteral("shop"), QStringLiteral("right"));
    settings().SMTPSecurity = 1;
    settings().SMTPUser = QStringLiteral("shop");
    settings().SMTPRememberPassword = true;
    int asked = 0;
    QString prompt;
    std::optional<QString> answer = QStringLiteral("wrong");
    setMailPasswordPrompt([&](const QString& text) {
        ++asked;
        prompt = text;
        return answer;
    });
    const QString noKeyring =
        QStringLiteral("No keyring is available on this desktop, so the mail password cannot "
                       "be remembered. Ordersentinel will ask for it at each run.");
    const QString connectionError = QStringLiteral("Connection Error! Be sure you are signed on "
                                                   "and your \"Net Connection Settings\" are "
                                                   "correct.\nThe mail server refused the login: "
                                                   "535 5.7.8 Authentication credentials invalid");
    queue(QStringLiteral("one"), QStringLiteral("a@cust.test"));
    OutboxRun run;
    // A refused password: the connection error, and the password is forgotten.
    QCOMPARE(sendAll(run), OutboxRun::Result::ConnectFailed);
    QCOMPARE(asked, 1);
    QCOMPARE(prompt, QStringLiteral("Password of shop on the mail server 127.0.0.1:"));
    QCOMPARE(m_messages->texts(), (QStringList{noKeyring, connectionError}));
    m_messages->clear();
    answer = QStringLiteral("right");
    QCOMPARE(sendAll(run), OutboxRun::Result::Done);
    QCOMPARE(asked, 2);
    QVERIFY(m_messages->texts().isEmpty()); // told once a run
    QCOMPARE(m_server->messages().value(0).authUser, QStringLiteral("shop"));
    // Kept in memory for the rest of the run.
    queue(QStringLiteral("two"), QStringLiteral("b@cust.test"));
    QCOMPARE(sendAll(run), OutboxRun::Result::Done);
    QCOMPARE(asked, 2);
    QCOMPARE(m_server->messages().size(), 2);

    // Cancelling the question sends nothing and says nothing more.
    resetMailPasswords();
    m_messages->clear();
    answer.reset();
    queue(QStringLiteral("three"), QStringLiteral("c@cust.test"));
    QCOMPARE(sendAll(run), OutboxRun::Result::NoPassword);
    QCOMPARE(m_messages->texts(), QStringList{noKeyring});
    QCOMPARE(subjects(dataDir(), "outbox"), QStringList{"three"});
}

Run TestOutbox::headless(const QByteArray& input, QProcess* keep)
{
    QProcess own;
    QProcess& p = keep ? *keep : own;
    p.start(QStringLiteral(OS_PROGRAM_EXE),
            {QStringLiteral("--home"), m_home->home(), QStringLiteral("--send-outbox")});
    Run r;
    if (!p.waitForStarted(10000))
        return r;
    p.write(input);
    p.closeWriteChannel();
    if (keep)
        return r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.err = QString::fromUtf8(p.readAllStandardError());
    r.out = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    return r;
}

void TestOutbox::headlessSendOutbox()
{
    // Nothing queued: a clean exit with the empty-outbox text.
    Run r = headless();
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, QStringLiteral("You have no messages in your OutBox.\n"));
    QVERIFY(r.out.isEmpty());

    queue(QStringLiteral("one"), QStringLiteral("a@cust.test"));
    queue(QStringLiteral("two"), QStringLiteral("gone@cust.test"));
    queue(QStringLiteral("three"), QStringLiteral("c@cust.test"));
    m_data->CloseCompanyDatabase();

    m_server->refuseRecipient(QStringLiteral("gone@cust.test"));
    r = headless();
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.err, QStringLiteral("Error: 550 5.1.1 Recipient address rejected: User unknown\n"));
    QVERIFY(r.out.contains(QStringLiteral("Sent\tone to a@cust.test")));
    QVERIFY(r.out.contains(QStringLiteral("SMTP\tRCPT TO:<gone@cust.test>")));
    QCOMPARE(subjects(dataDir(), "outbox"), (QStringList{"two", "three"}));

    m_server->clear();
    r = headless();
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.out.filter(QRegularExpression("^Sent\t")),
             (QStringList{"Sent\ttwo to gone@cust.test", "Sent\tthree to c@cust.test"}));
    QVERIFY(subjects(dataDir(), "outbox").isEmpty());

    // A login with no password on standard input.
    QVERIFY(m_data->OpenCompanyDatabase(dataDir()));
    queue(QStringLiteral("four"), QStringLiteral("d@cust.test"));
    m_data->CloseCompanyDatabase();
    settings().SMTPUser = QStringLiteral("shop");
    QVERIFY(SaveSettings());
    r = headless();
    QCOMPARE(r.exitCode, 2);
    QCOMPARE(r.err, QStringLiteral("No mail password was given on standard input.\n"));
    QCOMPARE(subjects(dataDir(), "outbox"), QStringList{"four"});
}

void TestOutbox::killedRunLosesNothing()
{
    // The sending process is killed while the server holds it: at the DATA
    // of a message (not yet taken) and at the MAIL FROM of the next one (the
    // previous one posted and deleted). Then at wherever the kill lands.
    // Every message is in the outbox, in sent items or in both, never in
    // neither.
    const QStringList all{"m1", "m2", "m3", "m4"};
    struct Point
    {
        QString command;
        int after;
        QStringList sent; // in sent items afterwards (when the point is exact)
    };
    const QList<Point> points{
        {"DATA", 1, {"m1"}}, {"MAIL", 2, {"m1", "m2"}}, {"DATA", 3, {"m1", "m2", "m3"}}};
    for (const Point& point : points) {
        init();
        for (const QString& s : all)
            queue(s, s + QStringLiteral("@cust.test"));
        m_data->CloseCompanyDatabase();
        m_server->stall(point.command, point.after);
        QProcess p;
        headless(QByteArray(), &p);
        QVERIFY(m_server->waitForLogLine(QStringLiteral("STALLED ") + point.command));
        // The next envelope goes out before the last letter is put away: the
        // process waits on the server only once that is done.
        QTRY_COMPARE_WITH_TIMEOUT(subjects(dataDir(), "sentitems"), point.sent, 30000);
        p.kill();
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(subjects(dataDir(), "sentitems"), point.sent);
        QStringList queued = all;
        for (const QString& s : point.sent)
            queued.removeOne(s);
        QCOMPARE(subjects(dataDir(), "outbox"), queued);
        m_server->clear();
        cleanup();
    }

    // Kills at moments nobody chose: after the k-th message reached the server.
    for (int k = 1; k <= 4; ++k) {
        init();
        for (const QString& s : all)
            queue(s, s + QStringLiteral("@cust.test"));
        m_data->CloseCompanyDatabase();
        QProcess p;
        headless(QByteArray(), &p);
        while (m_server->log().count(QStringLiteral("DATA")) < k && p.state() == QProcess::Running)
            QTest::qWait(1);
        p.kill();
        p.waitForFinished(10000);
        const QStringList sentList = subjects(dataDir(), "sentitems");
        const QSet<QString> sent(sentList.begin(), sentList.end());
        const QStringList queuedList = subjects(dataDir(), "outbox");
        const QSet<QString> queued(queuedList.begin(), queuedList.end());
        for (const QString& s : all)
            QVERIFY2(sent.contains(s) || queued.contains(s), qPrintable(s + " is lost"));
        // Whatever the server took is in sent items or still queued (sent
        // again by the next run), never gone.
        for (const SmtpServer::Message& m : m_server->messages()) {
            const QString s = m.rcptTos.value(0).section('@', 0, 0);
            QVERIFY(sent.contains(s) || queued.contains(s));
        }
        m_server->clear();
        cleanup();
    }
    init();
}

void TestOutbox::invalidAddressStaysWithItsReason()
{
    // Store-sent addresses with a vertical tab, a form feed or a line
    // separator in them never reach the server; the others are sent.
    queue(QStringLiteral("m1"), QStringLiteral("a@cust.test"));
    queue(QStringLiteral("m2"), QStringLiteral("pat\x0b@cust.test"));
    queue(QStringLiteral("m3"), QStringLiteral("c@cust.test"));
    queue(QStringLiteral("m4"), QStringLiteral("sam\x0c@cust.test"));
    queue(QStringLiteral("m5"),
          QStringLiteral("lee") + QChar(0x2028) + QStringLiteral("@cust.test"));
    queue(QStringLiteral("m6"), QStringLiteral("f@cust.test"));
    const QString held =
        QStringLiteral("These messages stay in the outbox:\n"
                       "\"m2\": \"pat @cust.test\" is not a valid e-mail address.\n"
                       "\"m4\": \"sam @cust.test\" is not a valid e-mail address.\n"
                       "\"m5\": \"lee @cust.test\" is not a valid e-mail address.");
    OutboxRun run;
    QList<int> progress;
    connect(&run, &OutboxRun::advanced, this, [&](int done, int) { progress << done; });
    QCOMPARE(sendAll(run), OutboxRun::Result::SomeHeld);
    QCOMPARE(m_messages->texts(), QStringList{held});
    QCOMPARE(run.sent(), 3);
    QCOMPARE(progress, (QList<int>{1, 2, 3, 4, 5, 6}));
    QCOMPARE(subjects(dataDir(), "sentitems"), (QStringList{"m1", "m3", "m6"}));
    QCOMPARE(subjects(dataDir(), "outbox"), (QStringList{"m2", "m4", "m5"}));
    QStringList received;
    for (const SmtpServer::Message& m : m_server->messages())
        received << m.rcptTos;
    QCOMPARE(received, (QStringList{"a@cust.test", "c@cust.test", "f@cust.test"}));

    // The headless run: the same reasons, exit 1, nothing sent twice.
    queue(QStringLiteral("m7"), QStringLiteral("g@cust.test"));
    m_data->CloseCompanyDatabase();
    m_server->clear();
    const Run r = headless();
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.err, QStringLiteral("Error: These messages stay in the outbox:\n"
                                   "\"m2\": \"pat @cust.test\" is not a valid e-mail address.\n"
                                   "\"m4\": \"sam @cust.test\" is not a valid e-mail address.\n"
                                   "\"m5\": \"lee @cust.test\" is not a valid e-mail address.\n"));
    QVERIFY(r.out.contains(QStringLiteral("Sent\tm7 to g@cust.test")));
    QVERIFY(r.out.contains(QStringLiteral("Notice\t1 message sent")));
    QCOMPARE(subjects(dataDir(), "outbox"), (QStringList{"m2", "m4", "m5"}));
    QCOMPARE(m_server->messages().size(), 1);
}

void TestOutbox::storeSentAddressIsOneRecipient()
{
    // A letter made from the address the store sent goes to that address
    // only; a field with several addresses makes no letter.
    {
        Table t(QStringLiteral("form_letters"));
        t.setDirectory(dataDir());
        t.open();
        t.insert();
        t.setValue("DOCNAME", QStringLiteral("Thanks"));
        t.setValue("DOCBODY", QStringLiteral("Dear %io_name%, thank you for %invoice_number%."));
        t.setValue("FROM", QStringLiteral("info@shop.test"));
        QVERIFY(t.post());
    }
    Table orders(QStringLiteral("orders"));
    orders.setDirectory(dataDir());
    orders.open();
    orders.insert();
    orders.setValue("INV", 1002);
    orders.setValue("CUSTID", 7);
    orders.setValue("NAME", QStringLiteral("Pat"));
    orders.setValue("EMAIL", QStringLiteral("victim@example.com, attacker@evil.test"));
    QVERIFY(orders.post());
    QCOMPARE(queueOrderLetter(orders, QStringLiteral("Thanks"), OrderLetterKind::Complete),
             OrderLetterResult::Refused);
    QCOMPARE(m_messages->texts(),
             QStringList{"No letter was made: the e-mail address of order 1002 "
                         "(\"victim@example.com, attacker@evil.test\") is not exactly one "
                         "address."});
    QVERIFY(subjects(dataDir(), "outbox").isEmpty());

    m_messages->clear();
    orders.edit();
    orders.setValue("EMAIL", QStringLiteral("a@x.test;b@x.test"));
    QVERIFY(orders.post());
    QCOMPARE(queueOrderLetter(orders, QStringLiteral("Thanks"), OrderLetterKind::Complete),
             OrderLetterResult::Refused);
    QCOMPARE(m_messages->texts().size(), 1);

    m_messages->clear();
    orders.edit();
    orders.setValue("EMAIL", QStringLiteral(" \"Pat Doe\" <pat@cust.test> "));
    QVERIFY(orders.post());
    QCOMPARE(queueOrderLetter(orders, QStringLiteral("Thanks"), OrderLetterKind::Complete),
             OrderLetterResult::Queued);
    QVERIFY(m_messages->texts().isEmpty());
    QCOMPARE(rows(dataDir(), "outbox").value(0).to, QStringLiteral("\"Pat Doe\" <pat@cust.test>"));

    // The mailing-list merge: a customer with two addresses gets no letter
    // and is named; the others get theirs.
    Table customers(QStringLiteral("customers"));
    customers.setDirectory(dataDir());
    customers.open();
    const QList<std::pair<int, QString>> people{
        {11, QStringLiteral("one@cust.test")},
        {12, QStringLiteral("two@cust.test, evil@attacker.test")},
        {13, QStringLiteral("three@cust.test")}};
    for (const auto& [id, mail] : people) {
        customers.insert();
        customers.setValue("CUSTID", id);
        customers.setValue("EMAIL", mail);
        customers.setValue("SUBSCRIBE", true);
        QVERIFY(customers.post());
    }
    const MailingListMerge merged =
        mergeMailingList(customers, dataDir(), QStringLiteral("Thanks"), QStringLiteral("LIST"));
    QCOMPARE(merged.outcome, MailingListMerge::Outcome::Done);
    QCOMPARE(merged.letters, 2);
    QCOMPARE(merged.notOneAddress,
             QStringList{"No letter was made: the e-mail address of customer 12 "
                         "(\"two@cust.test, evil@attacker.test\") is not exactly one address."});
    QStringList to;
    for (const Row& r : rows(dataDir(), "outbox"))
        to << r.to;
    QCOMPARE(to, (QStringList{"\"Pat Doe\" <pat@cust.test>", "one@cust.test", "three@cust.test"}));
}

void TestOutbox::connectionErrorsSayWhy()
{
    // "Connection Error!" stays; the cause follows on the next line.
    queue(QStringLiteral("one"), QStringLiteral("a@cust.test"));
    const QString connectionError = QStringLiteral(
        "Connection Error! Be sure you are signed on and your \"Net Connection Settings\" are "
        "correct.\n");

    // A server without STARTTLS, when the settings ask for it.
    SmtpServer plain;
    QVERIFY2(plain.isRunning(), qPrintable(plain.errorString()));
    settings().SMTPPORT = plain.port();
    settings().SMTPSecurity = 1;
    OutboxRun run;
    QCOMPARE(sendAll(run), OutboxRun::Result::ConnectFailed);
    QCOMPARE(m_messages->texts(),
             QStringList{connectionError +
                         "The mail server does not offer STARTTLS. Choose another security in "
                         "the Net Connection Settings."});

    // A TLS handshake that fails: implicit TLS to a port that speaks plain SMTP.
    m_messages->clear();
    settings().SMTPPORT = m_server->port();
    settings().SMTPSecurity = 2;
    QCOMPARE(sendAll(run), OutboxRun::Result::ConnectFailed);
    QCOMPARE(m_messages->texts().size(), 1);
    const QString tls = m_messages->texts().value(0);
    QVERIFY2(tls.startsWith(connectionError + QStringLiteral("Cannot connect to the mail server "
                                                             "127.0.0.1:%1: ")
                                                  .arg(m_server->port())),
             qPrintable(tls));
    QCOMPARE(tls.count('\n'), 1);

    // A refused login.
    m_messages->clear();
    m_server->requireLogin(QStringLiteral("shop"), QStringLiteral("right"));
    settings().SMTPSecurity = 1;
    settings().SMTPUser = QStringLiteral("shop");
    setMailPasswordForRun(QStringLiteral("wrong"));
    QCOMPARE(sendAll(run), OutboxRun::Result::ConnectFailed);
    QCOMPARE(m_messages->texts(),
             QStringList{connectionError + "The mail server refused the login: 535 5.7.8 "
                                           "Authentication credentials invalid"});
    QCOMPARE(subjects(dataDir(), "outbox"), QStringList{"one"});
}

void TestOutbox::bulkRunEndsWhenThePasswordIsCancelled()
{
    // The login is refused at a reconnect during the run (the password was
    // changed meanwhile); the merchant cancels the question that follows:
    // the run ends there instead of asking again at every retry.
    m_server->requireLogin(QStringLiteral("shop"), QStringLiteral("right"));
    m_server->drop(QStringLiteral("RCPT"), 1, 1);
    settings().SMTPSecurity = 1;
    settings().SMTPUser = QStringLiteral("shop");
    setMailPasswordForRun(QStringLiteral("right"));
    int asked = 0;
    setMailPasswordPrompt([&](const QString&) -> std::optional<QString> {
        ++asked;
        return std::nullopt;
    });
    BulkRun run;
    QStringList refusedAddresses;
    connect(&run, &BulkRun::refused, this, [&](const QString& address, const QString&, int) {
        refusedAddresses << address;
        m_server->requireLogin(QStringLiteral("shop"), QStringLiteral("changed"));
    });
    QStringList list{"a@cust.test", "b@cust.test", "c@cust.test"};
    QCOMPARE(run.run(list, QStringLiteral("info@shop.test"), QStringLiteral("News"),
                     QStringLiteral("Hello")),
             BulkRun::Result::NoPassword);
    QCOMPARE(asked, 1);
    QCOMPARE(list, (QStringList{"b@cust.test", "c@cust.test"}));
    QCOMPARE(refusedAddresses, (QStringList{"b@cust.test", "b@cust.test"}));
    QCOMPARE(run.countsText(), QStringLiteral("1 message sent, 1 address refused."));
    QCOMPARE(m_server->messages().size(), 1);
}

QTEST_GUILESS_MAIN(TestOutbox)
#include "test_outbox.moc"
