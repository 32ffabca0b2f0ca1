// The order rules over real tables, and the export through the executable.

#include "common/file_utils.h"
#include "common/scripted_messages.h"
#include "common/table_rows.h"
#include "common/temp_home.h"

#include "base/clock.h"
#include "base/error.h"
#include "base/main_services.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "orders/order_checks.h"
#include "orders/order_columns.h"
#include "orders/order_export.h"
#include "orders/order_filter.h"
#include "orders/order_marking.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>

#include <memory>

using namespace os;

namespace {

const QString kProgram = QStringLiteral(OS_PROGRAM_EXE);

class RecordingMain : public MainServices
{
public:
    void SetCommandsEnabled(bool enabled) override { calls << enabled; }
    void CloseOtherChildWindows() override {}
    QList<bool> calls;
};

// The rows of a CSV file as Python's csv module reads them (an independent
// reader of RFC 4180).
QList<QStringList> readCsv(const QString& path)
{
    QProcess py;
    py.start("/usr/bin/python3", {"-c",
                                  "import csv, json, sys\n"
                                  "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                                  "    print(json.dumps(list(csv.reader(f, strict=True))))",
                                  path});
    if (!py.waitForFinished(30000) || py.exitCode() != 0)
        return {};
    QList<QStringList> rows;
    for (const QJsonValue& row : QJsonDocument::fromJson(py.readAllStandardOutput()).array()) {
        QStringList cells;
        for (const QJsonValue& c : row.toArray())
            cells << c.toString();
        rows << cells;
    }
    return rows;
}

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run runProgram(const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(kProgram, args);
    Run r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

const QStringList kTitles = {"Invoice",      "Customer",  "Date",  "Total",   "Last Marked",
                             "Order Status", "Method",    "Name",  "Company", "E-mail",
                             "P.O.",         "Affiliate", "Coupon"};

} // namespace

class TestOrders : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TempHome> m_home;
    std::unique_ptr<test::ScriptedMessages> m_messages;
    std::unique_ptr<TMainDataMod> m_dm;

    Table& orders() { return *m_dm->ORDERs; }
    void open(const QList<QVariantMap>& rows)
    {
        test::insertRows(m_home->dataDir(), "orders", rows);
        orders().refresh();
    }
    QVariant column(int inv, const char* field)
    {
        Table t("orders");
        t.setDirectory(m_home->dataDir());
        t.open();
        return t.locate("INV", inv) ? t.value(field) : QVariant();
    }

    // The history rows as "order|command|old|new", in entry order.
    QStringList history()
    {
        Table t("order_history");
        t.setDirectory(m_home->dataDir());
        t.open();
        QStringList rows;
        for (t.first(); !t.eof(); t.next())
            rows << QStringList{t.value("INV").toString(), t.value("COMMAND").toString(),
                                t.value("OLDVALUE").toString(), t.value("NEWVALUE").toString()}
                        .join('|');
        return rows;
    }

private slots:
    void init()
    {
        m_home = std::make_unique<test::TempHome>();
        m_messages = std::make_unique<test::ScriptedMessages>();
        m_dm = std::make_unique<TMainDataMod>();
        QVERIFY(m_dm->OpenCompanyDatabase(m_home->dataDir()));
        m_messages->clear();
    }

    void cleanup()
    {
        Clock::pin(QDateTime());
        m_dm.reset();
        QVERIFY(!m_messages->unexpectedQuestion());
        m_messages.reset();
        m_home.reset();
    }

    void markOrderAsksItsQuestionAndStamps()
    {
        const QDateTime before(QDate(2023, 5, 1), QTime(12, 0));
        open({test::orderRow(1, "New", {{"LASTMARKED", before}})});
        const QStringList questions = {
            "You are about to mark this order \"Payment Received\". This will not undo any "
            "previous actions, it will only move the order to the \"Payment Received\" "
            "list.\r\rAre you sure you want to do this?",
            "You are about to mark this order \"Shipped\". This will not undo any previous "
            "actions, it will only move the order to the \"Shipped\" list.\r\rAre you sure you "
            "want to do this?",
            "You are about to mark this order \"Partially Shipped\". This will not undo any "
            "previous actions, it will only move the order to the \"Partially Shipped\" "
            "list.\r\rAre you sure you want to do this?",
            "You are about to mark this order \"Complete\". This will not undo any previous "
            "actions, it will only move the order to the \"Complete\" list.\r\rAre you sure you "
            "want to do this?",
            "You are about to mark this order \"Status Pending\".  This will not undo any "
            "previous actions, it will only move the order to the \"Status Pending\" "
            "list.\r\rAre you sure you want to do this?",
            "You are about to mark this order \"Void\".  This will not undo any previous "
            "actions, it will only move the order to the \"Void\" list.\r\rAre you sure you "
            "want to do this?",
            "You are about to mark this order \"New\". This will not undo any previous actions; "
            "it will only move the order to the \"New\" list.\r\rAre you sure you want to do "
            "this?",
        };
        const QStringList states = {"Payment Received",
                                    "Shipped",
                                    "Partially Shipped",
                                    "Complete",
                                    "Status Pending",
                                    "Void",
                                    "New"};
        // No changes nothing.
        m_messages->queueAnswer(Answer::No);
        QVERIFY(!MarkOrder(orders(), "Void"));
        QCOMPARE(column(1, "ORDERSTATE").toString(), QString("New"));
        m_messages->clear();
        for (int i = 0; i < states.size(); ++i) {
            const QDateTime now = QDateTime(QDate(2024, 2, 3), QTime(10, 0)).addSecs(i * 60);
            Clock::pin(now);
            m_messages->queueAnswer(Answer::Yes);
            QVERIFY(MarkOrder(orders(), states.at(i)));
            QCOMPARE(m_messages->texts().last(), questions.at(i));
            QCOMPARE(column(1, "ORDERSTATE").toString(), states.at(i));
            QCOMPARE(column(1, "LASTMARKED").toDateTime(), now);
        }
        QCOMPARE(m_messages->texts(), questions);
        // The state it has: nothing asked, nothing written, LASTMARKED kept.
        Clock::pin(QDateTime(QDate(2030, 1, 1), QTime(0, 0)));
        QVERIFY(!MarkOrder(orders(), "New"));
        QCOMPARE(m_messages->texts().size(), 7);
        QCOMPARE(column(1, "LASTMARKED").toDateTime(), QDateTime(QDate(2024, 2, 3), QTime(10, 6)));
        // One history row per change, none for the mark that changed nothing.
        QStringList expected;
        QString from = "New";
        for (const QString& to : states) {
            expected << "1|Mark Order|" + from + '|' + to;
            from = to;
        }
        QCOMPARE(history(), expected);
    }

    // Mark ALL reaches the orders of the state the filter hides, binds a
    // state with a quote and leaves LASTMARKED; the main window's commands
    // are off while it runs and on again after.
    void markAllBindsItsStatesAndReachesHiddenOrders()
    {
        const QDateTime stamp(QDate(2023, 1, 1), QTime(8, 0));
        open({test::orderRow(1, "Bob's", {{"CUSTID", 7}, {"LASTMARKED", stamp}}),
              test::orderRow(2, "Bob's", {{"CUSTID", 8}}),
              test::orderRow(3, "bob's", {{"CUSTID", 8}}),
              test::orderRow(4, "New", {{"CUSTID", 7}}),
              test::orderRow(5, "Bob's' OR ORDERSTATE<>'", {{"CUSTID", 9}})});
        ApplyCustomFilter(orders(), "CUSTID", "7");
        QCOMPARE(orders().recordCount(), 2);
        QVERIFY(orders().locate("INV", 1));
        RecordingMain main;
        m_messages->queueAnswer(Answer::Yes);
        QVERIFY(MarkAllOrders(orders(), *m_dm->MarkAllQ, "Complete", main));
        QCOMPARE(m_messages->texts(),
                 QStringList({"You are about to mark ALL Bob's orders to Complete. Are you sure "
                              "you want to do this?"}));
        QCOMPARE(main.calls, QList<bool>({false, true}));
        QCOMPARE(column(1, "ORDERSTATE").toString(), QString("Complete"));
        QCOMPARE(column(2, "ORDERSTATE").toString(), QString("Complete")); // hidden by the filter
        QCOMPARE(column(3, "ORDERSTATE").toString(), QString("bob's"));    // exact state only
        QCOMPARE(column(4, "ORDERSTATE").toString(), QString("New"));
        QCOMPARE(column(5, "ORDERSTATE").toString(), QString("Bob's' OR ORDERSTATE<>'"));
        QCOMPARE(column(1, "LASTMARKED").toDateTime(), stamp);
        QVERIFY(column(2, "LASTMARKED").isNull());
        // The list shows the new state at once.
        QCOMPARE(orders().value("ORDERSTATE").toString(), QString("Complete"));

        // One history row per order it changed, none for the others.
        QStringList marked = history();
        marked.sort();
        QCOMPARE(marked, QStringList({"1|Mark ALL|Bob's|Complete", "2|Mark ALL|Bob's|Complete"}));

        // To the state it has, or answered No: nothing.
        QVERIFY(!MarkAllOrders(orders(), *m_dm->MarkAllQ, "Complete", main));
        m_messages->queueAnswer(Answer::No);
        QVERIFY(!MarkAllOrders(orders(), *m_dm->MarkAllQ, "Void", main));
        QCOMPARE(column(4, "ORDERSTATE").toString(), QString("New"));
        QCOMPARE(main.calls, QList<bool>({false, true}));
        QCOMPARE(history().size(), 2);
    }

    void paymentMethodQuestions()
    {
        open({test::orderRow(1, "Shipped", {{"METHOD", "Unknown"}})});
        const QString cc = "You are about to change the payment method to Credit Card. \r\rAre you "
                           "sure you want to do this?";
        const QString ccWhy =
            "The only reason for doing this is that you accidentally changed a \"Credit Card\" "
            "order to another method and you now want to switch it back.\r\rYou may want to "
            "consider marking this order \"Credit Card by Phone\" instead.\r\rContinue anyway?";
        const QString remote = "You are about to change the payment method to \"Remote Credit "
                               "Card\". \r\rAre you sure you want to do this?";
        const QString remoteWhy =
            "The only reason for doing this is that you accidentally changed a \"Remote Credit "
            "Card\" Order to another method and you now want to switch it back.\r\rYou may want "
            "to consider marking this order \"Credit Card by Phone\" instead.\r\rContinue anyway?";
        // No to the second question stops.
        m_messages->queueAnswer(Answer::Yes);
        m_messages->queueAnswer(Answer::No);
        QVERIFY(!ChangePaymentMethod(orders(), "Credit Card"));
        QCOMPARE(m_messages->texts(), QStringList({cc, ccWhy}));
        QCOMPARE(column(1, "METHOD").toString(), QString("Unknown"));
        m_messages->clear();
        m_messages->queueAnswer(Answer::Yes);
        m_messages->queueAnswer(Answer::Yes);
        QVERIFY(ChangePaymentMethod(orders(), "Remote Credit Card"));
        QCOMPARE(m_messages->texts(), QStringList({remote, remoteWhy}));
        const QList<std::pair<QString, QString>> single = {
            {"Credit Card by Phone", "You are about to change the payment method to \"Credit "
                                     "Card by Phone\". \r\rAre you sure you want to do this?"},
            {"COD", "You are about to change the payment method to COD. \r\rAre you sure you "
                    "want to do this?"},
            {"Purchase Order", "You are about to change the payment method to Purchase Order. "
                               "\r\rAre you sure you want to do this?"},
            {"Mail Payment", "You are about to change the payment method to \"Mail Payment\". "
                             "\r\rAre you sure you want to do this?"},
        };
        for (const auto& [method, question] : single) {
            m_messages->clear();
            m_messages->queueAnswer(Answer::Yes);
            QVERIFY(ChangePaymentMethod(orders(), method));
            QCOMPARE(m_messages->texts(), QStringList({question}));
            QCOMPARE(column(1, "METHOD").toString(), method);
        }
        // The method it has: nothing asked; the state is never touched.
        m_messages->clear();
        QVERIFY(!ChangePaymentMethod(orders(), "Mail Payment"));
        QVERIFY(m_messages->texts().isEmpty());
        QCOMPARE(column(1, "ORDERSTATE").toString(), QString("Shipped"));
        QVERIFY(column(1, "LASTMARKED").isNull());
        QCOMPARE(history().last(), QString("1|Change Payment Method|Purchase Order|Mail Payment"));
    }

    void deleteTakesTheRowAndTheInvoiceOnly()
    {
        open({test::orderRow(1043), test::orderRow(1044)});
        const QString dir = m_home->dataDir();
        test::insertRows(dir, "invoice_notes", {{{"INVOICE", 1044}, {"NOTE", "call back"}}});
        test::insertRows(dir, "shipped_info", {{{"INV", 1044}, {"SERVICE", "Post"}}});
        test::insertRows(dir, "invoice_result", {{{"INVOICE", 1044}, {"INFSTRING", "Paid"}}});
        QFile invoice(invoiceFilePath(dir, 1044));
        QVERIFY(invoice.open(QIODevice::WriteOnly));
        invoice.close();
        QCOMPARE(invoice.fileName(), dir + "/html/1044inv.html");
        QCOMPARE(orders().value("INV").toInt(), 1044);

        const QString question = "You are about to delete this order. Once you delete the order "
                                 "you can not retrieve it again, it will be permanently deleted "
                                 "and unrecoverable.\r\rAre you sure you want to delete this "
                                 "order?";
        m_messages->queueAnswer(Answer::No);
        QVERIFY(!DeleteOrder(orders(), dir));
        QVERIFY(invoice.exists());
        m_messages->queueAnswer(Answer::Yes);
        QVERIFY(DeleteOrder(orders(), dir));
        QCOMPARE(m_messages->texts(), QStringList({question, question}));
        QCOMPARE(m_messages->beeps(), 2);
        QVERIFY(!invoice.exists());
        QVERIFY(column(1044, "INV").isNull());
        QCOMPARE(orders().value("INV").toInt(), 1043);
        for (const char* table : {"invoice_notes", "shipped_info", "invoice_result"}) {
            Table t(table);
            t.setDirectory(dir);
            t.open();
            QCOMPARE(t.recordCount(), 1);
        }
        // A missing invoice is no error.
        m_messages->queueAnswer(Answer::Yes);
        QVERIFY(DeleteOrder(orders(), dir));
        QVERIFY(orders().isEmpty());
        QVERIFY(!DeleteOrder(orders(), dir)); // an empty list: nothing, no beep
        QCOMPARE(m_messages->beeps(), 3);
    }

    void dialogPreChecks()
    {
        struct Case
        {
            bool (*check)(const QString&);
            QString state;
            QString question; // empty: opens without asking
        };
        const QList<Case> cases = {
            {ReceivePaymentCheck, "New", ""},
            {ReceivePaymentCheck, "Shipped",
             "This item is not \"New\", are you sure you want to do this?\r\rThe only reason for "
             "doing this is to update or preview the payment information."},
            {ShipOrderCheck, "New",
             "This order is marked \"New\", are you sure you want to start "
             "the Shipping Wizard?"},
            {ShipOrderCheck, "Complete",
             "This order is marked \"Complete\", are you sure you "
             "want to start the Shipping Wizard?"},
            {ShipOrderCheck, "Void",
             "This order is marked \"Void\", are you sure you want to "
             "start the Shipping Wizard?"},
            {ShipOrderCheck, "Shipped",
             "This has already been marked \"Shipped\", are you sure "
             "you want to start the Shipping Wizard?"},
            {ShipOrderCheck, "Payment Received", ""},
            {CompleteOrderCheck, "Complete",
             "This item has already been marked \"Complete\", "
             "are you sure you want to do this?"},
            {CompleteOrderCheck, "Shipped", ""},
            {CompleteOrderCheck, "Payment Received",
             "This order is currently marked \"Payment Received \", are you sure you want to mark "
             "it \"Complete\"?"},
            {ChangePriceCheck, "New", ""},
            {ChangePriceCheck, "Void",
             "This order is not \"New\"! Are you sure you want to change the price?"},
        };
        for (const Case& c : cases) {
            m_messages->clear();
            if (!c.question.isEmpty())
                m_messages->queueAnswer(Answer::No);
            QCOMPARE(c.check(c.state), c.question.isEmpty());
            QCOMPARE(m_messages->texts(),
                     c.question.isEmpty() ? QStringList() : QStringList({c.question}));
        }
        m_messages->queueAnswer(Answer::Yes);
        QVERIFY(ShipOrderCheck("Void"));
        // States compare exactly: a "void" written in lower case is not "Void".
        QVERIFY(VoidOrderCheck("void"));
        QVERIFY(!VoidOrderCheck("Void"));
        QVERIFY(!StatusPendingCheck("Status Pending"));
        QVERIFY(StatusPendingCheck("New"));
        QVERIFY(takesCards("Credit Card by Phone") && takesCards("Remote Credit Card"));
        QVERIFY(!takesCards("COD"));
        QCOMPARE(cardWindowFor("Credit Card", ""), CardWindow::Card);
        QCOMPARE(cardWindowFor("Credit Card by Phone", ""), CardWindow::CardEntry);
        QCOMPARE(cardWindowFor("Credit Card by Phone", "4111"), CardWindow::Card);
    }

    // The export as a CSV parser reads it: the grid's titles and order, the
    // filter (Custom and a search included), awkward values intact, dates in
    // ISO 8601, totals with a full stop, never the card data.
    void exportReadsBack()
    {
        open({test::orderRow(10, "New",
                             {{"NAME", "Smith, \"Jr.\"\r\nSecond line"},
                              {"COMPANY", "Ça va, ünïcode ✓"},
                              {"TOTAL", 1234.565},
                              {"CARDNUM", "4111111111111111"},
                              {"CCPHONE", "555-0100"},
                              {"AFFILIATECODE", 77},
                              {"LASTMARKED", QDateTime(QDate(2023, 4, 5), QTime(6, 7, 8))}}),
              test::orderRow(11, "Void", {{"TOTAL", -0.004}, {"COUPON", "  spaced  "}}),
              test::orderRow(12, "new", {{"EMAIL", ""}, {"TOTAL", QVariant()}})});
        const QString file = m_home->path("out.csv");
        applyStateFilter(orders(), "New");
        QCOMPARE(ExportOrdersToFile(orders(), file), 2);
        const QList<QStringList> rows = readCsv(file);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0), kTitles);
        QCOMPARE(rows.at(1), QStringList({"12", "1012", "2022-01-01T09:12:00", "", "", "new",
                                          "Credit Card", "Customer 12", "", "", "", "", ""}));
        QCOMPARE(rows.at(2),
                 QStringList({"10", "1010", "2022-01-01T09:10:00", "1234.57", "2023-04-05T06:07:08",
                              "New", "Credit Card", "Smith, \"Jr.\"\r\nSecond line",
                              "Ça va, ünïcode ✓", "c10@example.com", "", "77", ""}));
        const QByteArray raw = test::readAll(file);
        QVERIFY(!raw.contains("4111") && !raw.contains("555-0100"));
        QVERIFY(raw.startsWith("Invoice,Customer,Date,Total,"));
        QVERIFY(raw.contains("\r\n12,1012,"));

        // Whatever the list shows: the Custom filter, a search, all.
        ApplyCustomFilter(orders(), "INV", "11");
        QCOMPARE(ExportOrdersToFile(orders(), file), 1);
        QCOMPARE(readCsv(file).at(1).mid(3, 1), QStringList({"0.00"}));
        QCOMPARE(readCsv(file).at(1).last(), QString("  spaced  "));
        QVERIFY(findOrders(orders(), "SMITH"));
        QCOMPARE(ExportOrdersToFile(orders(), file), 1);
        applyStateFilter(orders(), "ALL");
        QCOMPARE(ExportOrdersToFile(orders(), file), 3);
        // A file that cannot be written is an error and leaves nothing behind.
        QVERIFY_THROWS_EXCEPTION(Error,
                                 ExportOrdersToFile(orders(), m_home->path("no/such/x.csv")));
        QVERIFY(!QFile::exists(m_home->path("no/such/x.csv")));
    }

    // A cell a spreadsheet would run as a formula goes out as text (a leading
    // apostrophe); a number keeps its sign. The file is the merchant's alone.
    void exportGuardsFormulas()
    {
        open({test::orderRow(1, "New",
                             {{"NAME", "=HYPERLINK(\"http://evil.test\",\"x\")"},
                              {"COMPANY", "+1-555-0100 Ltd"},
                              {"EMAIL", "@SUM(A1:A9)"},
                              {"COUPON", "-12.50"}}),
              test::orderRow(2, "New",
                             {{"NAME", "\tTabbed"},
                              {"COMPANY", "\rReturn"},
                              {"EMAIL", "a=b@example.com"},
                              {"COUPON", "+7"}}),
              test::orderRow(3, "New", {{"NAME", "-Dash name"}, {"COUPON", "-"}})});
        const QString file = m_home->path("guard.csv");
        QCOMPARE(ExportOrdersToFile(orders(), file), 3);
        QCOMPARE(test::unixMode(file), 0600);
        const QList<QStringList> rows = readCsv(file);
        QCOMPARE(rows.size(), 4);
        // Newest first: 3, 2, 1. Name, Company, E-mail; then Coupon.
        QCOMPARE(rows.at(1).mid(7, 3), QStringList({"'-Dash name", "", "c3@example.com"}));
        QCOMPARE(rows.at(1).at(12), QString("'-"));
        QCOMPARE(rows.at(2).mid(7, 3), QStringList({"'\tTabbed", "'\rReturn", "a=b@example.com"}));
        QCOMPARE(rows.at(2).at(12), QString("+7"));
        QCOMPARE(rows.at(3).mid(7, 3), QStringList({"'=HYPERLINK(\"http://evil.test\",\"x\")",
                                                    "'+1-555-0100 Ltd", "'@SUM(A1:A9)"}));
        QCOMPARE(rows.at(3).at(12), QString("-12.50"));
        // An existing file others could read is replaced by one they cannot.
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ReadGroup | QFile::ReadOther));
        QCOMPARE(ExportOrdersToFile(orders(), file), 3);
        QCOMPARE(test::unixMode(file), 0600);
    }

    // `--export-orders` through the real executable: the header, the state
    // filter (case ignored), the exit codes, no program lock needed.
    void headlessExport()
    {
        open({test::orderRow(1, "Complete"), test::orderRow(2, "New"),
              test::orderRow(3, "complete")});
        m_dm.reset(); // the program runs on its own
        const QString out = m_home->path("x.csv");
        Run r =
            runProgram({"--home", m_home->home(), "--export-orders", out, "--state", "COMPLETE"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString("Export\t2 orders written to %1\n").arg(out));
        QList<QStringList> rows = readCsv(out);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows.at(0), kTitles);
        QCOMPARE(rows.at(1).first(), QString("3"));
        QCOMPARE(rows.at(2).first(), QString("1"));

        r = runProgram({"--home", m_home->home(), "--export-orders", out});
        QCOMPARE(r.code, 0);
        QCOMPARE(readCsv(out).size(), 4);

        r = runProgram({"--home", m_home->home(), "--export-orders", out, "--state", "Lost"});
        QCOMPARE(r.code, 2);
        QCOMPARE(r.err, QString("Unknown order state \"Lost\". The states are:\n  New\n  Payment "
                                "Received\n  Partially Shipped\n  Shipped\n  Status Pending\n  "
                                "Complete\n  Void\n  AutoVoid\n  ALL\n"));
        r = runProgram({"--home", m_home->home(), "--state", "New"});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains("--state needs --export-orders"));
        r = runProgram({"--home", m_home->home(), "--export-orders", m_home->path("no/dir/x.csv")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("no/dir/x.csv"));
        // A home without tables gets them, as the program itself does.
        test::TempHome fresh;
        r = runProgram({"--home", fresh.home(), "--export-orders", fresh.path("e.csv")});
        QCOMPARE(r.code, 0);
        QCOMPARE(readCsv(fresh.path("e.csv")), QList<QStringList>({kTitles}));
        QVERIFY(QFile::exists(fresh.dataDir() + "/orders.db"));
        QVERIFY(runProgram({"--help"}).out.contains("--export-orders FILE [--state STATE]"));
    }
};

QTEST_GUILESS_MAIN(TestOrders)
#include "test_orders.moc"
