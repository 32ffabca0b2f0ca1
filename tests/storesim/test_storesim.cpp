// The store simulator, run as its own process and spoken to over real sockets.

#include "common/store_sim.h"
#include "common/test_certs.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QTcpSocket>
#include <QtTest>

using os::test::StoreSim;

namespace {

struct HttpReply
{
    int status = 0;
    QByteArray statusLine;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    qint64 contentLength = -1;
    bool answered = false; // a status line arrived

    QByteArray header(const QByteArray& name) const
    {
        for (const auto& [n, v] : headers)
            if (n.compare(name, Qt::CaseInsensitive) == 0)
                return v;
        return {};
    }
};

// A plain HTTP/1.1 POST that reads until the server closes, so that what the
// simulator really sent (short bodies, missing replies) shows.
HttpReply Post(quint16 port, const QByteArray& body, const QByteArray& extraHeaders = {},
               int waitMs = 20000)
{
    HttpReply r;
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(5000))
        return r;
    socket.write(
        "POST /cgi-bin/ordersentinel.cgi HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
        "User-Agent: Vendix Ordersentinel Version 1.0.0.1\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\n" +
        extraHeaders + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    socket.waitForBytesWritten(5000);
    QByteArray raw;
    QDeadlineTimer deadline(waitMs);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired())
        if (socket.waitForReadyRead(int(qMin<qint64>(200, deadline.remainingTime()))))
            raw += socket.readAll();
    raw += socket.readAll();
    const qsizetype end = raw.indexOf("\r\n\r\n");
    if (end < 0)
        return r;
    r.answered = true;
    const QList<QByteArray> lines = raw.left(end).split('\n');
    r.statusLine = lines.first().trimmed();
    r.status = r.statusLine.mid(9, 3).toInt();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        r.headers.append({lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
    }
    r.body = raw.mid(end + 4);
    if (!r.header("Content-Length").isEmpty())
        r.contentLength = r.header("Content-Length").toLongLong();
    return r;
}

QByteArray cmd(const QByteArray& password, const QByteArray& command, const QByteArray& rest = {})
{
    return "crypt%5fkeeper=" + password + "&command=" + QByteArray(command).replace("_", "%5f") +
           rest;
}

QByteArray Section(const QByteArray& reply, const QByteArray& name)
{
    const QByteArray start = "STARTVendixResponse|" + name + ":\n";
    const QByteArray end = "ENDVendixResponse|" + name + ":\n";
    const qsizetype s = reply.indexOf(start);
    const qsizetype e = reply.indexOf(end);
    if (s < 0 || e < s)
        return "<missing>";
    return reply.mid(s + start.size(), e - s - start.size());
}

QList<QByteArray> lines(const QByteArray& section)
{
    QList<QByteArray> lines = section.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class TestStoreSim : public QObject
{
    Q_OBJECT

private slots:
    void wrongPasswordRefusesEveryCommand();
    void pollLockAndUnlockOutcomes();
    void retrievalCycleForgetsOnlyOnCleanUp();
    void integrityListsClashesAndFixRenumbers();
    void datesAndTotalsInChosenFormat();
    void rawRecordsAndReplies();
    void genconfigsAndLastRequestAreRecorded();
    void changepassPutsNewPasswordInForce();
    void faultsStatusHtmlRedirectBig();
    void faultsDelayNeverCutoff();
    void faultAuthChallenge();
    void faultForOneCommandOnly();
    void stateSurvivesRestart();
    void demoSeedIsBelievableAndRepeatable();
    void httpsServes();
};

void TestStoreSim::wrongPasswordRefusesEveryCommand()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    sim.generateOrders(2);
    for (const char* command :
         {"get_new_stuff", "clean_up_invoice", "check_data_integrity", "data_int_fix_acct",
          "emergency_unlock", "lock_vendix", "poll_server", "changepass"}) {
        const HttpReply r =
            Post(sim.port(), cmd("wrong", command, "&hacc=0&hinv=0&newpass=abcdef"));
        QCOMPARE(r.status, 200);
        QCOMPARE(r.body,
                 QByteArray("VendixResponse:Invalid password.\nVendixAction:PASS_INVALID\n"));
    }
    const HttpReply g =
        Post(sim.port(), "crypt%5fkeeper=secret2&command=genconfigs=&CONFIG_body=x&");
    QCOMPARE(g.body, QByteArray("VendixResponse:Invalid password.\nVendixAction:PASS_INVALID\n"));
    // Nothing was done behind the refusal.
    const QJsonObject s = sim.state();
    QCOMPARE(s.value("lock").toString(), QString("none"));
    QCOMPARE(s.value("pendingOrders").toInt(), 2);
    QCOMPARE(s.value("password").toString(), QString("secret1"));
    QCOMPARE(sim.lastConfig().size(), 0);
}

void TestStoreSim::pollLockAndUnlockOutcomes()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    // The poll's field name goes out unencoded; the store reads it alike.
    QCOMPARE(Post(sim.port(), "crypt_keeper=secret1&command=poll_server").body,
             QByteArray("VendixResponse:0 new orders waiting.::0 account updates waiting.::"
                        "0 notes, 0 order marks and 0 status texts waiting.::Site is not "
                        "locked.\nVendixAction:POLLED\n"));
    QCOMPARE(Post(sim.port(), cmd("secret1", "emergency_unlock")).body,
             QByteArray("VendixResponse:The site is not locked.\nVendixAction:NOLOCKSTOP\n"));
    QCOMPARE(Post(sim.port(), cmd("secret1", "lock_vendix")).body,
             QByteArray("VendixResponse:Site locked.\nVendixAction:LOCKED\n"));
    QCOMPARE(Post(sim.port(), cmd("secret1", "lock_vendix")).body,
             QByteArray("VendixResponse:Site was already locked.\nVendixAction:LOCKED\n"));
    QVERIFY(Post(sim.port(), cmd("secret1", "poll_server")).body.contains("::Site is locked.\n"));
    QCOMPARE(Post(sim.port(), cmd("secret1", "emergency_unlock")).body,
             QByteArray("VendixResponse:Site unlocked.\nVendixAction:UNLOCKED\n"));

    // Locked with data still waiting: the desktop must retrieve.
    sim.generateOrders(3);
    sim.setLock("retrieval");
    QCOMPARE(Post(sim.port(), cmd("secret1", "emergency_unlock")).body,
             QByteArray(
                 "VendixResponse:Site unlocked.::3 new orders are still waiting to be retrieved.\n"
                 "VendixAction:WASUNLOCK\n"));
    QCOMPARE(sim.state().value("lock").toString(), QString("none"));

    sim.setLock("manual");
    const HttpReply manual = Post(sim.port(), cmd("secret1", "emergency_unlock"));
    QVERIFY(manual.body.endsWith("\nVendixAction:MANUALUNLOCK\n"));
    QCOMPARE(sim.state().value("lock").toString(), QString("manual"));

    sim.setLock("other");
    QCOMPARE(
        Post(sim.port(), cmd("secret1", "lock_vendix")).body,
        QByteArray("VendixResponse:Site is locked by another session.\nVendixAction:LOCKERROR\n"));
    QCOMPARE(
        Post(sim.port(), cmd("secret1", "check_data_integrity", "&hacc=0&hinv=0")).body,
        QByteArray("VendixResponse:Site is locked by another session.\nVendixAction:LOCKERROR\n"));
    QCOMPARE(sim.commands(),
             QStringList({"poll_server", "emergency_unlock", "lock_vendix", "lock_vendix",
                          "poll_server", "emergency_unlock", "emergency_unlock", "emergency_unlock",
                          "lock_vendix", "check_data_integrity"}));
}

void TestStoreSim::retrievalCycleForgetsOnlyOnCleanUp()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    QCOMPARE(Post(sim.port(), cmd("secret1", "check_data_integrity", "&hacc=0&hinv=0")).body,
             QByteArray("VendixResponse:No new data waiting.\nVendixAction:NO_NEED\n"));
    QCOMPARE(
        Post(sim.port(), cmd("secret1", "get_new_stuff")).body,
        QByteArray(
            "VendixResponse:Site is not locked for a retrieval; the data check must come first.\n"
            "VendixAction:NOTLOCKED\n"));

    const QList<qint64> invs =
        sim.addOrders(QJsonArray{QJsonObject{{"INV", 500},
                                             {"CUSTID", 17},
                                             {"NAME", "Ann | Lee"},
                                             {"IDATE", "2024-06-03 14:05:09"},
                                             {"TOTAL", 12.5},
                                             {"METHOD", " 2 "},
                                             {"ORDERSTATE", "New"},
                                             {"INVOICE", "<p>five hundred</p>"}},
                                 QJsonObject{{"INV", 501}, {"CUSTID", 17}, {"invoice", false}}});
    QCOMPARE(invs, QList<qint64>({500, 501}));
    QCOMPARE(sim.generateOrders(1, 4096), QList<qint64>({1001})); // the store numbers on from 1001
    sim.addAccounts(
        QJsonArray{QJsonObject{{"CUSTID", 17}, {"EMAIL", "ann@example.com"}, {"SUBSCRIBED", "1"}}});
    sim.addNote(500, "2024-06-03 15:00:00", "Call first");
    sim.addMark(500, "Payment Received");
    sim.addStatus(500, "Card authorised");

    const HttpReply check =
        Post(sim.port(), cmd("secret1", "check_data_integrity", "&hacc=0&hinv=0"));
    QCOMPARE(check.body,
             QByteArray(
                 "VendixResponse:Site locked for retrieval.::0 accounts to check.\n"
                 "VendixAction:DATACHECK\nDATAINTSTARTVendixResponse||DATAINTENDVendixResponse\n"));
    QCOMPARE(sim.state().value("lock").toString(), QString("retrieval"));

    const HttpReply first = Post(sim.port(), cmd("secret1", "get_new_stuff"));
    QVERIFY(first.body.startsWith(
        "VendixResponse:3 new orders and 2 accounts sent.\nVendixAction:DataSuccess\n"));
    const QList<QByteArray> orders = lines(Section(first.body, "Orders"));
    QCOMPARE(orders.size(), 3);
    const QList<QByteArray> o500 = orders[0].split('|');
    QCOMPARE(o500.size(), 33);
    QCOMPARE(o500[0], QByteArray("500"));
    QCOMPARE(o500[1], QByteArray("17"));
    QCOMPARE(o500[5], QByteArray("Ann   Lee")); // no separator inside a field
    QCOMPARE(o500[21], QByteArray("2024-06-03 14:05:09"));
    QCOMPARE(o500[22], QByteArray("12.50"));
    QCOMPARE(o500[23], QByteArray(" 2 "));
    QCOMPARE(o500[32], QByteArray("New"));
    for (const QByteArray& line : orders)
        QCOMPARE(line.split('|').size(), 33);
    const QList<QByteArray> accounts = lines(Section(first.body, "Accounts"));
    QCOMPARE(accounts.size(), 2); // the generated order's new shopper and account 17
    for (const QByteArray& line : accounts)
        QCOMPARE(line.split('|').size(), 21);
    QCOMPARE(accounts[1].split('|')[2], QByteArray("ann@example.com"));
    QCOMPARE(accounts[1].split('|')[20], QByteArray("1"));
    QCOMPARE(Section(first.body, "Notes"), QByteArray("500|2024-06-03 15:00:00|Call first\n"));
    QCOMPARE(Section(first.body, "InvMarks"), QByteArray("500|Payment Received\n"));
    QCOMPARE(Section(first.body, "InvoiceStatus"), QByteArray("500|Card authorised\n"));
    const QByteArray html = Section(first.body, "HTML");
    QVERIFY(
        html.startsWith("VendixBeginInvoice|500<!--END--><p>five "
                        "hundred</p>VendixEndInvoice|\nVendixBeginInvoice|1001<!--END--><html>"));
    QVERIFY(!html.contains("VendixBeginInvoice|501"));
    const qsizetype p = html.indexOf("VendixBeginInvoice|1001<!--END-->") + 33;
    const QByteArray page = html.mid(p, html.indexOf("VendixEndInvoice|", p) - p);
    QCOMPARE(page.size(), 4096);
    QVERIFY(page.contains("<h2>Invoice 1001</h2>"));

    // A broken-off retrieval asks again: the same data comes again.
    sim.addOrders(QJsonArray{QJsonObject{{"INV", 900}, {"CUSTID", 17}}}); // arrives meanwhile
    const HttpReply again = Post(sim.port(), cmd("secret1", "get_new_stuff"));
    QCOMPARE(lines(Section(again.body, "Orders")).size(), 4);
    QVERIFY(again.body.contains(
        first.body.mid(first.body.indexOf("STARTVendixResponse|Orders:\n"), 200)));
    QCOMPARE(sim.state().value("pendingOrders").toInt(), 4);

    // Clean-up forgets what was delivered by the last delivery and unlocks.
    sim.addOrders(
        QJsonArray{QJsonObject{{"INV", 901}, {"CUSTID", 17}}}); // after the delivery: kept
    QCOMPARE(Post(sim.port(), cmd("secret1", "clean_up_invoice")).body,
             QByteArray("VendixResponse:Site cleaned up and unlocked.\nVendixAction:UNLOCKED!\n"));
    const QJsonObject s = sim.state();
    QCOMPARE(s.value("lock").toString(), QString("none"));
    QCOMPARE(s.value("pendingOrders").toInt(), 1);
    QCOMPARE(s.value("orders").toArray().at(0).toObject().value("INV").toInteger(), 901);
    QCOMPARE(s.value("pendingAccounts").toInt(), 0);
    QCOMPARE(s.value("pendingNotes").toInt(), 0);
    QCOMPARE(s.value("pendingMarks").toInt(), 0);
    QCOMPARE(s.value("pendingStatuses").toInt(), 0);
    QCOMPARE(s.value("accounts").toArray().size(), 2); // the store keeps its shoppers
}

void TestStoreSim::integrityListsClashesAndFixRenumbers()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    sim.addAccounts(
        QJsonArray{QJsonObject{{"CUSTID", 7}, {"EMAIL", "x@example.com"}},
                   QJsonObject{{"CUSTID", 9}, {"EMAIL", "y@example.com"}, {"pending", false}},
                   QJsonObject{{"CUSTID", 12}, {"EMAIL", "z@example.com"}, {"pending", false}},
                   QJsonObject{{"CUSTID", 30}, {"EMAIL", "w@example.com"}}});
    sim.addOrders(QJsonArray{QJsonObject{{"INV", 1}, {"CUSTID", 9}}});
    sim.addRaw("DataInt", "55^raw@example.com");
    const HttpReply check =
        Post(sim.port(), cmd("secret1", "check_data_integrity", "&hacc=12&hinv=4"));
    QCOMPARE(
        check.body,
        QByteArray(
            "VendixResponse:Site locked for retrieval.::4 accounts to check.\n"
            "VendixAction:DATACHECK\nDATAINTSTARTVendixResponse|7^x@example.com|9^y@example.com|"
            "12^z@example.com|55^raw@example.com||DATAINTENDVendixResponse\n"));
    // The desktop knows y@ as 12: the store's 9 becomes 12, the store's old 12 moves aside.
    const HttpReply fix =
        Post(sim.port(), cmd("secret1", "data_int_fix_acct",
                             "&hacc=12&hinv=4&mailfix=y%40example%2ecom%3a%3a12%7c"));
    QCOMPARE(fix.body,
             QByteArray("VendixResponse:1 store accounts renumbered.\nVendixAction:FIXED\n"));
    QCOMPARE(sim.lastRequest().field("mailfix"), QString("y@example.com::12|"));
    const QJsonObject s = sim.state();
    QMap<QString, qint64> ids;
    for (const QJsonValue& a : s.value("accounts").toArray())
        ids[a["EMAIL"].toString()] = a["CUSTID"].toInteger();
    QCOMPARE(ids["y@example.com"], 12);
    QCOMPARE(ids["x@example.com"], 7);
    QCOMPARE(ids["z@example.com"], 101); // the next free store number
    QCOMPARE(s.value("orders").toArray().at(0)["CUSTID"].toInteger(), 12);
}

void TestStoreSim::datesAndTotalsInChosenFormat()
{
    StoreSim::Options o;
    o.dateFormat = "MM/dd/yyyy hh:mm:ss AP";
    o.decimalSeparator = ",";
    StoreSim sim(o);
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    sim.addOrders(
        QJsonArray{QJsonObject{{"INV", 44}, {"IDATE", "2024-06-03 14:05:09"}, {"TOTAL", 1234.5}}});
    sim.addNote(44, "2024-06-04 08:00:00", "n");
    sim.setLock("desktop");
    const QByteArray r = Post(sim.port(), cmd("secret1", "get_new_stuff")).body;
    const QList<QByteArray> f = lines(Section(r, "Orders")).value(0).split('|');
    QCOMPARE(f.value(21), QByteArray("06/03/2024 02:05:09 PM"));
    QCOMPARE(f.value(22), QByteArray("1234,50"));
    QCOMPARE(Section(r, "Notes"), QByteArray("44|06/04/2024 08:00:00 AM|n\n"));
    sim.setDateFormat("dd.MM.yyyy HH:mm");
    sim.setDecimalSeparator(".");
    const QList<QByteArray> g =
        lines(Section(Post(sim.port(), cmd("secret1", "get_new_stuff")).body, "Orders"))
            .value(0)
            .split('|');
    QCOMPARE(g.value(21), QByteArray("03.06.2024 14:05"));
    QCOMPARE(g.value(22), QByteArray("1234.50"));
}

void TestStoreSim::rawRecordsAndReplies()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    const QByteArray short32 = QByteArray("77|") + QByteArray("|").repeated(30) + "x"; // 32 fields
    sim.addRaw("Orders", QString::fromLatin1(short32));
    sim.addRaw("HTML", "VendixBeginInvoice|abc<!--END-->bad");
    sim.addRaw("Notes", "0|2024-01-01|zero");
    sim.setLock("retrieval");
    const QByteArray r = Post(sim.port(), cmd("secret1", "get_new_stuff")).body;
    QCOMPARE(Section(r, "Orders"), short32 + "\n");
    QCOMPARE(Section(r, "HTML"), QByteArray("VendixBeginInvoice|abc<!--END-->bad"));
    QCOMPARE(Section(r, "Notes"), QByteArray("0|2024-01-01|zero\n"));
    Post(sim.port(), cmd("secret1", "clean_up_invoice"));
    QCOMPARE(sim.state().value("raw").toArray().size(), 0);

    sim.rawReply("VendixResponse:x\nVendixAction:SOMETHING\n");
    QCOMPARE(Post(sim.port(), cmd("secret1", "clean_up_invoice")).body,
             QByteArray("VendixResponse:x\nVendixAction:SOMETHING\n"));
    QCOMPARE(sim.state().value("counters").toObject().value("cleanups").toInt(), 1); // not run
}

void TestStoreSim::genconfigsAndLastRequestAreRecorded()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    QVERIFY(!sim.lastRequest().valid);
    const QByteArray body = "crypt%5fkeeper=secret1&command=genconfigs=&cccard=Visa&cccard=&CONFIG_"
                            "body=%3cBODY+BGCOLOR%3d%22%23ffffff%22%3e&"
                            "CONFIG_accept_cc=1&CONFIG_accept_cc=0&CONFIG_company_name=A%26B%3dC&&"
                            "taxstring=CA%5e1%3aTAX%3a&couponsstring=";
    QCOMPARE(Post(sim.port(), body).body,
             QByteArray("VendixResponse:Configuration updated (8 fields "
                        "received).\nVendixAction:CONFIGSAVED\n"));
    const QList<QPair<QString, QString>> expected = {{"cccard", "Visa"},
                                                     {"cccard", ""},
                                                     {"CONFIG_body", "<BODY BGCOLOR=\"#ffffff\">"},
                                                     {"CONFIG_accept_cc", "1"},
                                                     {"CONFIG_accept_cc", "0"},
                                                     {"CONFIG_company_name", "A&B=C"},
                                                     {"taxstring", "CA^1:TAX:"},
                                                     {"couponsstring", ""}};
    QCOMPARE(sim.lastConfig(), expected);
    const StoreSim::Request req = sim.lastRequest();
    QVERIFY(req.valid);
    QCOMPARE(req.method, QString("POST"));
    QCOMPARE(req.path, QString("/cgi-bin/ordersentinel.cgi"));
    QCOMPARE(req.body, body);
    QCOMPARE(req.header("user-agent"), QByteArray("Vendix Ordersentinel Version 1.0.0.1"));
    QCOMPARE(req.header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(req.field("crypt_keeper"), QString("secret1"));
    QCOMPARE(req.field("command"), QString("genconfigs="));
    QCOMPARE(req.fieldValues("CONFIG_accept_cc"), QStringList({"1", "0"}));
    // A publish with big rate tables is far beyond 8 KB; the store takes it whole.
    const QByteArray tax = "CA%5eCalifornia%5e0%2e0725%5e1%3aTAX%3a";
    const QByteArray big = "crypt%5fkeeper=secret1&command=genconfigs=&CONFIG_body=x&&taxstring=" +
                           tax.repeated(20000);
    QCOMPARE(Post(sim.port(), big).body,
             QByteArray("VendixResponse:Configuration updated (2 fields "
                        "received).\nVendixAction:CONFIGSAVED\n"));
    QCOMPARE(sim.lastConfig().value(1).second,
             QString("CA^California^0.0725^1:TAX:").repeated(20000));
    // The plain command word is accepted too, and replaces the whole configuration.
    Post(sim.port(), "crypt%5fkeeper=secret1&command=genconfigs&CONFIG_body=x");
    QCOMPARE(sim.lastConfig(), (QList<QPair<QString, QString>>{{"CONFIG_body", "x"}}));
}

void TestStoreSim::changepassPutsNewPasswordInForce()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    QCOMPARE(Post(sim.port(), "crypt%5fkeeper=secret1&command=changepass&newpass=new%5fpass1").body,
             QByteArray("VendixResponse:Password changed.\nVendixAction:PASSCHANGED\n"));
    QCOMPARE(sim.password(), QString("new_pass1"));
    QCOMPARE(Post(sim.port(), cmd("secret1", "poll_server")).body,
             QByteArray("VendixResponse:Invalid password.\nVendixAction:PASS_INVALID\n"));
    QVERIFY(
        Post(sim.port(), cmd("new%5fpass1", "poll_server")).body.endsWith("VendixAction:POLLED\n"));
    QCOMPARE(Post(sim.port(), "crypt%5fkeeper=new%5fpass1&command=changepass&newpass=").body,
             QByteArray("VendixResponse:The new password is empty; password not "
                        "changed.\nVendixAction:PASSNOTCHANGED\n"));
    sim.setPassword("a b&c");
    QVERIFY(Post(sim.port(), cmd("a+b%26c", "poll_server")).body.endsWith("VendixAction:POLLED\n"));
}

void TestStoreSim::faultsStatusHtmlRedirectBig()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    sim.failWithStatus(500, "Script Failed", 2);
    for (int i = 0; i < 2; ++i) {
        const HttpReply r = Post(sim.port(), cmd("secret1", "lock_vendix"));
        QCOMPARE(r.statusLine, QByteArray("HTTP/1.1 500 Internal Server Error"));
        QVERIFY(r.body.contains("<h1>Script Failed</h1>"));
    }
    QCOMPARE(sim.state().value("lock").toString(), QString("none"));       // the command never ran
    QCOMPARE(Post(sim.port(), cmd("secret1", "lock_vendix")).status, 200); // faults used up

    sim.replyNonStore();
    const HttpReply html = Post(sim.port(), cmd("secret1", "poll_server"));
    QCOMPARE(html.status, 200);
    QVERIFY(html.body.startsWith("<html>"));
    QVERIFY(!html.body.contains("VendixResponse:"));

    sim.redirectTo("https://127.0.0.1:1/elsewhere");
    const HttpReply moved = Post(sim.port(), cmd("secret1", "poll_server"));
    QCOMPARE(moved.status, 302);
    QCOMPARE(moved.header("Location"), QByteArray("https://127.0.0.1:1/elsewhere"));

    sim.bigReply(3 * 1024 * 1024 + 17);
    const HttpReply big = Post(sim.port(), cmd("secret1", "poll_server"));
    QCOMPARE(big.status, 200);
    QCOMPARE(big.body.size(), 3 * 1024 * 1024 + 17);
    QVERIFY(big.body.startsWith("VendixResponse:Big reply\nVendixAction:BIG\nabcdefghij"));
    QCOMPARE(big.body.count('\n'), 2 + (big.body.size() - 42) / 100);
}

void TestStoreSim::faultsDelayNeverCutoff()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    sim.delayReply(1.2);
    QElapsedTimer t;
    t.start();
    const HttpReply slow = Post(sim.port(), cmd("secret1", "lock_vendix"));
    QVERIFY(t.elapsed() >= 1150);
    QCOMPARE(slow.body, QByteArray("VendixResponse:Site locked.\nVendixAction:LOCKED\n"));

    sim.neverReply();
    t.restart();
    const HttpReply none = Post(sim.port(), cmd("secret1", "poll_server"), {}, 1500);
    QVERIFY(!none.answered);
    QVERIFY(t.elapsed() >= 1400);
    sim.clearFaults(); // lets the held request go
    QVERIFY(Post(sim.port(), cmd("secret1", "poll_server")).body.endsWith("VendixAction:POLLED\n"));

    sim.cutOffReply();
    const HttpReply cut = Post(sim.port(), cmd("secret1", "emergency_unlock"));
    QCOMPARE(cut.status, 200);
    const QByteArray full = "VendixResponse:Site unlocked.\nVendixAction:UNLOCKED\n";
    QCOMPARE(cut.contentLength, qint64(full.size() * 2));
    QCOMPARE(cut.body, full); // half of what was promised, then the connection closed
}

void TestStoreSim::faultAuthChallenge()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    sim.requireAuth();
    const HttpReply challenge = Post(sim.port(), cmd("secret1", "poll_server"));
    QCOMPARE(challenge.status, 401);
    QCOMPARE(challenge.header("WWW-Authenticate"), QByteArray("Basic realm=\"Vendix Store\""));
    const QByteArray wrong =
        "Authorization: Basic " + QByteArray("osdesk:nope").toBase64() + "\r\n";
    QCOMPARE(Post(sim.port(), cmd("secret1", "poll_server"), wrong).status, 401);
    const QByteArray right =
        "Authorization: Basic " + QByteArray("osdesk:sentinel1").toBase64() + "\r\n";
    const HttpReply passed = Post(sim.port(), cmd("secret1", "poll_server"), right);
    QCOMPARE(passed.status, 200);
    QVERIFY(passed.body.endsWith("VendixAction:POLLED\n"));
    QCOMPARE(Post(sim.port(), cmd("secret1", "poll_server")).status, 200); // challenge passed once
}

void TestStoreSim::faultForOneCommandOnly()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    sim.generateOrders(1);
    sim.failWithStatus(503, QString(), 1, "clean_up_invoice");
    QVERIFY(Post(sim.port(), cmd("secret1", "check_data_integrity", "&hacc=0&hinv=0"))
                .body.contains("DATACHECK"));
    QVERIFY(Post(sim.port(), cmd("secret1", "get_new_stuff")).body.contains("DataSuccess"));
    QCOMPARE(Post(sim.port(), cmd("secret1", "clean_up_invoice")).status, 503);
    // The failed clean-up forgot nothing and left the site locked.
    QCOMPARE(sim.state().value("pendingOrders").toInt(), 1);
    QCOMPARE(sim.state().value("lock").toString(), QString("retrieval"));
    QVERIFY(Post(sim.port(), cmd("secret1", "clean_up_invoice")).body.endsWith("UNLOCKED!\n"));
    QCOMPARE(sim.state().value("pendingOrders").toInt(), 0);
}

void TestStoreSim::stateSurvivesRestart()
{
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    sim.generateOrders(5);
    sim.addMark(1001, "Void");
    Post(sim.port(), "crypt%5fkeeper=secret1&command=changepass&newpass=after1");
    Post(sim.port(), cmd("after1", "check_data_integrity", "&hacc=0&hinv=0"));
    Post(sim.port(), cmd("after1", "get_new_stuff"));
    Post(sim.port(), "crypt%5fkeeper=after1&command=genconfigs=&CONFIG_body=kept");
    const quint16 port = sim.port();
    QVERIFY2(sim.restart(), qPrintable(sim.errorString()));
    QCOMPARE(sim.port(), port);
    const QJsonObject s = sim.state();
    QCOMPARE(s.value("password").toString(), QString("after1"));
    QCOMPARE(s.value("lock").toString(), QString("retrieval"));
    QCOMPARE(s.value("pendingOrders").toInt(), 5);
    QCOMPARE(s.value("pendingMarks").toInt(), 1);
    QCOMPARE(sim.lastConfig(), (QList<QPair<QString, QString>>{{"CONFIG_body", "kept"}}));
    // What was delivered before the restart is still the delivery the clean-up forgets.
    sim.addOrders(QJsonArray{QJsonObject{{"INV", 7000}}});
    QVERIFY(Post(sim.port(), cmd("after1", "clean_up_invoice")).body.endsWith("UNLOCKED!\n"));
    QCOMPARE(sim.state().value("pendingOrders").toInt(), 1);
    // The file holds card numbers and the password: owner only.
    QCOMPARE(QFile::permissions(sim.stateFile()) & (QFile::ReadGroup | QFile::ReadOther),
             QFile::Permissions());
}

void TestStoreSim::demoSeedIsBelievableAndRepeatable()
{
    StoreSim::Options o;
    o.seed = "demo";
    o.password = QString();
    StoreSim a(o), b(o);
    QVERIFY2(a.isRunning() && b.isRunning(), qPrintable(a.errorString() + b.errorString()));
    QCOMPARE(a.password(), QString("demo1234"));
    for (StoreSim* sim : {&a, &b}) {
        Post(sim->port(), cmd("demo1234", "lock_vendix"));
    }
    const QByteArray ra = Post(a.port(), cmd("demo1234", "get_new_stuff")).body;
    const QByteArray rb = Post(b.port(), cmd("demo1234", "get_new_stuff")).body;
    QCOMPARE(ra, rb);
    const QList<QByteArray> orders = lines(Section(ra, "Orders"));
    QVERIFY(orders.size() >= 200);
    int fresh = 0;
    QSet<QByteArray> methods, cards;
    for (const QByteArray& line : orders) {
        const QList<QByteArray> f = line.split('|');
        QCOMPARE(f.size(), 33);
        QVERIFY(!f[5].isEmpty() && !f[6].isEmpty() && !f[3].isEmpty());
        QVERIFY(f[22].toDouble() > 0);
        QVERIFY(QDateTime::fromString(QString::fromLatin1(f[21]), "yyyy-MM-dd HH:mm:ss").isValid());
        fresh += f[32] == "New" ? 1 : 0;
        methods.insert(f[23]);
        cards.insert(f[25]);
    }
    QVERIFY(fresh > orders.size() * 3 / 4);
    QVERIFY(methods.size() >= 4);
    QVERIFY(cards.contains("Visa") && cards.contains("MasterCard"));
    QCOMPARE(ra.count("VendixBeginInvoice|"), orders.size());
    QVERIFY(lines(Section(ra, "Accounts")).size() >= 100);
    QVERIFY(lines(Section(ra, "Notes")).size() >= 10);
    QVERIFY(lines(Section(ra, "InvMarks")).size() >= 10);
    QVERIFY(lines(Section(ra, "InvoiceStatus")).size() >= 10);
}

void TestStoreSim::httpsServes()
{
    os::test::TestCerts certs;
    QVERIFY2(certs.isValid(), qPrintable(certs.error()));
    StoreSim::Options o;
    o.certFile = certs.valid().cert;
    o.keyFile = certs.valid().key;
    StoreSim sim(o);
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    QVERIFY(sim.url().startsWith("https://127.0.0.1:"));
    QVERIFY(sim.controlPort() != sim.port());
    sim.generateOrders(2); // control over plain HTTP
    QProcess curl;
    curl.start("curl", {"-sS", "--cacert", certs.caCert(), "--data",
                        "crypt_keeper=secret1&command=poll_server", sim.url()});
    QVERIFY(curl.waitForFinished(20000));
    QCOMPARE(QString::fromUtf8(curl.readAllStandardError()), QString());
    QCOMPARE(curl.readAllStandardOutput(),
             QByteArray("VendixResponse:2 new orders waiting.::1 account updates waiting.::"
                        "0 notes, 0 order marks and 0 status texts waiting.::Site is not "
                        "locked.\nVendixAction:POLLED\n"));
    // Plain HTTP on the TLS port gets no store reply.
    QVERIFY(
        !Post(sim.port(), cmd("secret1", "poll_server"), {}, 3000).body.contains("VendixResponse"));
}

QTEST_GUILESS_MAIN(TestStoreSim)
#include "test_storesim.moc"
