// The SMTP client against a real aiosmtpd on loopback: what the server
// receives byte for byte, its refusals, a dropped and a stalled connection,
// STARTTLS, implicit TLS and a login with certificates made for this run.

#include "base/clock.h"
#include "common/smtp_server.h"
#include "common/test_certs.h"
#include "common/throws.h"
#include "net/mail_format.h"
#include "net/smtp_client.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

using namespace os;
using os::test::SmtpServer;
using os::test::TestCerts;

namespace {

// The message's header block and body, split at the first empty line.
struct Parts
{
    QList<QByteArray> headers;
    QByteArray body;
};

Parts split(const QByteArray& data)
{
    Parts p;
    const qsizetype end = data.indexOf("\r\n\r\n");
    p.headers = data.left(end).split('\n');
    for (QByteArray& h : p.headers)
        h = h.endsWith('\r') ? h.chopped(1) : h;
    p.body = data.mid(end + 4);
    return p;
}

QByteArray header(const Parts& p, const QByteArray& name)
{
    for (const QByteArray& h : p.headers) {
        if (h.startsWith(name + ": "))
            return h.mid(name.size() + 2);
    }
    return "<none>";
}

// RFC 2047 B words back to text.
QString decodeWords(const QByteArray& value)
{
    static const QRegularExpression word(QStringLiteral("=\\?UTF-8\\?B\\?([^?]*)\\?="));
    QByteArray bytes;
    auto it = word.globalMatch(QString::fromLatin1(value));
    while (it.hasNext())
        bytes += QByteArray::fromBase64(it.next().captured(1).toLatin1());
    return QString::fromUtf8(bytes);
}

QByteArray decodeQuotedPrintable(const QByteArray& text)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == '=' && i + 2 < text.size() && text.mid(i + 1, 2) == "\r\n") {
            i += 2; // soft break
        } else if (text.at(i) == '=' && i + 2 < text.size()) {
            out += char(text.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else {
            out += text.at(i);
        }
    }
    return out;
}

} // namespace

class TestSmtpClient : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void recipientsAndSender_data();
    void recipientsAndSender();
    void messageOnTheWire();
    void transparencyAndLineEnds();
    void headerInjection();
    void utf8WithAndWithout8BitMime();
    void missingSenderOrRecipient();
    void refusedRecipientCarriesTheReply();
    void severalMessagesOverOneConnection();
    void pipelinedEnvelope();
    void oneCommandAtATimeWithoutPipelining();
    void refusalsInAPipelinedEnvelope();
    void envelopeSentAhead();
    void endlessReplyLineIsCut();
    void slowAnswerToALargeMessage();
    void heloWhenEhloIsRefused();
    void droppedConnection();
    void stalledServerTimesOut();
    void startTlsAndLogin();
    void implicitTls();
    void wrongPasswordIsALoginRefusal();
    void serverWantsStartTls();
    void certificatePolicy();

private:
    std::unique_ptr<SmtpClient> client(quint16 port);

    std::unique_ptr<TestCerts> m_certs;
    std::unique_ptr<SmtpServer> m_server;
    QStringList m_trail;
};

void TestSmtpClient::initTestCase()
{
    m_certs = std::make_unique<TestCerts>();
    QVERIFY2(m_certs->isValid(), qPrintable(m_certs->error()));
    m_server = std::make_unique<SmtpServer>(
        SmtpServer::Options{m_certs->valid().cert, m_certs->valid().key});
    QVERIFY2(m_server->isRunning(), qPrintable(m_server->errorString()));
    Clock::pin(QDateTime(QDate(2025, 3, 4), QTime(9, 5, 7), Qt::OffsetFromUTC, 3600));
}

void TestSmtpClient::init()
{
    m_server->clear();
    m_trail.clear();
}

void TestSmtpClient::cleanupTestCase()
{
    Clock::pin(QDateTime());
}

std::unique_ptr<SmtpClient> TestSmtpClient::client(quint16 port)
{
    auto c = std::make_unique<SmtpClient>();
    c->setHost(QStringLiteral("127.0.0.1"));
    c->setPort(port);
    c->setHelloName(QStringLiteral("desk.shop.test"));
    c->setExtraCaFile(m_certs->caCert());
    QObject::connect(c.get(), &SmtpClient::trail, [this](const QString& l) { m_trail << l; });
    return c;
}

void TestSmtpClient::recipientsAndSender_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("addresses");
    QTest::newRow("plain") << "a@x.test" << QStringList{"a@x.test"};
    QTest::newRow("two") << "a@x.test, b@x.test" << QStringList{"a@x.test", "b@x.test"};
    QTest::newRow("comma in quotes") << "\"Smith, John\" <john@x.test>, mary@x.test"
                                     << QStringList{"john@x.test", "mary@x.test"};
    QTest::newRow("comment skipped") << "john@x.test (John, at home)" << QStringList{"john@x.test"};
    QTest::newRow("angle in quotes") << "\"a<b\" <c@x.test>" << QStringList{"c@x.test"};
    QTest::newRow("empty entries") << " , a@x.test ,, " << QStringList{"a@x.test"};
    QTest::newRow("nothing") << "   " << QStringList{};
}

void TestSmtpClient::recipientsAndSender()
{
    QFETCH(QString, text);
    QFETCH(QStringList, addresses);
    QCOMPARE(parseRecipients(text), addresses);
    // The sender: the part in angle brackets, else the whole text.
    QCOMPARE(senderAddress(QStringLiteral("\"Shop\" <info@shop.test>")),
             QStringLiteral("info@shop.test"));
    QCOMPARE(senderAddress(QStringLiteral(" info@shop.test ")), QStringLiteral("info@shop.test"));
}

void TestSmtpClient::messageOnTheWire()
{
    auto c = client(m_server->port());
    c->connectToServer();
    c->resetHeaders();
    c->setSubject(QStringLiteral("Your order"));
    c->addRecipient(QStringLiteral("\"Pat Doe\" <pat@cust.test>"));
    c->setSender(QStringLiteral("\"Acme Shop\" <info@shop.test>"));
    c->setBody(QStringLiteral("Dear Pat,\r\n\r\nThank you."));
    c->send();
    c->disconnectFromServer();

    const QList<SmtpServer::Message> got = m_server->messages();
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].mailFrom, QStringLiteral("info@shop.test"));
    QCOMPARE(got[0].rcptTos, QStringList{"pat@cust.test"});
    QCOMPARE(got[0].mailOptions, QStringList());
    const QByteArray id = split(got[0].data).headers.value(4);
    QVERIFY2(QRegularExpression(QStringLiteral("^Message-ID: <20250304080507\\.[0-9a-f]{16}"
                                               "@shop\\.test>$"))
                 .match(QString::fromLatin1(id))
                 .hasMatch(),
             id.constData());
    QCOMPARE(got[0].data, QByteArray("To: \"Pat Doe\" <pat@cust.test>\r\n"
                                     "From: \"Acme Shop\" <info@shop.test>\r\n"
                                     "Subject: Your order\r\n"
                                     "Date: Tue, 04 Mar 2025 09:05:07 +0100\r\n" +
                                     id +
                                     "\r\n"
                                     "MIME-Version: 1.0\r\n"
                                     "Content-Type: text/plain; charset=UTF-8\r\n"
                                     "Content-Transfer-Encoding: 7bit\r\n"
                                     "\r\n"
                                     "Dear Pat,\r\n"
                                     "\r\n"
                                     "Thank you.\r\n"));
    QCOMPARE(m_server->log(),
             (QStringList{"CONNECT", "EHLO desk.shop.test", "RSET", "MAIL FROM:<info@shop.test>",
                          "RCPT TO:<pat@cust.test>", "DATA", "QUIT"}));
    // The trail: status lines, every command and every reply line.
    QCOMPARE(m_trail.first(), QStringLiteral("Connecting to mail server."));
    QVERIFY(m_trail.contains(QStringLiteral("RCPT TO:<pat@cust.test>")));
    QVERIFY(m_trail.contains(QStringLiteral("250 2.0.0 Message accepted for delivery")));
    QVERIFY(m_trail.contains(QStringLiteral("250-aiosmtpd.test")));
}

void TestSmtpClient::transparencyAndLineEnds()
{
    auto c = client(m_server->port());
    c->connectToServer();
    c->setSubject(QStringLiteral("Dots"));
    c->addRecipient(QStringLiteral("pat@cust.test"));
    c->setSender(QStringLiteral("info@shop.test"));
    // Bare LF, bare CR and CR LF; lines that begin with a dot, and one that
    // is a dot alone (which would end the message early).
    c->setBody(QStringLiteral("one\n.two\r..three\r\n.\nlast"));
    c->send();
    c->setSubject(QStringLiteral("After"));
    c->setBody(QStringLiteral("still here"));
    c->send();
    c->disconnectFromServer();

    const QList<SmtpServer::Message> got = m_server->messages();
    QCOMPARE(got.size(), 2);
    QCOMPARE(split(got[0].data).body, QByteArray("one\r\n.two\r\n..three\r\n.\r\nlast\r\n"));
    QVERIFY(!got[0].data.contains("\r\r"));
    QCOMPARE(got[0].data.count("\n"), got[0].data.count("\r\n"));
    QCOMPARE(header(split(got[1].data), "Subject"), QByteArray("After"));
}

void TestSmtpClient::headerInjection()
{
    auto c = client(m_server->port());
    c->connectToServer();

    // A line break in the subject is folded into a space: no Bcc header, no
    // extra recipient.
    c->setSubject(QStringLiteral("Hello\r\nBcc: evil@attacker.test"));
    c->addRecipient(QStringLiteral("pat@cust.test"));
    c->setSender(QStringLiteral("\"Shop\r\nX-Evil: 1\" <info@shop.test>"));
    c->setBody(QStringLiteral("text"));
    c->send();

    // One in the recipient text leaves an address that is not one: refused
    // before RCPT.
    c->resetHeaders();
    c->setSubject(QStringLiteral("Second"));
    c->addRecipient(QStringLiteral("pat@cust.test\r\nBcc: evil@attacker.test"));
    c->setSender(QStringLiteral("info@shop.test"));
    c->setBody(QStringLiteral("text"));
    OS_VERIFY_THROWS(SmtpError, c->send(),
                     "\"pat@cust.test Bcc: evil@attacker.test\" is not a valid e-mail address.");
    c->disconnectFromServer();

    const QList<SmtpServer::Message> got = m_server->messages();
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0].rcptTos, QStringList{"pat@cust.test"});
    const Parts p = split(got[0].data);
    QCOMPARE(header(p, "Subject"), QByteArray("Hello Bcc: evil@attacker.test"));
    QCOMPARE(header(p, "From"), QByteArray("\"Shop X-Evil: 1\" <info@shop.test>"));
    QCOMPARE(header(p, "Bcc"), QByteArray("<none>"));
    QCOMPARE(header(p, "X-Evil"), QByteArray("<none>"));
    for (const QString& line : m_server->log())
        QVERIFY2(!line.contains(QStringLiteral("evil")), qPrintable(line));
}

void TestSmtpClient::utf8WithAndWithout8BitMime()
{
    const QString subject = QStringLiteral("Ihre Bestellung bei Müller & Söhne – danke! ✓");
    const QString body = QStringLiteral("Grüße aus Köln,\n€ 12,50 = zwölf Euro fünfzig.\n.ende");
    for (const bool eightBit : {true, false}) {
        m_server->clear();
        m_server->offer8BitMime(eightBit);
        auto c = client(m_server->port());
        c->connectToServer();
        c->setSubject(subject);
        c->addRecipient(QStringLiteral("\"Jürgen Groß\" <jg@cust.test>"));
        c->setSender(QStringLiteral("info@shop.test"));
        c->setBody(body);
        c->send();
        c->disconnectFromServer();

        const QList<SmtpServer::Message> got = m_server->messages();
        QCOMPARE(got.size(), 1);
        const Parts p = split(got[0].data);
        // Every header line is ASCII; the subject's encoded words fold.
        for (const QByteArray& h : p.headers) {
            for (const char ch : h)
                QVERIFY2(uchar(ch) < 128, h.constData());
            QVERIFY(h.size() <= 998);
        }
        QByteArray subjectValue;
        for (qsizetype i = 0; i < p.headers.size(); ++i) {
            if (p.headers[i].startsWith("Subject: ")) {
                subjectValue = p.headers[i].mid(9);
                while (i + 1 < p.headers.size() && p.headers[i + 1].startsWith(' '))
                    subjectValue += p.headers[++i];
            }
        }
        QCOMPARE(decodeWords(subjectValue), subject);
        QCOMPARE(decodeWords(header(p, "To")), QStringLiteral("Jürgen Groß"));
        QVERIFY(header(p, "To").endsWith(" <jg@cust.test>"));
        QCOMPARE(header(p, "Content-Type"), QByteArray("text/plain; charset=UTF-8"));
        const QByteArray expectedBody =
            "Grüße aus Köln,\r\n€ 12,50 = zwölf Euro fünfzig.\r\n.ende\r\n";
        if (eightBit) {
            QCOMPARE(got[0].mailOptions, QStringList{"BODY=8BITMIME"});
            QCOMPARE(header(p, "Content-Transfer-Encoding"), QByteArray("8bit"));
            QCOMPARE(p.body, expectedBody);
        } else {
            QCOMPARE(got[0].mailOptions, QStringList());
            QCOMPARE(header(p, "Content-Transfer-Encoding"), QByteArray("quoted-printable"));
            for (const char ch : p.body)
                QVERIFY(uchar(ch) < 128);
            QCOMPARE(decodeQuotedPrintable(p.body), expectedBody);
        }
    }
}

void TestSmtpClient::missingSenderOrRecipient()
{
    auto c = client(m_server->port());
    c->connectToServer();
    c->addRecipient(QStringLiteral("pat@cust.test"));
    c->setSender(QStringLiteral("  "));
    OS_VERIFY_THROWS(SmtpError, c->send(), "Please specify a sender (From).");
    c->resetHeaders();
    c->setSender(QStringLiteral("info@shop.test"));
    OS_VERIFY_THROWS(SmtpError, c->send(), "Please specify a recipient (To).");
    c->addRecipient(QString());
    OS_VERIFY_THROWS(SmtpError, c->send(), "Please specify a recipient (To).");
    QVERIFY(c->isConnected());
    c->disconnectFromServer();
    QVERIFY(!m_server->log().contains(QStringLiteral("RSET")));
}

void TestSmtpClient::refusedRecipientCarriesTheReply()
{
    m_server->refuseRecipient(QStringLiteral("gone@cust.test"));
    auto c = client(m_server->port());
    c->connectToServer();
    c->addRecipient(QStringLiteral("pat@cust.test, gone@cust.test"));
    c->setSender(QStringLiteral("info@shop.test"));
    c->setBody(QStringLiteral("x"));
    try {
        c->send();
        QFAIL("no error");
    } catch (const SmtpError& e) {
        QCOMPARE(e.code(), 550);
        QCOMPARE(e.text(), QStringLiteral("550 5.1.1 Recipient address rejected: User unknown"));
    }
    // The connection is still good for the next message, which first
    // resets the refused one's transaction.
    c->clearRecipients();
    c->addRecipient(QStringLiteral("pat@cust.test"));
    c->send();
    c->disconnectFromServer();
    QCOMPARE(m_server->messages().size(), 1);
    const QStringList log = m_server->log();
    QCOMPARE(log.count(QStringLiteral("RSET")), 2);
    QCOMPARE(log.at(log.lastIndexOf(QStringLiteral("RSET")) + 1),
             QStringLiteral("MAIL FROM:<info@shop.test>"));
}

void TestSmtpClient::severalMessagesOverOneConnection()
{
    auto c = client(m_server->port());
    c->connectToServer();
    for (int i = 0; i < 3; ++i) {
        c->resetHeaders();
        c->setSubject(QStringLiteral("n%1").arg(i));
        c->addRecipient(QStringLiteral("c%1@cust.test").arg(i));
        c->setSender(QStringLiteral("info@shop.test"));
        c->setBody(QStringLiteral("body %1").arg(i));
        c->send();
    }
    c->disconnectFromServer();
    const QStringList log = m_server->log();
    QCOMPARE(log.count(QStringLiteral("CONNECT")), 1);
    QCOMPARE(log.count(QStringLiteral("RSET")), 3); // every letter starts clean
    QCOMPARE(log.mid(1, 5),
             (QStringList{"EHLO desk.shop.test", "RSET", "MAIL FROM:<info@shop.test>",
                          "RCPT TO:<c0@cust.test>", "DATA"}));
    QCOMPARE(log.last(), QStringLiteral("QUIT"));
    QCOMPARE(m_server->messages().at(2).rcptTos, QStringList{"c2@cust.test"});
}

void TestSmtpClient::pipelinedEnvelope()
{
    // The server offers PIPELINING: RSET, MAIL FROM and every RCPT TO go out
    // together, their replies are read in order, DATA waits for them.
    auto c = client(m_server->port());
    c->connectToServer();
    QVERIFY(c->offers(QStringLiteral("PIPELINING")));
    c->addRecipient(QStringLiteral("pat@cust.test, sam@cust.test"));
    c->setSender(QStringLiteral("info@shop.test"));
    c->setBody(QStringLiteral("x"));
    m_trail.clear();
    c->send();
    QCOMPARE(m_trail.mid(0, 10),
             (QStringList{"RSET", "MAIL FROM:<info@shop.test>", "RCPT TO:<pat@cust.test>",
                          "RCPT TO:<sam@cust.test>", "250 OK", "250 OK", "250 OK", "250 OK", "DATA",
                          "354 End data with <CR><LF>.<CR><LF>"}));
    c->disconnectFromServer();
    QCOMPARE(m_server->messages().value(0).rcptTos,
             (QStringList{"pat@cust.test", "sam@cust.test"}));
}

void TestSmtpClient::oneCommandAtATimeWithoutPipelining()
{
    m_server->offerPipelining(false);
    auto c = client(m_server->port());
    c->connectToServer();
    QVERIFY(!c->offers(QStringLiteral("PIPELINING")));
    c->addRecipient(QStringLiteral("pat@cust.test"));
    c->setSender(QStringLiteral("info@shop.test"));
    c->setBody(QStringLiteral("x"));
    m_trail.clear();
    c->send();
    QCOMPARE(m_trail.mid(0, 8), (QStringList{"RSET", "250 OK", "MAIL FROM:<info@shop.test>",
                                             "250 OK", "RCPT TO:<pat@cust.test>", "250 OK", "DATA",
                                             "354 End data with <CR><LF>.<CR><LF>"}));
    c->disconnectFromServer();
    QCOMPARE(m_server->messages().size(), 1);
}

void TestSmtpClient::refusalsInAPipelinedEnvelope()
{
    // A refused sender: every reply of the batch is still read, so the next
    // letter's replies are its own.
    m_server->refuse(QStringLiteral("MAIL"), QStringLiteral("553 5.1.8 Sender refused"), 0, 1);
    auto c = client(m_server->port());
    c->connectToServer();
    c->addRecipient(QStringLiteral("pat@cust.test"));
    c->setSender(QStringLiteral("info@shop.test"));
    c->setBody(QStringLiteral("x"));
    try {
        c->send();
        QFAIL("no error");
    } catch (const SmtpError& e) {
        QCOMPARE(e.code(), 553);
        QCOMPARE(e.text(), QStringLiteral("553 5.1.8 Sender refused"));
    }
    QVERIFY(!m_server->log().contains(QStringLiteral("DATA")));
    c->send();
    c->disconnectFromServer();
    QCOMPARE(m_server->messages().size(), 1);
    QCOMPARE(m_server->log().count(QStringLiteral("RSET")), 2);
}

void TestSmtpClient::envelopeSentAhead()
{
    // The outbox run sends the next letter's envelope before it puts the
    // last one away; send() then reads its replies instead of sending it
    // again. An envelope that went ahead for another letter is read and
    // reset.
    auto c = client(m_server->port());
    c->connectToServer();
    auto setUp = [&](const QString& to) {
        c->resetHeaders();
        c->addRecipient(to);
        c->setSender(QStringLiteral("info@shop.test"));
        c->setBody(QStringLiteral("x"));
    };
    setUp(QStringLiteral("one@cust.test"));
    QVERIFY(c->sendEnvelopeAhead());
    QVERIFY(!c->sendEnvelopeAhead()); // one at a time
    setUp(QStringLiteral("one@cust.test"));
    c->send();
    setUp(QStringLiteral("two@cust.test"));
    QVERIFY(c->sendEnvelopeAhead());
    setUp(QStringLiteral("three@cust.test"));
    c->send();
    // A letter the client refuses sends nothing ahead.
    setUp(QStringLiteral("bad address@cust.test"));
    QVERIFY(!c->sendEnvelopeAhead());
    c->disconnectFromServer();
    QStringList received;
    for (const SmtpServer::Message& m : m_server->messages())
        received << m.rcptTos;
    QCOMPARE(received, (QStringList{"one@cust.test", "three@cust.test"}));
    QCOMPARE(
        m_server->log().mid(2),
        (QStringList{"RSET", "MAIL FROM:<info@shop.test>", "RCPT TO:<one@cust.test>", "DATA",
                     "RSET", "MAIL FROM:<info@shop.test>", "RCPT TO:<two@cust.test>", "RSET",
                     "MAIL FROM:<info@shop.test>", "RCPT TO:<three@cust.test>", "DATA", "QUIT"}));

    m_server->clear();
    m_server->offerPipelining(false);
    c->connectToServer();
    setUp(QStringLiteral("one@cust.test"));
    QVERIFY(!c->sendEnvelopeAhead());
    c->disconnectFromServer();
    QCOMPARE(m_server->log(), (QStringList{"CONNECT", "EHLO desk.shop.test", "QUIT"}));
}

void TestSmtpClient::endlessReplyLineIsCut()
{
    // A server that answers with one line of megabytes: the client keeps at
    // most a line's cap and ends the connection with a message.
    m_server->flood(QStringLiteral("DATA"));
    auto c = client(m_server->port());
    c->connectToServer();
    c->addRecipient(QStringLiteral("pat@cust.test"));
    c->setSender(QStringLiteral("info@shop.test"));
    c->setBody(QStringLiteral("x"));
    QElapsedTimer timer;
    timer.start();
    try {
        c->send();
        QFAIL("no error");
    } catch (const SmtpError& e) {
        QCOMPARE(e.code(), int(SmtpClient::BadReply));
        QCOMPARE(e.text(), QStringLiteral("The mail server sent a reply line longer than 64 KiB; "
                                          "the connection was closed."));
    }
    QVERIFY2(timer.elapsed() < 30000, "cut only at the time-out");
    QVERIFY(!c->isConnected());
    QVERIFY(m_server->log().contains(QStringLiteral("FLOODED DATA")));
}

void TestSmtpClient::slowAnswerToALargeMessage()
{
    // The answer after the body may take longer than the time-out of a
    // command when the letter is large: the wait grows with its size.
    m_server->delay(QStringLiteral("DATA"), 5.0);
    auto c = client(m_server->port());
    c->setTimeoutSeconds(2);
    c->connectToServer();
    c->addRecipient(QStringLiteral("pat@cust.test"));
    c->setSender(QStringLiteral("info@shop.test"));
    QStringList lines;
    for (int i = 0; i < 4000; ++i)
        lines << QStringLiteral("Line %1 of a long catalogue letter, with some words.").arg(i);
    c->setBodyLines(lines); // about 220 KB
    c->send();
    QCOMPARE(m_server->messages().size(), 1);
    QCOMPARE(c->timeoutSeconds(), 2); // only the wait after the body grew

    // A short letter keeps the command's time-out.
    c->setBodyLines({QStringLiteral("short")});
    OS_VERIFY_THROWS(SmtpError, c->send(), "The mail server did not answer within 2 seconds.");

    // At least ten minutes from 1 MiB on, whatever the command time-out.
    QCOMPARE(SmtpClient::dataReplyTimeoutSeconds(1024 * 1024, 60), 600);
    QCOMPARE(SmtpClient::dataReplyTimeoutSeconds(4 * 1024 * 1024, 60), 60 + 2048);
}

void TestSmtpClient::heloWhenEhloIsRefused()
{
    m_server->offerEhlo(false);
    auto c = client(m_server->port());
    c->connectToServer();
    c->addRecipient(QStringLiteral("pat@cust.test"));
    c->setSender(QStringLiteral("info@shop.test"));
    c->setBody(QStringLiteral("Grüße")); // no 8BITMIME without EHLO
    c->send();
    c->disconnectFromServer();
    QVERIFY(m_server->log().contains(QStringLiteral("HELO desk.shop.test")));
    const Parts p = split(m_server->messages().value(0).data);
    QCOMPARE(header(p, "Content-Transfer-Encoding"), QByteArray("quoted-printable"));
}

void TestSmtpClient::droppedConnection()
{
    m_server->drop(QStringLiteral("DATA"));
    auto c = client(m_server->port());
    c->connectToServer();
    c->addRecipient(QStringLiteral("pat@cust.test"));
    c->setSender(QStringLiteral("info@shop.test"));
    c->setBody(QStringLiteral("x"));
    try {
        c->send();
        QFAIL("no error");
    } catch (const SmtpError& e) {
        QCOMPARE(e.code(), int(SmtpClient::ConnectionLost));
        QVERIFY2(
            e.text().startsWith(QStringLiteral("The connection to the mail server was lost: ")),
            qPrintable(e.text()));
    }
    QVERIFY(!c->isConnected());
    c->disconnectFromServer(); // nothing to do, no throw

    // A server that is not there at all.
    auto gone = client(1);
    try {
        gone->connectToServer();
        QFAIL("no error");
    } catch (const SmtpError& e) {
        QVERIFY2(e.text().startsWith(QStringLiteral("Cannot connect to the mail server "
                                                    "127.0.0.1:1: ")),
                 qPrintable(e.text()));
    }
}

void TestSmtpClient::stalledServerTimesOut()
{
    // A server that stops answering in the middle of a message, and one that
    // never greets. The client gives up after its time-out (shortened here;
    // 60 s by default).
    QCOMPARE(SmtpClient().timeoutSeconds(), 60);
    m_server->stall(QStringLiteral("DATA"));
    auto c = client(m_server->port());
    c->setTimeoutSeconds(1);
    c->connectToServer();
    c->addRecipient(QStringLiteral("pat@cust.test"));
    c->setSender(QStringLiteral("info@shop.test"));
    c->setBody(QStringLiteral("x"));
    OS_VERIFY_THROWS(SmtpError, c->send(), "The mail server did not answer within 1 seconds.");
    QVERIFY(!c->isConnected());

    m_server->clear();
    m_server->stall(QStringLiteral("GREETING"));
    OS_VERIFY_THROWS(SmtpError, c->connectToServer(),
                     "The mail server did not answer within 1 seconds.");
}

void TestSmtpClient::startTlsAndLogin()
{
    m_server->requireStartTls();
    m_server->requireLogin(QStringLiteral("shop"), QStringLiteral("pässwörd"));
    auto c = client(m_server->port());
    c->setSecurity(SmtpSecurity::StartTls);
    c->setUserName(QStringLiteral("shop"));
    c->setPassword(QStringLiteral("pässwörd"));
    c->connectToServer();
    c->addRecipient(QStringLiteral("pat@cust.test"));
    c->setSender(QStringLiteral("info@shop.test"));
    c->setBody(QStringLiteral("secret"));
    c->send();
    c->disconnectFromServer();
    const QList<SmtpServer::Message> got = m_server->messages();
    QCOMPARE(got.size(), 1);
    QVERIFY(got[0].tls);
    QCOMPARE(got[0].authUser, QStringLiteral("shop"));
    QVERIFY(m_server->log().contains(QStringLiteral("EHLO desk.shop.test (TLS)")));
    // The password never shows in the trail.
    QVERIFY(m_trail.contains(QStringLiteral("AUTH PLAIN ********")));
    const QByteArray token = QByteArray("\0shop\0pässwörd", 15).toBase64();
    for (const QString& line : std::as_const(m_trail))
        QVERIFY(!line.contains(QString::fromLatin1(token)) && !line.contains("pässwörd"));
}

void TestSmtpClient::implicitTls()
{
    auto c = client(m_server->tlsPort());
    c->setSecurity(SmtpSecurity::Tls);
    c->connectToServer();
    c->addRecipient(QStringLiteral("pat@cust.test"));
    c->setSender(QStringLiteral("info@shop.test"));
    c->setBody(QStringLiteral("x"));
    c->send();
    c->disconnectFromServer();
    QVERIFY(m_server->messages().value(0).tls);
    QCOMPARE(m_server->log().first(), QStringLiteral("CONNECT TLS"));
}

void TestSmtpClient::wrongPasswordIsALoginRefusal()
{
    m_server->requireLogin(QStringLiteral("shop"), QStringLiteral("right"));
    auto c = client(m_server->port());
    c->setSecurity(SmtpSecurity::StartTls);
    c->setUserName(QStringLiteral("shop"));
    c->setPassword(QStringLiteral("wrong"));
    try {
        c->connectToServer();
        QFAIL("no error");
    } catch (const SmtpError& e) {
        QVERIFY2(e.loginRefused(), qPrintable(e.text()));
        QCOMPARE(e.code(), 535);
        QCOMPARE(e.text(), QStringLiteral("535 5.7.8 Authentication credentials invalid"));
    }
    QVERIFY(!c->isConnected());

    // No password over a plain connection, whatever the server says.
    auto plain = client(m_server->port());
    plain->setUserName(QStringLiteral("shop"));
    plain->setPassword(QStringLiteral("right"));
    try {
        plain->connectToServer();
        QFAIL("no error");
    } catch (const SmtpError& e) {
        QCOMPARE(e.code(), int(SmtpClient::Unsupported));
        QVERIFY(!e.loginRefused());
    }
}

void TestSmtpClient::serverWantsStartTls()
{
    // Without STARTTLS the server's refusal is the error text.
    m_server->requireStartTls();
    auto c = client(m_server->port());
    c->connectToServer();
    c->addRecipient(QStringLiteral("pat@cust.test"));
    c->setSender(QStringLiteral("info@shop.test"));
    c->setBody(QStringLiteral("x"));
    OS_VERIFY_THROWS(SmtpError, c->send(), "530 Must issue a STARTTLS command first");
    c->disconnectFromServer();
}

void TestSmtpClient::certificatePolicy()
{
    // A certificate for another name: refused, unless invalid certificates
    // are ignored. One of an unknown authority: refused either way.
    SmtpServer wrongName(SmtpServer::Options{m_certs->wrongName().cert, m_certs->wrongName().key});
    SmtpServer unknown(SmtpServer::Options{m_certs->unknownCa().cert, m_certs->unknownCa().key});
    SmtpServer expired(SmtpServer::Options{m_certs->expired().cert, m_certs->expired().key});
    QVERIFY(wrongName.isRunning() && unknown.isRunning() && expired.isRunning());

    struct Case
    {
        SmtpServer* server;
        bool ignoreInvalid;
        bool accepted;
    };
    const Case cases[] = {{&wrongName, false, false}, {&wrongName, true, true},
                          {&expired, false, false},   {&expired, true, true},
                          {&unknown, false, false},   {&unknown, true, false}};
    for (const Case& k : cases) {
        for (const SmtpSecurity security : {SmtpSecurity::StartTls, SmtpSecurity::Tls}) {
            auto c = client(security == SmtpSecurity::Tls ? k.server->tlsPort() : k.server->port());
            c->setSecurity(security);
            c->setIgnoreInvalidCert(k.ignoreInvalid);
            try {
                c->connectToServer();
                QVERIFY(k.accepted);
                c->disconnectFromServer();
            } catch (const SmtpError& e) {
                QVERIFY2(!k.accepted, qPrintable(e.text()));
                QCOMPARE(e.code(), int(SmtpClient::TlsFailed));
                QVERIFY2(e.text().startsWith(
                             QStringLiteral("The mail server's certificate was refused: ")),
                         qPrintable(e.text()));
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestSmtpClient)
#include "test_smtp_client.moc"
