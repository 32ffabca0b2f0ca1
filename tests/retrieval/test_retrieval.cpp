// Retrievals against the store simulator over HTTP and HTTPS, checked in the
// tables, the invoice files, the work files and the kept replies afterwards.
#include "retrieval_fixture.h"

#include "base/clock.h"
#include "base/settings.h"
#include "common/file_utils.h"
#include "common/test_certs.h"
#include "data/connection.h"
#include "data/db_error.h"
#include "data/query.h"
#include "net/secure_http.h"
#include "sync/import_reply.h"
#include "sync/import_steps.h"
#include "sync/retrieval.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

#include <memory>

using namespace os;
using namespace os::test;

namespace {

const QDateTime kNow(QDate(2024, 6, 1), QTime(9, 30, 0));

QJsonObject order(int inv, int custid, const QString& invoice,
                  const QString& name = QStringLiteral("Ann"))
{
    return QJsonObject{{"INV", inv},          {"CUSTID", custid},
                       {"NAME", name},        {"IDATE", "2024-03-05 14:07:09"},
                       {"TOTAL", 19.99},      {"METHOD", "3"},
                       {"ORDERSTATE", "New"}, {"INVOICE", invoice}};
}

QStringList only(const QStringList& rows, const QStringList& types)
{
    QStringList out;
    for (const QString& r : rows)
        if (types.contains(r.section(QLatin1Char('|'), 0, 0)))
            out.append(r);
    return out;
}

const QStringList kImportTypes{"Order",          "Invoice",        "Account",         "Order Notes",
                               "Invoice Marker", "Invoice Status", "Internal Trouble"};

} // namespace

class TestRetrieval : public QObject
{
    Q_OBJECT

private:
    StoreSim& sim() { return *m_http; }
    // The engine's own text for a repeated key in `table`, as any insert shows it.
    QString keyViolation(const RetrievalFixture& f, const QString& sql)
    {
        try {
            f.exec(sql);
        } catch (const DbError& e) {
            return e.text();
        }
        return QStringLiteral("<no violation>");
    }
    QStringList keptReplies(const RetrievalFixture& f)
    {
        return QDir(f.home.path(QStringLiteral("retrievals"))).entryList(QDir::Files, QDir::Name);
    }

    std::unique_ptr<StoreSim> m_http;
    std::unique_ptr<StoreSim> m_https;
    std::unique_ptr<TestCerts> m_certs;

private slots:
    void initTestCase()
    {
        m_http = std::make_unique<StoreSim>();
        QVERIFY2(m_http->isRunning(), qPrintable(m_http->errorString()));
        m_certs = std::make_unique<TestCerts>();
        QVERIFY2(m_certs->isValid(), qPrintable(m_certs->error()));
        StoreSim::Options o;
        o.certFile = m_certs->valid().cert;
        o.keyFile = m_certs->valid().key;
        m_https = std::make_unique<StoreSim>(o);
        QVERIFY2(m_https->isRunning(), qPrintable(m_https->errorString()));
        // Certificates are checked for real: only the test authority is trusted.
        qputenv("ORDERSENTINEL_CA_FILE", m_certs->caCert().toLocal8Bit());
        settings().IGNORE_INVALID_CERT = false;
    }

    void init()
    {
        for (StoreSim* s : {m_http.get(), m_https.get()}) {
            s->reset();
            s->clearFaults();
            s->clearCommands();
        }
        Clock::pin(kNow);
    }

    void cleanup() { Clock::pin(QDateTime()); }

    void retrievesEverything_data()
    {
        QTest::addColumn<bool>("tls");
        QTest::newRow("http") << false;
        QTest::newRow("https") << true;
    }

    void retrievesEverything()
    {
        QFETCH(bool, tls);
        StoreSim& s = tls ? *m_https : *m_http;
        QVERIFY(s.url().startsWith(tls ? QStringLiteral("https://") : QStringLiteral("http://")));
        s.addOrders({order(1000, 17, QStringLiteral("<html>1000</html>")),
                     order(1001, 18, QStringLiteral("<p>caf\u00e9 1001</p>"))});
        s.addAccounts({QJsonObject{
            {"CUSTID", 17}, {"EMAIL", "a@x.com"}, {"NAME", "Ann"}, {"SUBSCRIBED", "1"}}});
        s.addNote(1000, QStringLiteral("2024-03-06"), QStringLiteral("Call first"));
        s.addMark(1000, QStringLiteral("Shipped"));
        s.addStatus(1001, QStringLiteral("Paid"));

        RetrievalFixture f(s);
        f.run();

        QCOMPARE(f.shown(), QStringList());
        QCOMPARE(s.commands(),
                 (QStringList{"check_data_integrity", "get_new_stuff", "clean_up_invoice"}));
        QCOMPARE(only(f.log(), QStringList{"Function", "Important"} + kImportTypes),
                 (QStringList{"Function|Connecting to Vendix to check status.",
                              "Important|I had to lock Vendix to retrieve records!",
                              "Function|Connecting to Vendix to retrieve information...",
                              "Function|Telling Vendix to Clean Up and Unlock Site!",
                              "Important|Site cleaned up and unlocked.", "Order|1000 Data Record",
                              "Order|1001 Data Record", "Invoice|1000 Printable Invoice",
                              "Invoice|1001 Printable Invoice",
                              "Account|17 New or Updated Shopper Account",
                              "Order Notes|1000 Order Notes API Entry",
                              "Invoice Marker|1000 Order marked Shipped",
                              "Invoice Status|1001 Invoice status set to Paid"}));

        QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db ORDER BY INV")),
                 (QVariantList{1000, 1001}));
        QCOMPARE(f.scalar(QStringLiteral("SELECT METHOD FROM orders.db WHERE INV=1000")).toString(),
                 QStringLiteral("COD"));
        QCOMPARE(f.scalar(QStringLiteral("SELECT TOTAL FROM orders.db WHERE INV=1000")).toDouble(),
                 19.99);
        QCOMPARE(
            f.scalar(QStringLiteral("SELECT IDATE FROM orders.db WHERE INV=1000")).toDateTime(),
            QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)));
        QCOMPARE(f.scalar(QStringLiteral("SELECT LASTMARKED FROM orders.db WHERE INV=1001"))
                     .toDateTime(),
                 kNow);
        QCOMPARE(
            f.scalar(QStringLiteral("SELECT ORDERSTATE FROM orders.db WHERE INV=1000")).toString(),
            QStringLiteral("Shipped"));
        QCOMPARE(
            f.scalar(QStringLiteral("SELECT SUBSCRIBE FROM customers.db WHERE CUSTID=17")).toBool(),
            true);
        QCOMPARE(f.scalar(QStringLiteral("SELECT NOTE FROM invoice_notes.db WHERE INVOICE=1000"))
                     .toString(),
                 QStringLiteral("Call first"));
        QCOMPARE(f.scalar(QStringLiteral("SELECT IDATE FROM invoice_notes.db WHERE INVOICE=1000"))
                     .toDate(),
                 QDate(2024, 3, 6));
        QCOMPARE(
            f.scalar(QStringLiteral("SELECT INFSTRING FROM invoice_result.db WHERE INVOICE=1001"))
                .toString(),
            QStringLiteral("Paid"));

        QCOMPARE(f.readFile(QStringLiteral("data/html/1000inv.html")),
                 QByteArray("<html>1000</html>\r\n"));
        QCOMPARE(f.readFile(QStringLiteral("data/html/1001inv.html")),
                 QByteArray("<p>caf\xe9 1001</p>\r\n")); // the store's bytes, exactly
        QVERIFY(f.readFile(QStringLiteral("orders.dat")).startsWith("1000|17|"));
        QVERIFY(f.readFile(QStringLiteral("orders.dat")).endsWith("\r\n"));

        // The whole reply is kept, owner-only, under the time of the retrieval.
        QCOMPARE(keptReplies(f), QStringList{"2024-06-01_09-30-00.reply"});
        const QString kept = f.home.path(QStringLiteral("retrievals/2024-06-01_09-30-00.reply"));
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                QFileDevice::WriteOther | QFileDevice::ExeOther;
        QCOMPARE(QFile::permissions(kept) & others, QFileDevice::Permissions());
        QVERIFY(
            QFile::permissions(kept).testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QVERIFY(f.readFile(QStringLiteral("retrievals/2024-06-01_09-30-00.reply"))
                    .contains("VendixBeginInvoice|1001"));
        QCOMPARE(s.state().value("pendingOrders").toInt(), 0);
    }

    void duplicateOrderIsRefusedAlone()
    {
        sim().addOrders({order(1001, 18, QStringLiteral("first page"), QStringLiteral("First"))});
        RetrievalFixture f(sim());
        f.run();
        QCOMPARE(f.shown(), QStringList());

        sim().addOrders({order(1000, 17, QStringLiteral("p1000")),
                         order(1001, 18, QStringLiteral("second page"), QStringLiteral("Second")),
                         order(1002, 19, QStringLiteral("p1002"))});
        f.session->eventLog().clear();
        f.run();

        const QString expected =
            keyViolation(f, QStringLiteral("INSERT INTO orders.db (INV) VALUES (1001)"));
        QCOMPARE(f.shown(), QStringList{expected});
        QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db ORDER BY INV")),
                 (QVariantList{1000, 1001, 1002}));
        QCOMPARE(f.scalar(QStringLiteral("SELECT NAME FROM orders.db WHERE INV=1001")).toString(),
                 QStringLiteral("First"));
        QCOMPARE(f.readFile(QStringLiteral("data/html/1001inv.html")),
                 QByteArray("first page\r\n"));
        QCOMPARE(only(f.log(), kImportTypes),
                 (QStringList{"Order|1000 Data Record", "Order|1002 Data Record",
                              "Invoice|1000 Printable Invoice", "Invoice|1002 Printable Invoice"}));
    }

    void recordShapesAndPaymentCodes()
    {
        sim().addOrders({order(1999, 5, QStringLiteral("x"))});
        QStringList f32 = orderLine(2001, 5).split(QLatin1Char('|'));
        f32.removeLast();
        sim().addRaw(QStringLiteral("Orders"), f32.join(QLatin1Char('|')));
        sim().addRaw(QStringLiteral("Orders"), orderLine(2002, 5));
        sim().addRaw(QStringLiteral("Orders"), orderLine(2003, 5) + QStringLiteral("|extra"));
        sim().addRaw(QStringLiteral("Orders"),
                     orderLine(2004, 5, QStringLiteral("2024-03-05T08:00:00"),
                               QStringLiteral("1,234.5"), QStringLiteral("7")));
        sim().addRaw(
            QStringLiteral("Orders"),
            orderLine(2005, 5, QStringLiteral("2024-03-05 08:00"), QStringLiteral("3"), QString()));
        sim().addRaw(QStringLiteral("Orders"),
                     orderLine(2006, 5, QStringLiteral("2024-03-05"), QStringLiteral(" 4.25 "),
                               QStringLiteral(" 2 ")));
        RetrievalFixture f(sim());
        f.run();
        QCOMPARE(f.shown(), QStringList());
        QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db ORDER BY INV")),
                 (QVariantList{1999, 2002, 2003, 2004, 2005, 2006}));
        QCOMPARE(
            f.column(QStringLiteral("SELECT METHOD FROM orders.db WHERE INV>=2004 ORDER BY INV")),
            (QVariantList{"Unknown", "Unknown", "Credit Card by Phone"}));
        QCOMPARE(
            f.column(QStringLiteral("SELECT TOTAL FROM orders.db WHERE INV>=2004 ORDER BY INV")),
            (QVariantList{1234.5, 3.0, 4.25}));
        QCOMPARE(
            f.scalar(QStringLiteral("SELECT AFFILIATECODE FROM orders.db WHERE INV=2002")).toInt(),
            7);
        QCOMPARE(f.scalar(QStringLiteral("SELECT COUPON FROM orders.db WHERE INV=2003")).toString(),
                 QStringLiteral("SAVE10"));
    }

    void badRecordsAreRefusedAlone()
    {
        // Each bad record costs only itself: the later orders, the accounts,
        // notes, marks and status texts still go in.
        sim().addOrders({order(2999, 5, QStringLiteral("p2999"))});
        sim().addRaw(QStringLiteral("Orders"),
                     orderLine(3000, 5, QStringLiteral("2026-13-45 99:99:99")));
        sim().addRaw(
            QStringLiteral("Orders"),
            orderLine(3001, 5, QStringLiteral("2024-03-05 14:07:09"), QStringLiteral("12,x")));
        sim().addRaw(QStringLiteral("Orders"), QStringLiteral("abc") + orderLine(3002, 5).mid(4));
        sim().addRaw(QStringLiteral("Orders"), orderLine(3003, 5));
        for (int inv : {3000, 3003})
            sim().addRaw(
                QStringLiteral("HTML"),
                QStringLiteral("VendixBeginInvoice|%1<!--END-->p%1VendixEndInvoice|").arg(inv));
        sim().addRaw(QStringLiteral("Accounts"),
                     QStringLiteral("x7") + accountLine(7, QStringLiteral("a@x.com"),
                                                        QStringLiteral("Al"), QStringLiteral("1"))
                                                .mid(1));
        sim().addRaw(
            QStringLiteral("Accounts"),
            accountLine(8, QStringLiteral("b@x.com"), QStringLiteral("Bo"), QStringLiteral("1")));
        sim().addNote(3003, QString(), QStringLiteral("later note"));
        sim().addMark(3003, QStringLiteral("Shipped"));
        sim().addStatus(3003, QStringLiteral("Paid"));
        RetrievalFixture f(sim());
        f.run();
        QCOMPARE(f.shown(), (QStringList{"'2026-13-45 99:99:99' is not a valid date and time",
                                         "'12,x' is not a valid floating point value",
                                         "'abc' is not a valid integer value",
                                         "'x7' is not a valid integer value"}));
        QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db ORDER BY INV")),
                 (QVariantList{2999, 3003}));
        QVERIFY(!QFile::exists(f.home.path(QStringLiteral("data/html/3000inv.html"))));
        QCOMPARE(f.readFile(QStringLiteral("data/html/3003inv.html")), QByteArray("p3003\r\n"));
        QCOMPARE(f.column(QStringLiteral("SELECT CUSTID FROM customers.db")), (QVariantList{8}));
        QCOMPARE(f.column(QStringLiteral("SELECT NOTE FROM invoice_notes.db")),
                 (QVariantList{"later note"}));
        QCOMPARE(
            f.scalar(QStringLiteral("SELECT ORDERSTATE FROM orders.db WHERE INV=3003")).toString(),
            QStringLiteral("Shipped"));
        QCOMPARE(f.column(QStringLiteral("SELECT INFSTRING FROM invoice_result.db")),
                 (QVariantList{"Paid"}));
    }

    void accountsReplacedOnlyWithTheSameEmail()
    {
        sim().addAccounts(
            {QJsonObject{{"CUSTID", 50}, {"EMAIL", "a@x.com"}, {"NAME", "Old"}},
             QJsonObject{
                 {"CUSTID", 51}, {"EMAIL", "c@x.com"}, {"NAME", "Old"}, {"SUBSCRIBED", "1"}}});
        RetrievalFixture f(sim());
        f.run();
        QCOMPARE(f.column(QStringLiteral("SELECT CUSTID FROM customers.db ORDER BY CUSTID")),
                 (QVariantList{50, 51}));

        sim().addRaw(QStringLiteral("Accounts"),
                     accountLine(50, QStringLiteral("b@x.com"), QStringLiteral("New"), "1"));
        sim().addRaw(QStringLiteral("Accounts"),
                     accountLine(51, QStringLiteral("c@x.com"), QStringLiteral("New"), "0"));
        sim().addRaw(QStringLiteral("Accounts"),
                     accountLine(52, QStringLiteral("d@x.com"), QStringLiteral("Dee"), "1"));
        // Local accounts without an e-mail: only an empty address matches them.
        f.exec(QStringLiteral(
            "INSERT INTO customers.db (CUSTID, EMAIL, NAME) VALUES (53, NULL, 'Blank')"));
        f.exec(QStringLiteral(
            "INSERT INTO customers.db (CUSTID, EMAIL, NAME) VALUES (54, NULL, 'Blank')"));
        sim().addRaw(QStringLiteral("Accounts"),
                     accountLine(53, QStringLiteral("e@x.com"), QStringLiteral("New"), "1"));
        sim().addRaw(QStringLiteral("Accounts"),
                     accountLine(54, QString(), QStringLiteral("New"), "1"));
        sim().addOrders({order(4000, 52, QStringLiteral("x"))});
        f.session->eventLog().clear();
        f.run();
        QCOMPARE(f.shown(), QStringList());
        QCOMPARE(only(f.log(), QStringList{"Account", "Internal Trouble"}),
                 (QStringList{"Internal Trouble|50 AND b@x.com do not match, record not updated!",
                              "Account|51 New or Updated Shopper Account",
                              "Account|52 New or Updated Shopper Account",
                              "Internal Trouble|53 AND e@x.com do not match, record not updated!",
                              "Account|54 New or Updated Shopper Account"}));
        QCOMPARE(f.column(QStringLiteral("SELECT NAME FROM customers.db ORDER BY CUSTID")),
                 (QVariantList{"Old", "New", "Dee", "Blank", "New"}));
        QCOMPARE(f.column(QStringLiteral("SELECT EMAIL FROM customers.db WHERE CUSTID=53")),
                 (QVariantList{QVariant()}));
        QCOMPARE(f.column(QStringLiteral("SELECT EMAIL FROM customers.db WHERE CUSTID=50")),
                 (QVariantList{"a@x.com"}));
        QCOMPARE(f.column(QStringLiteral("SELECT SUBSCRIBE FROM customers.db ORDER BY CUSTID"))
                     .mid(1, 2),
                 (QVariantList{false, true}));
    }

    void notesMarksAndStatusTexts()
    {
        sim().addOrders({order(3000, 5, QStringLiteral("x"))});
        for (const char* line : {"0|2024-01-02|zero", "abc|2024-01-02|letters", "3000||",
                                 "3000|2024-01-02|good", "3000||undated", "3000|notadate|bad"})
            sim().addRaw(QStringLiteral("Notes"), QString::fromLatin1(line));
        sim().addRaw(QStringLiteral("InvoiceStatus"), QStringLiteral("3000|first"));
        sim().addRaw(QStringLiteral("InvoiceStatus"), QStringLiteral("3000|second"));
        RetrievalFixture f(sim());
        f.run();

        const QString dup = keyViolation(
            f, QStringLiteral("INSERT INTO invoice_result.db (INVOICE) VALUES (3000)"));
        QCOMPARE(f.shown(), (QStringList{"'notadate' is not a valid date", dup}));
        QCOMPARE(only(f.log(), QStringList{"Order Notes", "Internal Trouble", "Invoice Status"}),
                 (QStringList{"Internal Trouble|Notes API invoice number was invalid!",
                              "Internal Trouble|Notes API invoice number was invalid!",
                              "Order Notes|3000 Order Notes API Entry",
                              "Order Notes|3000 Order Notes API Entry",
                              "Invoice Status|3000 Invoice status set to first"}));
        QCOMPARE(f.column(QStringLiteral("SELECT NOTE FROM invoice_notes.db ORDER BY ID")),
                 (QVariantList{"good", "undated"}));
        // A note without a date is dated today, like every note row.
        QCOMPARE(f.column(QStringLiteral("SELECT IDATE FROM invoice_notes.db ORDER BY ID")),
                 (QVariantList{QDate(2024, 1, 2), kNow.date()}));
        QCOMPARE(f.column(QStringLiteral("SELECT INFSTRING FROM invoice_result.db")),
                 (QVariantList{"first"}));

        // The marks come with a later retrieval: a mark that stamped
        // LASTMARKED would show the later time.
        Clock::pin(kNow.addSecs(3600));
        const QString before =
            f.scalar(QStringLiteral("SELECT ORDERSTATE FROM orders.db WHERE INV=3000")).toString();
        sim().addRaw(QStringLiteral("InvMarks"), QStringLiteral("3999|Shipped"));
        sim().addRaw(QStringLiteral("InvMarks"), QStringLiteral("3000|Complete"));
        sim().addRaw(QStringLiteral("InvMarks"), QStringLiteral("3000|Complete"));
        f.session->eventLog().clear();
        f.run();
        QCOMPARE(only(f.log(), QStringList{"Invoice Marker"}),
                 (QStringList{"Invoice Marker|Could not mark invoice 3999 Shipped",
                              "Invoice Marker|3000 Order marked Complete",
                              "Invoice Marker|3000 Order marked Complete"}));
        // On record once: the second mark found the order in that state.
        QCOMPARE(f.column(QStringLiteral("SELECT INV || '|' || IDATE || '|' || COMMAND || '|' || "
                                         "CHANGED || '|' || OLDVALUE || '|' || NEWVALUE FROM "
                                         "order_history.db")),
                 (QVariantList{"3000|" + kNow.addSecs(3600).toString(Qt::ISODate) +
                               "|Store Invoice Mark|Order Status|" + before + "|Complete"}));
        QCOMPARE(
            f.scalar(QStringLiteral("SELECT ORDERSTATE FROM orders.db WHERE INV=3000")).toString(),
            QStringLiteral("Complete"));
        QCOMPARE(f.scalar(QStringLiteral("SELECT LASTMARKED FROM orders.db WHERE INV=3000"))
                     .toDateTime(),
                 kNow);
    }

    void marksGoInTogetherOrOneAtATime_data()
    {
        QTest::addColumn<bool>("refuseVoid");
        QTest::newRow("together") << false;
        QTest::newRow("one refused") << true;
    }

    void marksGoInTogetherOrOneAtATime()
    {
        QFETCH(bool, refuseVoid);
        sim().addOrders({order(7000, 5, QStringLiteral("a")), order(7001, 5, QStringLiteral("b")),
                         order(7002, 5, QStringLiteral("c"))});
        for (const char* line : {"7000|Shipped", "7999|Shipped", "7000|Complete", "7001|Void",
                                 "7002|New", "7000|Complete"})
            sim().addRaw(QStringLiteral("InvMarks"), QString::fromLatin1(line));
        RetrievalFixture f(sim());
        if (refuseVoid)
            Connection::forTable(f.home.dataDir(), QStringLiteral("orders"))
                ->exec(QStringLiteral("CREATE TRIGGER refuse_void BEFORE UPDATE OF ORDERSTATE ON "
                                      "orders WHEN NEW.ORDERSTATE = 'Void' BEGIN "
                                      "SELECT RAISE(ABORT, 'Void is not taken here'); END"));
        f.run();
        const QStringList marked{"Invoice Marker|7000 Order marked Shipped",
                                 "Invoice Marker|Could not mark invoice 7999 Shipped",
                                 "Invoice Marker|7000 Order marked Complete",
                                 "Invoice Marker|7001 Order marked Void",
                                 "Invoice Marker|7002 Order marked New",
                                 "Invoice Marker|7000 Order marked Complete"};
        QStringList expectedLog = marked;
        QVariantList history{"7000|New|Shipped", "7000|Shipped|Complete", "7001|New|Void"};
        if (refuseVoid) {
            expectedLog.removeAt(3);
            history.removeLast();
            QCOMPARE(f.shown(), QStringList{keyViolation(
                                    f, QStringLiteral("UPDATE orders.db SET ORDERSTATE='Void' "
                                                      "WHERE INV=7001"))});
        } else {
            QCOMPARE(f.shown(), QStringList());
        }
        QCOMPARE(only(f.log(), QStringList{"Invoice Marker"}), expectedLog);
        QCOMPARE(f.column(QStringLiteral("SELECT INV || '|' || OLDVALUE || '|' || NEWVALUE FROM "
                                         "order_history.db ORDER BY ID")),
                 history);
        QCOMPARE(f.column(QStringLiteral("SELECT ORDERSTATE FROM orders.db ORDER BY INV")),
                 (QVariantList{"Complete", refuseVoid ? "New" : "Void", "New"}));
    }

    void cleanUpWithoutUnlockedAsksForF9()
    {
        sim().addOrders({order(4100, 5, QStringLiteral("x"))});
        sim().rawReply("VendixResponse:Cleaned\nVendixAction:DONE\n", 1,
                       QStringLiteral("clean_up_invoice"));
        RetrievalFixture f(sim());
        f.run();
        QCOMPARE(f.shown(), QStringList{"Press F9"});
        QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db")), (QVariantList{4100}));
    }

    void dataSuccessWithoutSections()
    {
        sim().addOrders({order(4200, 5, QStringLiteral("x"))});
        sim().rawReply("VendixResponse:Nothing new\nVendixAction:DataSuccess\n", 1,
                       QStringLiteral("get_new_stuff"));
        RetrievalFixture f(sim());
        f.run();
        QCOMPARE(f.shown(), QStringList());
        QCOMPARE(sim().commands(),
                 (QStringList{"check_data_integrity", "get_new_stuff", "clean_up_invoice"}));
        for (const char* name :
             {"orders.dat", "accts.dat", "invstats.dat", "invmarks.dat", "notes.dat"})
            QCOMPARE(f.readFile(QString::fromLatin1(name)), QByteArray("\r\n"));
        QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db")), QVariantList());
        QCOMPARE(QDir(f.home.path(QStringLiteral("data/html"))).entryList(QDir::Files),
                 QStringList());
    }

    void actionWords_data()
    {
        QTest::addColumn<QString>("faultCommand");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("lock");
        QTest::addColumn<bool>("wrongPassword");
        QTest::addColumn<bool>("withIntegrityRecord");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QStringList>("shown");
        const QStringList check{"check_data_integrity"};
        const QStringList invalid{"Invalid Password!"};
        QTest::newRow("locked by another session")
            << QString() << QByteArray() << "other" << false << false << check
            << QStringList{"Site is locked, you may need to  unlock it!"};
        QTest::newRow("wrong password at the check")
            << QString() << QByteArray() << "none" << true << false << check << invalid;
        QTest::newRow("PASS_INVALID at the fix post")
            << "data_int_fix_acct" << QByteArray("VendixResponse:no\nVendixAction:PASS_INVALID\n")
            << "none" << false << true << (check + QStringList{"data_int_fix_acct"}) << invalid;
        QTest::newRow("PASS_INVALID at get_new_stuff")
            << "get_new_stuff" << QByteArray("VendixResponse:no\nVendixAction:PASS_INVALID\n")
            << "none" << false << false << (check + QStringList{"get_new_stuff"}) << invalid;
        QTest::newRow("no data at get_new_stuff")
            << "get_new_stuff" << QByteArray("VendixResponse:later\nVendixAction:NOTLOCKED\n")
            << "none" << false << false << (check + QStringList{"get_new_stuff"}) << QStringList();
        QTest::newRow("PASS_INVALID at the clean-up")
            << "clean_up_invoice" << QByteArray("VendixResponse:no\nVendixAction:PASS_INVALID\n")
            << "none" << false << false
            << (check + QStringList{"get_new_stuff", "clean_up_invoice"}) << invalid;
    }

    void actionWords()
    {
        QFETCH(QString, faultCommand);
        QFETCH(QByteArray, reply);
        QFETCH(QString, lock);
        QFETCH(bool, wrongPassword);
        QFETCH(bool, withIntegrityRecord);
        QFETCH(QStringList, commands);
        QFETCH(QStringList, shown);
        sim().addOrders({order(4300, 5, QStringLiteral("x"))});
        if (withIntegrityRecord)
            sim().addRaw(QStringLiteral("DataInt"), QStringLiteral("7^x@y.com"));
        sim().setLock(lock);
        if (!faultCommand.isEmpty())
            sim().rawReply(reply, 1, faultCommand);
        RetrievalFixture f(sim());
        if (wrongPassword)
            f.session->setPassword(QStringLiteral("wrong"));
        f.run();
        QCOMPARE(sim().commands(), commands);
        QCOMPARE(f.shown(), shown);
        // The log row of each message box keeps its text exactly.
        QStringList errorRows;
        for (const QString& text : shown)
            errorRows << QStringLiteral("Error|") + text;
        QCOMPARE(only(f.log(), QStringList{"Error"}), errorRows);
        QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db")), QVariantList());
        QCOMPARE(f.session->lastSessionFailed(), !shown.isEmpty());
    }

    void nothingPendingEndsSilently()
    {
        RetrievalFixture f(sim());
        f.run();
        QCOMPARE(sim().commands(), QStringList{"check_data_integrity"});
        QCOMPARE(f.shown(), QStringList());
        QCOMPARE(sim().lastRequest().field(QStringLiteral("hacc")), QStringLiteral("0"));
        QCOMPARE(sim().lastRequest().field(QStringLiteral("hinv")), QStringLiteral("0"));
    }

    // A missing invoice directory is made, owner only, and the retrieval goes on.
    void missingHtmlDirectoryIsMade()
    {
        sim().addOrders({order(4400, 5, QStringLiteral("x"))});
        RetrievalFixture f(sim());
        QVERIFY(QDir(f.home.path(QStringLiteral("data/html"))).removeRecursively());
        f.run();
        QCOMPARE(f.shown(), QStringList());
        QCOMPARE(f.readFile(QStringLiteral("data/html/4400inv.html")), QByteArray("x\r\n"));
        QCOMPARE(QFileInfo(f.home.path(QStringLiteral("data/html"))).permissions() & 0x0077,
                 QFileDevice::Permissions());
    }

    // One that cannot be made (a file holds its name) stops before the store.
    void unmakeableHtmlDirectorySendsNothing()
    {
        sim().addOrders({order(4400, 5, QStringLiteral("x"))});
        RetrievalFixture f(sim());
        QVERIFY(QDir(f.home.path(QStringLiteral("data/html"))).removeRecursively());
        QFile blocker(f.home.path(QStringLiteral("data/html")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        f.run();
        QCOMPARE(f.shown(),
                 QStringList{QStringLiteral(
                                 "The \"%1/html/\" HTML invoice export directory does not exist!")
                                 .arg(f.home.dataDir())});
        QCOMPARE(sim().commands(), QStringList());
    }

    void failedCleanUpNamesTheKeptReply_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::newRow("dropped connection")
            << 0 << "[12030] The connection with the server was terminated abnormally.";
        QTest::newRow("server error") << 500 << "500 Internal Server Error";
    }

    void failedCleanUpNamesTheKeptReply()
    {
        QFETCH(int, status);
        QFETCH(QString, error);
        sim().addOrders({order(5000, 5, QStringLiteral("<b>5000</b>"))});
        if (status)
            sim().failWithStatus(status, QString(), 1, QStringLiteral("clean_up_invoice"));
        else
            sim().cutOffReply(1, QStringLiteral("clean_up_invoice"));
        RetrievalFixture f(sim());
        f.run();
        const QString kept = f.home.path(QStringLiteral("retrievals/2024-06-01_09-30-00.reply"));
        QCOMPARE(f.shown(),
                 QStringList{error + QStringLiteral(
                                         "\r\rThe store may not have been told to clean up. "
                                         "Nothing was imported; the delivery is kept in \"%1\". If "
                                         "the next retrieval does not bring these orders again, "
                                         "import the kept reply with:\rordersentinel --home "
                                         "\"%2\" --import-reply \"%1\"")
                                         .arg(kept, f.home.home())});
        QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db")), QVariantList());

        // The command the message names brings the delivered order home.
        sim().clearCommands();
        QCOMPARE(runImportReply(kept), 0);
        QCOMPARE(sim().commands(), QStringList());
        QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db")), (QVariantList{5000}));
        QCOMPARE(f.readFile(QStringLiteral("data/html/5000inv.html")),
                 QByteArray("<b>5000</b>\r\n"));
    }

    void incompleteDeliveryIsNeitherCleanedUpNorImported_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("expected");
        const QString noEnd = QStringLiteral("the Orders section has no end marker");
        QTest::newRow("body ends early without a length") << "none" << noEnd;
        QTest::newRow("length shorter than the data") << "short" << noEnd;
        QTest::newRow("orders without end marker") << "noend" << noEnd;
        QTest::newRow("end marker before the start") << "endfirst"
                                                     << "the Orders section ends before it begins";
        QTest::newRow("section sent twice") << "twice"
                                            << "the Orders section appears more than once";
        QTest::newRow("stray end marker") << "strayend"
                                          << "the Orders section has a stray end marker";
    }

    void incompleteDeliveryIsNeitherCleanedUpNorImported()
    {
        QFETCH(QString, fault);
        QFETCH(QString, expected);
        sim().addOrders({order(5300, 5, QStringLiteral("p5300")),
                         order(5301, 5, QStringLiteral("p5301")),
                         order(5302, 5, QStringLiteral("p5302"))});
        const QString getNewStuff = QStringLiteral("get_new_stuff");
        const QByteArray head = "VendixResponse:3 new orders\nVendixAction:DataSuccess\n";
        const QByteArray line = orderLine(5300, 5).toUtf8() + '\n';
        if (fault == QLatin1String("none") || fault == QLatin1String("short"))
            sim().cutReplyAt(200, fault, 1, getNewStuff); // inside the first order
        else if (fault == QLatin1String("noend"))
            sim().rawReply(head + "STARTVendixResponse|Orders:\n" + line, 1, getNewStuff);
        else if (fault == QLatin1String("strayend"))
            sim().rawReply(head + "STARTVendixResponse|Orders:\n" + line +
                               "ENDVendixResponse|Orders:\n" + line + "ENDVendixResponse|Orders:\n",
                           1, getNewStuff);
        else if (fault == QLatin1String("endfirst"))
            sim().rawReply(head + "ENDVendixResponse|Orders:\n" + line +
                               "STARTVendixResponse|Orders:\n",
                           1, getNewStuff);
        else
            sim().sectionTwice(QStringLiteral("Orders"), 1, getNewStuff);
        RetrievalFixture f(sim());
        f.run();

        const QString kept =
            f.home.path(QStringLiteral("retrievals/2024-06-01_09-30-00.incomplete.reply"));
        QCOMPARE(f.shown(), QStringList{incompleteDeliveryText(expected, kept)});
        QCOMPARE(f.shown().first(),
                 QStringLiteral("The store's reply is not a whole delivery: %1.\r\rNothing was "
                                "imported and the store was not told to clean up, so it keeps the "
                                "data for the next retrieval and stays locked until a whole "
                                "delivery arrives. The reply is kept for inspection as \"%2\".")
                     .arg(expected, kept));
        QVERIFY(f.session->lastSessionFailed());
        QCOMPARE(sim().commands(), (QStringList{"check_data_integrity", "get_new_stuff"}));
        QCOMPARE(sim().state().value("pendingOrders").toInt(), 3);
        QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db")), QVariantList());
        QCOMPARE(keptReplies(f), QStringList{"2024-06-01_09-30-00.incomplete.reply"});
        // Nor can it be imported by hand.
        f.messages.clear();
        QCOMPARE(runImportReply(kept), 2);
        QCOMPARE(f.shown(),
                 QStringList{QStringLiteral("\"%1\" is not a whole delivery: %2. Nothing was "
                                            "imported.")
                                 .arg(kept, expected)});
        QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db")), QVariantList());
    }

    void carriageReturnLineEndsAndNulBytes()
    {
        sim().addOrders({order(8999, 5, QStringLiteral("x"))}); // so the store locks for it
        // A store writing old Mac line ends, and a NUL inside a card number.
        QString second = orderLine(8001, 6);
        second.replace(QStringLiteral("4111111111111111"),
                       QStringLiteral("4111") + QChar(0) + QStringLiteral("1111"));
        sim().rawReply("VendixResponse:2 new orders\rVendixAction:DataSuccess\n"
                       "STARTVendixResponse|Orders:\r" +
                           orderLine(8000, 5).toUtf8() + '\r' + second.toUtf8() +
                           "\rENDVendixResponse|Orders:\r",
                       1, QStringLiteral("get_new_stuff"));
        RetrievalFixture f(sim());
        f.run();
        QCOMPARE(f.shown(), QStringList());
        QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db ORDER BY INV")),
                 (QVariantList{8000, 8001}));
        QCOMPARE(f.column(QStringLiteral("SELECT ORDERSTATE FROM orders.db ORDER BY INV")),
                 (QVariantList{"New", "New"}));
        QCOMPARE(
            f.scalar(QStringLiteral("SELECT CARDNUM FROM orders.db WHERE INV=8001")).toString(),
            QStringLiteral("41111111"));
    }

    void endlessReplyStopsAtTheLimit()
    {
        sim().addOrders({order(8100, 5, QStringLiteral("x"))});
        sim().endlessReply(1, QStringLiteral("get_new_stuff"));
        RetrievalFixture f(sim());
        const qint64 limit = qint64(8) << 20; // the real one is 1 GiB
        f.session->http().setMaxReplyBytes(limit);
        f.run();
        QCOMPARE(f.shown(),
                 QStringList{"The reply is larger than 8.0 MiB (8388608 bytes), the most that is "
                             "accepted; it was stopped."});
        QCOMPARE(sim().commands(), (QStringList{"check_data_integrity", "get_new_stuff"}));
        QCOMPARE(keptReplies(f), QStringList());
        QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db")), QVariantList());
        QCOMPARE(QFileInfo(f.home.path(QStringLiteral("~g1.tmp"))).size(), 0);
        QCOMPARE(SecureHTTP::replyTooLargeText(qint64(1) << 30),
                 QStringLiteral("The reply is larger than 1 GiB (1073741824 bytes), the most that "
                                "is accepted; it was stopped."));
    }

    void replyThatCannotBeKeptEndsBeforeTheCleanUp()
    {
        sim().addOrders(
            {order(5100, 5, QStringLiteral("p5100")), order(5101, 5, QStringLiteral("p5101"))});
        RetrievalFixture f(sim());
        // A file where the directory of kept replies should be.
        QFile blocker(f.home.path(QStringLiteral("retrievals")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        f.run();
        QCOMPARE(
            f.shown(),
            QStringList{QStringLiteral("Cannot create directory \"%1\".").arg(blocker.fileName())});
        // The store was never told to forget: it still holds both orders.
        QCOMPARE(sim().commands(), (QStringList{"check_data_integrity", "get_new_stuff"}));
        QCOMPARE(sim().state().value("pendingOrders").toInt(), 2);
        QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db")), QVariantList());
        QVERIFY(!QFile::exists(f.home.path(QStringLiteral("data/html/5100inv.html"))));
    }

    void workAndInvoiceFilesAreOwnerOnly()
    {
        sim().addOrders(
            {order(5200, 5, QStringLiteral("p5200")), order(5201, 5, QStringLiteral("p5201"))});
        RetrievalFixture f(sim());
        // Left readable by everyone by an older version.
        const QString orders = f.home.path(QStringLiteral("orders.dat"));
        const QString invoice = f.home.path(QStringLiteral("data/html/5200inv.html"));
        for (const QString& path : {orders, invoice}) {
            QVERIFY(writeAll(path, "old"));
            QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ReadGroup |
                                                    QFileDevice::ReadOther));
            QCOMPARE(unixMode(path), 0644);
        }
        f.run();
        QCOMPARE(f.shown(), QStringList());
        for (const char* name : {"orders.dat", "accts.dat", "invstats.dat", "invmarks.dat",
                                 "notes.dat", "data/html/5200inv.html", "data/html/5201inv.html"})
            QCOMPARE(unixMode(f.home.path(QString::fromLatin1(name))), 0600);
        QCOMPARE(f.readFile(QStringLiteral("data/html/5200inv.html")), QByteArray("p5200\r\n"));
    }

    void unwritableInvoiceFileIsReported()
    {
        sim().addOrders({order(6000, 5, QStringLiteral("a")), order(6001, 5, QStringLiteral("b")),
                         order(6002, 5, QStringLiteral("c"))});
        RetrievalFixture f(sim());
        // A directory where the file should go: unwritable even for root.
        const QString blocked = f.home.path(QStringLiteral("data/html/6001inv.html"));
        QVERIFY(QDir().mkpath(blocked));
        QFile probe(blocked);
        QVERIFY(!probe.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.run();
        QCOMPARE(
            f.shown(),
            QStringList{
                QStringLiteral("Cannot create file \"%1\". %2").arg(blocked, probe.errorString())});
        QCOMPARE(only(f.log(), QStringList{"Invoice"}),
                 (QStringList{"Invoice|6000 Printable Invoice", "Invoice|6002 Printable Invoice"}));
        QCOMPARE(f.readFile(QStringLiteral("data/html/6002inv.html")), QByteArray("c\r\n"));
        QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db ORDER BY INV")),
                 (QVariantList{6000, 6001, 6002}));
    }

    void lineBreaksInsideValuesKeepTheirRecord()
    {
        sim().addOrders({order(8999, 5, QStringLiteral("x"))}); // so the store locks for it
        auto withNotes = [](int inv, const QString& notes) {
            QStringList fields = orderLine(inv, 5).split(QLatin1Char('|'));
            fields[20] = notes;
            return fields.join(QLatin1Char('|')).toUtf8();
        };
        // 4003 lost a field as well: its two parts make no whole record.
        QStringList short4003 =
            QString::fromUtf8(withNotes(4003, QStringLiteral("half\nway"))).split(QLatin1Char('|'));
        short4003.removeLast();
        QStringList account =
            accountLine(9, QStringLiteral("c@x.com"), QStringLiteral("Cy"), QStringLiteral("1"))
                .split(QLatin1Char('|'));
        account[19] = QStringLiteral("gate code\n1234");
        const QByteArray reply =
            "VendixResponse:5 new orders\nVendixAction:DataSuccess\n"
            "STARTVendixResponse|Orders:\r\n" +
            withNotes(4000, QStringLiteral("line one\r\nline two")) + "\r\n" +
            withNotes(4001, QStringLiteral("upstairs\n12 bells")) + "\r\n" +
            withNotes(4002, QStringLiteral("stray\rcarriage return")) + "\r\n" +
            short4003.join(QLatin1Char('|')).toUtf8() + "\r\n" + withNotes(4004, QString()) +
            "\r\nENDVendixResponse|Orders:\n"
            "STARTVendixResponse|Accounts:\n" +
            account.join(QLatin1Char('|')).toUtf8() +
            "\nENDVendixResponse|Accounts:\n"
            "STARTVendixResponse|InvoiceStatus:\n4000|Paid\nin full\n4001|Open\n"
            "ENDVendixResponse|InvoiceStatus:\n"
            "STARTVendixResponse|Notes:\n4001|2024-01-02|first\r\nsecond\n"
            "ENDVendixResponse|Notes:\n";
        sim().rawReply(reply, 1, QStringLiteral("get_new_stuff"));
        RetrievalFixture f(sim());
        f.run();
        QCOMPARE(f.shown(),
                 QStringList{QStringLiteral("A record of the Orders section is broken by a line "
                                            "break and cannot be put together; it was not "
                                            "imported: \"%1\"")
                                 .arg(short4003.join(QLatin1Char('|')))});
        QCOMPARE(only(f.log(), QStringList{"Error"}).size(), 1);
        QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db ORDER BY INV")),
                 (QVariantList{4000, 4001, 4002, 4004}));
        QCOMPARE(
            f.column(QStringLiteral("SELECT NOTES FROM orders.db WHERE INV<4003 ORDER BY INV")),
            (QVariantList{"line one\r\nline two", "upstairs\n12 bells", "stray\rcarriage return"}));
        QCOMPARE(f.column(QStringLiteral("SELECT NOTES FROM customers.db WHERE CUSTID=9")),
                 QVariantList{"gate code\n1234"});
        QCOMPARE(
            f.column(QStringLiteral("SELECT INFSTRING FROM invoice_result.db ORDER BY INVOICE")),
            (QVariantList{"Paid\nin full", "Open"}));
        QCOMPARE(f.column(QStringLiteral("SELECT NOTE FROM invoice_notes.db")),
                 QVariantList{"first\r\nsecond"});
    }

    void invoiceNumbersThatAreNoNumbersCostOnlyThemselves()
    {
        sim().addOrders({order(8999, 5, QStringLiteral("x"))});
        const QByteArray reply =
            "VendixResponse:3 new orders\nVendixAction:DataSuccess\n"
            "STARTVendixResponse|Orders:\n" +
            orderLine(4100, 5).toUtf8() + '\n' + orderLine(4101, 5).toUtf8() + '\n' +
            orderLine(4102, 5).toUtf8() +
            "\nENDVendixResponse|Orders:\n"
            "STARTVendixResponse|InvMarks:\n4100|Shipped\nENDVendixResponse|InvMarks:\n"
            "STARTVendixResponse|Notes:\n4100|2024-01-02|kept\nENDVendixResponse|Notes:\n"
            "STARTVendixResponse|HTML:\n"
            "VendixBeginInvoice|../../evil<!--END-->evilVendixEndInvoice|\n"
            "VendixBeginInvoice|4100<!--END-->p4100VendixEndInvoice|\n"
            "VendixBeginInvoice|a/b<!--END-->abVendixEndInvoice|\n"
            "VendixBeginInvoice|4102 lost pageVendixEndInvoice|\n"
            "VendixBeginInvoice|4101<!--END-->p4101VendixEndInvoice|\n"
            "ENDVendixResponse|HTML:\n";
        sim().rawReply(reply, 1, QStringLiteral("get_new_stuff"));
        RetrievalFixture f(sim());
        f.run();
        QCOMPARE(f.shown(),
                 (QStringList{"'../../evil' is not a valid integer value",
                              "'a/b' is not a valid integer value",
                              "An invoice has no \"<!--END-->\" after its number and was not "
                              "written: \"VendixBeginInvoice|4102 lost pageVendixEndInvoice|\""}));
        QCOMPARE(QDir(f.home.path(QStringLiteral("data/html"))).entryList(QDir::Files, QDir::Name),
                 (QStringList{"4100inv.html", "4101inv.html"}));
        QCOMPARE(f.readFile(QStringLiteral("data/html/4101inv.html")), QByteArray("p4101\r\n"));
        // Nothing was written anywhere else, under any name.
        QDirIterator all(f.home.home(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        const QDir home(f.home.home());
        while (all.hasNext()) {
            const QString path = home.relativeFilePath(all.next());
            QVERIFY2(!path.contains(QLatin1String("evil")), qPrintable(path));
        }
        // The steps after the invoices ran.
        QCOMPARE(
            f.scalar(QStringLiteral("SELECT ORDERSTATE FROM orders.db WHERE INV=4100")).toString(),
            QStringLiteral("Shipped"));
        QCOMPARE(f.column(QStringLiteral("SELECT NOTE FROM invoice_notes.db")),
                 QVariantList{"kept"});
        QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db ORDER BY INV")),
                 (QVariantList{4100, 4101, 4102}));
    }

    void readOnlyInvoiceFileIsNotReplaced()
    {
        sim().addOrders({order(6100, 5, QStringLiteral("a")), order(6101, 5, QStringLiteral("b"))});
        RetrievalFixture f(sim());
        const QString kept = f.home.path(QStringLiteral("data/html/6101inv.html"));
        QVERIFY(writeAll(kept, "the merchant's own"));
        QVERIFY(QFile::setPermissions(kept, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        f.run();
        QCOMPARE(
            f.shown(),
            QStringList{QStringLiteral("Cannot create file \"%1\". Permission denied").arg(kept)});
        QCOMPARE(f.readFile(QStringLiteral("data/html/6101inv.html")),
                 QByteArray("the merchant's own"));
        QCOMPARE(f.readFile(QStringLiteral("data/html/6100inv.html")), QByteArray("a\r\n"));
        QVERIFY(!QFile::exists(kept + QStringLiteral(".part")));
        QVERIFY(QFile::setPermissions(kept, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    }

    void reimportAppliesEachRecordOnce()
    {
        sim().addOrders(
            {order(7000, 70, QStringLiteral("p7000")), order(7001, 71, QStringLiteral("p7001"))});
        sim().addAccounts({QJsonObject{{"CUSTID", 70}, {"EMAIL", "s@x.com"}, {"NAME", "Sue"}}});
        sim().addNote(7000, QStringLiteral("2024-03-06"), QStringLiteral("Gift-wrap"));
        sim().addMark(7001, QStringLiteral("Payment Received"));
        sim().addStatus(7000, QStringLiteral("Paid"));
        sim().addOrders({order(6999, 5, QStringLiteral("theirs"))});
        RetrievalFixture f(sim());
        // An order number the database already had from elsewhere.
        f.exec(QStringLiteral("INSERT INTO orders.db (INV, NAME) VALUES (6999, 'Local')"));
        f.run();
        const QString dup =
            keyViolation(f, QStringLiteral("INSERT INTO orders.db (INV) VALUES (6999)"));
        QCOMPARE(f.shown(), QStringList{dup});
        const QString kept = f.home.path(QStringLiteral("retrievals/") + keptReplies(f).value(0));

        // The merchant works on: a later state, an edited account; an invoice file is lost.
        f.exec(QStringLiteral("UPDATE orders.db SET ORDERSTATE='Shipped' WHERE INV=7001"));
        f.exec(QStringLiteral("UPDATE customers.db SET NAME='Susan' WHERE CUSTID=70"));
        QVERIFY(QFile::remove(f.home.path(QStringLiteral("data/html/7000inv.html"))));

        for (int run = 1; run <= 2; ++run) {
            f.messages.clear();
            // The genuine duplicate is refused again, with its message: exit 1.
            QCOMPARE(runImportReply(kept), 1);
            QCOMPARE(f.shown(), QStringList{dup});
            QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db ORDER BY INV")),
                     (QVariantList{6999, 7000, 7001}));
            QCOMPARE(
                f.scalar(QStringLiteral("SELECT NAME FROM orders.db WHERE INV=6999")).toString(),
                QStringLiteral("Local"));
            QCOMPARE(f.column(QStringLiteral("SELECT NOTE FROM invoice_notes.db")),
                     (QVariantList{"Gift-wrap"}));
            QCOMPARE(f.scalar(QStringLiteral("SELECT ORDERSTATE FROM orders.db WHERE INV=7001"))
                         .toString(),
                     QStringLiteral("Shipped"));
            QCOMPARE(f.column(QStringLiteral("SELECT NAME FROM customers.db")),
                     (QVariantList{"Susan"}));
            QCOMPARE(f.column(QStringLiteral("SELECT INFSTRING FROM invoice_result.db")),
                     (QVariantList{"Paid"}));
            // Brought back from the kept reply.
            QCOMPARE(f.readFile(QStringLiteral("data/html/7000inv.html")), QByteArray("p7000\r\n"));
            QVERIFY(!QFile::exists(f.home.path(QStringLiteral("data/html/6999inv.html"))));
        }

        // Something that is no kept reply is not imported over the work files.
        QFile junk(f.home.path(QStringLiteral("junk.txt")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("hello");
        junk.close();
        f.messages.clear();
        QCOMPARE(runImportReply(junk.fileName()), 2);
        QCOMPARE(f.shown(),
                 QStringList{QStringLiteral("\"%1\" is not a kept store reply with data.")
                                 .arg(junk.fileName())});
    }

    void correctedRecordIsImportedAlone()
    {
        sim().addOrders({order(7100, 5, QStringLiteral("p7100"))});
        sim().addRaw(QStringLiteral("Orders"),
                     orderLine(7101, 5, QStringLiteral("2024-02-30 10:00:00")));
        sim().addRaw(QStringLiteral("HTML"),
                     QStringLiteral("VendixBeginInvoice|7101<!--END-->p7101VendixEndInvoice|"));
        sim().addNote(7100, QString(), QStringLiteral("once"));
        RetrievalFixture f(sim());
        f.run();
        QCOMPARE(f.shown(), QStringList{"'2024-02-30 10:00:00' is not a valid date and time"});
        const QString name = QStringLiteral("retrievals/") + keptReplies(f).value(0);

        // The merchant mends the date in the kept reply, a plain text file.
        QByteArray text = f.readFile(name);
        text.replace("2024-02-30 10:00:00", "2024-02-29 10:00:00");
        QVERIFY(writeAll(f.home.path(name), text));
        for (int run = 1; run <= 2; ++run) {
            f.messages.clear();
            QCOMPARE(runImportReply(f.home.path(name)), 0);
            QCOMPARE(f.shown(), QStringList());
            QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db ORDER BY INV")),
                     (QVariantList{7100, 7101}));
            QCOMPARE(f.column(QStringLiteral("SELECT NOTE FROM invoice_notes.db")),
                     (QVariantList{"once"}));
        }
        QCOMPARE(
            f.scalar(QStringLiteral("SELECT IDATE FROM orders.db WHERE INV=7101")).toDateTime(),
            QDateTime(QDate(2024, 2, 29), QTime(10, 0)));
        QCOMPARE(f.readFile(QStringLiteral("data/html/7101inv.html")), QByteArray("p7101\r\n"));
    }

    void keptRepliesAreWholeAndNeverOverwritten()
    {
        TempHome home;
        // What a write killed half-way leaves is no kept reply, and blocks nothing.
        QVERIFY(QDir().mkpath(home.path(QStringLiteral("retrievals"))));
        QVERIFY(writeAll(home.path(QStringLiteral("retrievals/2024-06-01_09-30-00.reply.1.part")),
                         "ha"));
        const QString first = keepReply("one", home.home());
        const QString second = keepReply("two", home.home());
        QCOMPARE(first, home.path(QStringLiteral("retrievals/2024-06-01_09-30-00.reply")));
        QCOMPARE(second, home.path(QStringLiteral("retrievals/2024-06-01_09-30-00_2.reply")));
        QCOMPARE(QDir(home.path(QStringLiteral("retrievals"))).entryList(QDir::Files, QDir::Name),
                 (QStringList{"2024-06-01_09-30-00.reply", "2024-06-01_09-30-00.reply.1.part",
                              "2024-06-01_09-30-00_2.reply"}));
        QFile a(first);
        QVERIFY(a.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), QByteArray("one"));
        QCOMPARE(unixMode(first), 0600);
    }

    void integrityHighestNumbersFromOrders()
    {
        RetrievalFixture f(sim());
        f.exec(QStringLiteral("INSERT INTO orders.db (INV, CUSTID) VALUES (1001, 17)"));
        f.exec(QStringLiteral("INSERT INTO orders.db (INV, CUSTID) VALUES (1005, 42)"));
        f.exec(QStringLiteral("INSERT INTO customers.db (CUSTID, EMAIL) VALUES (99, 'z@x.com')"));
        f.run();
        const StoreSim::Request r = sim().lastRequest();
        QCOMPARE(r.field(QStringLiteral("command")), QStringLiteral("check_data_integrity"));
        QCOMPARE(r.field(QStringLiteral("hacc")), QStringLiteral("42"));
        QCOMPARE(r.field(QStringLiteral("hinv")), QStringLiteral("1005"));
    }

    void integrityAccountFixList_data()
    {
        QTest::addColumn<QStringList>("records");
        QTest::addColumn<QString>("mailfix");
        QTest::newRow("store 7 matches local 7 by number")
            << QStringList{"7^X@x.com", "9^W@w.com"} << "X@x.com::7|";
        QTest::newRow("the local number, not the store's")
            << QStringList{"8^Y@y.com"} << "Y@y.com::12|";
        QTest::newRow("three fields and an empty e-mail skipped")
            << QStringList{"7^X@x.com^extra", "7^ ", "12^Y@y.com"} << "Y@y.com::12|";
        QTest::newRow("nothing matches: an empty list still goes")
            << QStringList{"30^n@n.com"} << "";
    }

    void integrityAccountFixList()
    {
        QFETCH(QStringList, records);
        QFETCH(QString, mailfix);
        sim().addOrders({order(8000, 5, QStringLiteral("x"))});
        for (const QString& r : records)
            sim().addRaw(QStringLiteral("DataInt"), r);
        // Stop after the fix post so that it is the last request.
        sim().rawReply("VendixResponse:stop\nVendixAction:PASS_INVALID\n", 1,
                       QStringLiteral("data_int_fix_acct"));
        RetrievalFixture f(sim());
        f.exec(QStringLiteral("INSERT INTO customers.db (CUSTID, EMAIL) VALUES (7, 'X@x.com')"));
        f.exec(QStringLiteral("INSERT INTO customers.db (CUSTID, EMAIL) VALUES (12, 'Y@y.com')"));
        f.run();
        const StoreSim::Request r = sim().lastRequest();
        QCOMPARE(r.field(QStringLiteral("command")), QStringLiteral("data_int_fix_acct"));
        QCOMPARE(r.field(QStringLiteral("mailfix")), mailfix);
        QCOMPARE(only(f.log(), QStringList{"Function"}).mid(1, 2),
                 (QStringList{"Function|Starting local account data integrity process.",
                              "Function|Completed local account data integrity process."}));
    }

    void integritySingleRecordWithoutBarSendsNoFix()
    {
        sim().addOrders({order(8100, 5, QStringLiteral("x"))});
        // The canned reply does not lock the store; it is locked for the retrieval here.
        sim().setLock(QStringLiteral("retrieval"));
        sim().rawReply("VendixResponse:check\nVendixAction:DATACHECK\n"
                       "DATAINTSTARTVendixResponse|7^X@x.com|DATAINTENDVendixResponse\n",
                       1, QStringLiteral("check_data_integrity"));
        RetrievalFixture f(sim());
        f.run();
        QCOMPARE(sim().commands(),
                 (QStringList{"check_data_integrity", "get_new_stuff", "clean_up_invoice"}));
        QVERIFY(!f.log().contains(
            QStringLiteral("Function|Starting local account data integrity process.")));
    }

    void unlockRunsTheRetrieval()
    {
        sim().addOrders({order(9000, 5, QStringLiteral("x"))});
        sim().setLock(QStringLiteral("retrieval"));
        RetrievalFixture f(sim());
        f.session->RunSession(StoreSession::UnlockAction);
        QCOMPARE(f.shown(), QStringList());
        QVERIFY(f.log().contains(
            QStringLiteral("Vendix|Ordersentinel must now perform order retrieval!")));
        QCOMPARE(f.column(QStringLiteral("SELECT INV FROM orders.db")), (QVariantList{9000}));
    }
};

QTEST_GUILESS_MAIN(TestRetrieval)
#include "test_retrieval.moc"
