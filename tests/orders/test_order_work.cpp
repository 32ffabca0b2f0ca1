// Working an order without windows: the history file and its rows, the card
// number format, the shipping info block, over real tables.

#include "common/file_utils.h"
#include "common/scripted_messages.h"
#include "common/temp_home.h"
#include "common/throws.h"

#include "base/clock.h"
#include "base/text_utils.h"
#include "data/catalogue.h"
#include "data/db_error.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "orders/card_number.h"
#include "orders/order_history.h"
#include "orders/order_letter.h"
#include "orders/shipping_info.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <memory>

using namespace os;

namespace {

const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 30, 15));

struct HistoryRow
{
    int inv;
    QString when, command, changed, oldValue, newValue;
    bool operator==(const HistoryRow&) const = default;
};

char* toString(const HistoryRow& r)
{
    return QTest::toString(QStringLiteral("{%1 %2 %3 %4 '%5' '%6'}")
                               .arg(r.inv)
                               .arg(r.when, r.command, r.changed, r.oldValue, r.newValue));
}

// Every history row in entry order.
QList<HistoryRow> historyRows(const QString& dir)
{
    Table t("order_history");
    t.setDirectory(dir);
    t.open();
    QList<HistoryRow> rows;
    for (t.first(); !t.eof(); t.next())
        rows << HistoryRow{
            t.value("INV").toInt(),         t.value("IDATE").toDateTime().toString(Qt::ISODate),
            t.value("COMMAND").toString(),  t.value("CHANGED").toString(),
            t.value("OLDVALUE").toString(), t.value("NEWVALUE").toString()};
    return rows;
}

} // namespace

class TestOrderWork : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TempHome> m_home;
    std::unique_ptr<test::ScriptedMessages> m_messages;
    std::unique_ptr<TMainDataMod> m_dm;

    QString dir() const { return m_home->dataDir(); }
    Table& orders() { return *m_dm->ORDERs; }

    void addOrder(int inv, const QString& state, const QVariantMap& more = {})
    {
        Table t("orders");
        t.setDirectory(dir());
        t.open();
        t.insert();
        t.setValue("INV", inv);
        t.setValue("CUSTID", 500 + inv);
        t.setValue("ORDERSTATE", state);
        t.setValue("METHOD", "Credit Card");
        t.setValue("TOTAL", 10.0 * inv);
        t.setValue("CARDNUM", "4111 1111 1111 1111");
        for (auto it = more.begin(); it != more.end(); ++it)
            t.setValue(it.key(), it.value());
        QVERIFY(t.post());
        orders().refresh();
    }
    void goTo(int inv) { QVERIFY(orders().locate("INV", inv)); }
    void addTemplate(const QString& name, const QString& body, const QString& from = "shop@x.test")
    {
        Table t("form_letters");
        t.setDirectory(dir());
        t.open();
        t.insert();
        t.setValue("DOCNAME", name);
        t.setValue("DOCBODY", body);
        t.setValue("FROM", from);
        QVERIFY(t.post());
    }
    struct Queued
    {
        QString type, subject, to, from, body;
    };
    QList<Queued> outbox()
    {
        Table t("outbox");
        t.setDirectory(dir());
        t.open();
        QList<Queued> rows;
        for (t.first(); !t.eof(); t.next())
            rows << Queued{t.value("TYPE").toString(), t.value("SUBJECT").toString(),
                           t.value("TO").toString(), t.value("FROM").toString(),
                           t.value("BODY").toString()};
        return rows;
    }

private slots:
    void init()
    {
        m_home = std::make_unique<test::TempHome>();
        m_messages = std::make_unique<test::ScriptedMessages>();
        m_dm = std::make_unique<TMainDataMod>();
        QVERIFY(m_dm->OpenCompanyDatabase(dir()));
        Clock::pin(kNow);
    }
    void cleanup()
    {
        QVERIFY(!m_messages->unexpectedQuestion());
        Clock::pin(QDateTime());
        m_dm.reset();
        m_messages.reset();
        m_home.reset();
    }

    // A company database made before the history existed opens with the
    // history added and nothing else touched.
    void olderDatabaseGainsHistoryOnly()
    {
        addOrder(1001, "New");
        m_dm->CloseCompanyDatabase();
        m_dm.reset();
        QVERIFY(QFile::remove(dir() + "/order_history.db"));
        QMap<QString, QByteArray> before;
        for (const QString& f : QDir(dir()).entryList({"*.db"}, QDir::Files))
            before.insert(f, test::readAll(dir() + "/" + f));
        QCOMPARE(before.size(), 18);

        m_dm = std::make_unique<TMainDataMod>();
        QVERIFY(TMainDataMod::creationNotice(dir()).isEmpty());
        QVERIFY(m_dm->OpenCompanyDatabase(dir()));
        QVERIFY(m_messages->texts().isEmpty());
        QCOMPARE(test::unixMode(dir() + "/order_history.db"), 0600);
        for (auto it = before.begin(); it != before.end(); ++it)
            QVERIFY2(test::readAll(dir() + "/" + it.key()) == it.value(), qPrintable(it.key()));
        QVERIFY(historyRows(dir()).isEmpty());

        // It is read per order, newest first, by its own index.
        const IndexDef* ix = findTableDef("order_history")->index("INVID");
        QVERIFY(ix);
        QCOMPARE(ix->fields, QStringList({"INV", "ID"}));
        QVERIFY(ix->descending);
    }

    // A change is posted with one row per tracked column it changes, in one
    // transaction; an unchanged post writes none.
    void postRecordsEachTrackedChange()
    {
        addOrder(1001, "New");
        addOrder(1002, "New");
        goTo(1001);
        orders().edit();
        orders().setValue("ORDERSTATE", "Void");
        orders().setValue("TOTAL", 12.5);
        orders().setValue("METHOD", "COD");
        orders().setValue("NAME", "not followed");
        QVERIFY(postOrderChange(orders(), history::kVoidOrder));
        QCOMPARE(orders().state(), Table::State::Browse);
        QCOMPARE(orders().value("ORDERSTATE").toString(), QStringLiteral("Void"));
        const QString t = "2024-03-05T14:30:15";
        QCOMPARE(historyRows(dir()),
                 QList<HistoryRow>({{1001, t, "Void Order", "Order Status", "New", "Void"},
                                    {1001, t, "Void Order", "Method", "Credit Card", "COD"},
                                    {1001, t, "Void Order", "Total", "10010.00", "12.50"}}));

        // Nothing tracked changed: no row.
        orders().edit();
        orders().setValue("NAME", "again");
        QVERIFY(postOrderChange(orders(), history::kChangePrice));
        orders().edit();
        orders().setValue("ORDERSTATE", "Void");
        QVERIFY(postOrderChange(orders(), history::kMarkOrder));
        QCOMPARE(historyRows(dir()).size(), 3);
    }

    // A refused post and an engine failure leave neither the change nor a row.
    void failedPostLeavesNoRow()
    {
        addOrder(1001, "New");
        goTo(1001);
        orders().setBeforePost([](Table&) { return false; });
        orders().edit();
        orders().setValue("ORDERSTATE", "Complete");
        QVERIFY(!postOrderChange(orders(), history::kCompleteOrder));
        QCOMPARE(orders().state(), Table::State::Edit);
        QCOMPARE(orders().value("ORDERSTATE").toString(), QStringLiteral("Complete"));
        orders().cancel();
        orders().setBeforePost({});
        QVERIFY(historyRows(dir()).isEmpty());

        // Without its history file a change is refused, not made unrecorded.
        QVERIFY(QFile::remove(dir() + "/order_history.db"));
        orders().edit();
        orders().setValue("ORDERSTATE", "Complete");
        OS_VERIFY_THROWS(DbError, postOrderChange(orders(), history::kCompleteOrder),
                         "Table does not exist: " + dir() + "/order_history.db");
        QCOMPARE(orders().state(), Table::State::Edit);
        orders().cancel();
        orders().refresh();
        QCOMPARE(orders().value("ORDERSTATE").toString(), QStringLiteral("New"));
    }

    void cardNumberFormat_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("four blocks") << "4111 1111-1111 - 1111"
                                     << "4111-1111-1111-1111";
        QTest::newRow("15 digits") << "378282246310005"
                                   << "3782-8224-6310-005";
        QTest::newRow("nine digits") << "123456789"
                                     << "1234-5678-9";
        QTest::newRow("no digit") << "on file"
                                  << "on file";
        QTest::newRow("empty") << ""
                               << "";
    }
    void cardNumberFormat()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QCOMPARE(reformattedCardNumber(typed), stored);
    }

    // On the order: the question, the number stored, a history row that
    // names the change and never the number.
    void reformatCardNumberOnOrder()
    {
        addOrder(1001, "New");
        addOrder(1002, "New", {{"CARDNUM", "12345678901234567890123"}});
        goTo(1001);
        m_messages->queueAnswer(Answer::No);
        QVERIFY(!ReformatCardNumber(orders()));
        QCOMPARE(orders().value("CARDNUM").toString(), QStringLiteral("4111 1111 1111 1111"));

        m_messages->queueAnswer(Answer::Yes);
        QVERIFY(ReformatCardNumber(orders()));
        QCOMPARE(m_messages->texts().last(),
                 QStringLiteral("Reformat credit card number to a more readable format?"));
        orders().refresh();
        QCOMPARE(orders().value("CARDNUM").toString(), QStringLiteral("4111-1111-1111-1111"));
        const QList<HistoryRow> rows = historyRows(dir());
        QCOMPARE(rows, QList<HistoryRow>({{1001, "2024-03-05T14:30:15", "Reformat Card Number",
                                           "Card Details", "", "Card Number changed"}}));

        // Already readable: asked, nothing written.
        m_messages->queueAnswer(Answer::Yes);
        QVERIFY(!ReformatCardNumber(orders()));
        // 23 digits would need 28 characters: the number stays whole.
        goTo(1002);
        m_messages->queueAnswer(Answer::Yes);
        QVERIFY(!ReformatCardNumber(orders()));
        QCOMPARE(orders().value("CARDNUM").toString(), QStringLiteral("12345678901234567890123"));
        QCOMPARE(historyRows(dir()).size(), 1);
    }

    // Which card details changed is recorded, in one row, without values.
    void cardDetailsNamedNotShown()
    {
        addOrder(1001, "New", {{"CCMONTH", "01"}, {"CCYEAR", "25"}});
        goTo(1001);
        orders().edit();
        orders().setValue("CARDTYPE", "Visa");
        orders().setValue("CARDNUM", "5500 0000 0000 0004");
        orders().setValue("CCMONTH", "02");
        orders().setValue("CCYEAR", "26");
        QVERIFY(postOrderChange(orders(), history::kModifyCardInformation));
        const QList<HistoryRow> rows = historyRows(dir());
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.at(0).changed, QStringLiteral("Card Details"));
        QCOMPARE(rows.at(0).oldValue, QString());
        QCOMPARE(rows.at(0).newValue, QStringLiteral("Card Type, Card Number and Expiry changed"));
        QVERIFY(!test::readAll(dir() + "/order_history.db").contains("5500"));
    }

    // Mark ALL's rows: every order in exactly that state, whatever the filter.
    void rowsForAState()
    {
        addOrder(1001, "New");
        addOrder(1002, "Shipped");
        addOrder(1003, "New");
        addOrder(1004, "new");
        OrderHistoryWriter writer(dir());
        QCOMPARE(writer.addForState("New", "Complete", history::kMarkAll, kNow), 2);
        const QString t = "2024-03-05T14:30:15";
        QList<HistoryRow> rows = historyRows(dir());
        std::sort(rows.begin(), rows.end(), [](auto& a, auto& b) { return a.inv < b.inv; });
        QCOMPARE(rows,
                 QList<HistoryRow>({{1001, t, "Mark ALL", "Order Status", "New", "Complete"},
                                    {1003, t, "Mark ALL", "Order Status", "New", "Complete"}}));
    }

    // The tags of both letters, in capitals or not; values scanned by the
    // later tags only; the two orders of replacement.
    void orderLetterMerge()
    {
        const QVariantMap order{{"NAME", "%io_city%"},
                                {"CITY", "Springfield %IO_NAME%"},
                                {"STREET", "1 Main St"},
                                {"INV", 1043},
                                {"CUSTID", 77},
                                {"TOTAL", 1234.5},
                                {"METHOD", "%io_invoice_number%"},
                                {"IDATE", QDateTime(QDate(2024, 2, 29), QTime(0, 0))}};
        const MergeField field = [&](const QString& c) { return order.value(c); };
        const QString body =
            "Dear %IO_NAME%, %io_street% #%Invoice_Number% for %customer_id% "
            "%io_order_total% %coupon_code%[%io_coupon_code%] via "
            "%payment_method% on %order_date_time%\r\n%io_shipping_info_structure%";
        const QString date = QLocale::system().toString(QDate(2024, 2, 29), QLocale::ShortFormat);
        const QString block = "---\r\n";
        // The name holds the city tag, which comes later: the city is filled
        // in; the city holds the name tag, which came before: it stays.
        QCOMPARE(mergeOrderLetter(body, field, QString(), OrderLetterKind::Complete),
                 "Dear Springfield %IO_NAME%, 1 Main St #1043 for 77 " + FormatMoney(1234.5) +
                     " [] via 1043 on " + date + "\r\n");
        // The wizard fills the invoice numbers before the method: the method's
        // tag is no longer replaced.
        QCOMPARE(mergeOrderLetter(body, field, block, OrderLetterKind::Shipping),
                 "Dear Springfield %IO_NAME%, 1 Main St #1043 for 77 " + FormatMoney(1234.5) +
                     " [] via %io_invoice_number% on " + date + "\r\n" + block);

        // Midnight shows the date alone; any other time the time too.
        QCOMPARE(orderLetterDateTime(QDateTime(QDate(2024, 2, 29), QTime(0, 0))), date);
        const QDateTime later(QDate(2024, 2, 29), QTime(0, 0, 1));
        QCOMPARE(orderLetterDateTime(later), letterDateTime(later));
        QVERIFY(orderLetterDateTime(later).startsWith(date + " "));
        QCOMPARE(orderLetterDateTime(QDateTime()), QString());
    }

    // The letter through the real outbox: a missing template, a refusal that
    // leaves no row behind, then a letter that goes in.
    void orderLetterThroughOutbox()
    {
        addOrder(1001, "Shipped", {{"EMAIL", "ann@x.test"}, {"NAME", "Ann"}});
        addOrder(1002, "Shipped", {{"NAME", "Bob"}}); // no e-mail
        addTemplate("Thank You From Us", "Dear %io_name%,\r\nthanks for #%io_invoice_number%.");
        addTemplate("No From", "Dear %io_name%", "");
        goTo(1001);
        QCOMPARE(queueOrderLetter(orders(), "thank you from us", OrderLetterKind::Complete),
                 OrderLetterResult::NameInvalid);
        QCOMPARE(m_messages->texts(), QStringList({kInvalidLetterName}));

        m_messages->clear();
        goTo(1002);
        QCOMPARE(queueOrderLetter(orders(), "Thank You From Us", OrderLetterKind::Complete),
                 OrderLetterResult::Refused);
        const QString incomplete = "A message must contain a \"To\", \"From\" and \"Subject\" "
                                   "field, as well as a \"Message Body\".";
        QCOMPARE(m_messages->texts(), QStringList({incomplete, kOperationAborted}));
        QVERIFY(outbox().isEmpty());

        m_messages->clear();
        goTo(1001);
        QCOMPARE(queueOrderLetter(orders(), "Thank You From Us", OrderLetterKind::Complete),
                 OrderLetterResult::Queued);
        QVERIFY(m_messages->texts().isEmpty());
        const QList<Queued> queued = outbox();
        QCOMPARE(queued.size(), 1);
        QCOMPARE(queued.at(0).type, QStringLiteral("SERVICE"));
        QCOMPARE(queued.at(0).subject, QStringLiteral("Thank You From Us"));
        QCOMPARE(queued.at(0).to, QStringLiteral("ann@x.test"));
        QCOMPARE(queued.at(0).from, QStringLiteral("shop@x.test"));
        QCOMPARE(queued.at(0).body, QStringLiteral("Dear Ann,\r\nthanks for #1001."));
    }

    // The shipping tag must be written exactly so while there are records.
    void shippingLetterTagCheck()
    {
        addOrder(1001, "Payment Received", {{"EMAIL", "ann@x.test"}, {"NAME", "Ann"}});
        addTemplate("Shipped", "Hi %io_name%\r\n%IO_SHIPPING_INFO_STRUCTURE%end");
        goTo(1001);
        const QString block = ShippingInfoBlock({{QDate(2024, 3, 1), "UPS", "", "", ""}});
        QCOMPARE(queueOrderLetter(orders(), "Shipped", OrderLetterKind::Shipping, block),
                 OrderLetterResult::MissingShippingTag);
        QCOMPARE(m_messages->texts(), QStringList({kMissingShippingTag}));
        QVERIFY(outbox().isEmpty());

        // Without records the capitals pass, and the tag goes.
        m_messages->clear();
        QCOMPARE(queueOrderLetter(orders(), "Shipped", OrderLetterKind::Shipping, QString()),
                 OrderLetterResult::Queued);
        QCOMPARE(m_messages->texts(), QStringList({kAddedToOutBox}));
        QCOMPARE(outbox().at(0).body, QStringLiteral("Hi Ann\r\nend"));
        QCOMPARE(outbox().at(0).type, QStringLiteral("SHIPPING"));
    }

    // Two records: the divider, then seven lines each; CR LF after every line.
    void shippingInfoBlock()
    {
        QCOMPARE(ShippingInfoBlock({}), QString());
        const QString dashes(55, '-');
        const QDate d1(2024, 3, 1);
        const QDate d2(2024, 3, 4);
        const QString block = ShippingInfoBlock(
            {{d1, "UPS", "Ground", "1Z999", "first box"}, {d2, "USPS", "Priority", "9400", ""}});
        const QLocale l = QLocale::system();
        const QString expected = dashes + "\r\n" + "DATE: " + l.toString(d1, QLocale::ShortFormat) +
                                 "\r\nSERVICE: UPS\r\nMETHOD: Ground\r\nTRACKING: 1Z999\r\n"
                                 "COMMENT: \r\nfirst box\r\n" +
                                 dashes + "\r\n" + "DATE: " + l.toString(d2, QLocale::ShortFormat) +
                                 "\r\nSERVICE: USPS\r\nMETHOD: Priority\r\nTRACKING: 9400\r\n"
                                 "COMMENT: \r\n\r\n" +
                                 dashes + "\r\n";
        QCOMPARE(block, expected);
        QCOMPARE(block.split("\r\n").size(), 16); // 15 lines and the empty rest
        QVERIFY(!block.contains(QRegularExpression("[^\r]\n")));
    }

    // The records come from the log in entry order, this order's only.
    void shippingRecordsInEntryOrder()
    {
        Table log("shipped_info");
        log.setDirectory(dir());
        log.open();
        for (auto [inv, service] : QList<std::pair<int, QString>>{
                 {1001, "second"}, {1002, "other order"}, {1001, "third"}}) {
            log.insert();
            log.setValue("INV", inv);
            log.setValue("SERVICE", service);
            QVERIFY(log.post());
        }
        const QList<ShippingRecord> records = shippingRecords(dir(), 1001);
        QCOMPARE(records.size(), 2);
        QCOMPARE(records.at(0).service, QStringLiteral("second"));
        QCOMPARE(records.at(1).service, QStringLiteral("third"));
        QVERIFY(!records.at(0).date.isValid()); // a raw insert skips the date rule
    }
};

QTEST_GUILESS_MAIN(TestOrderWork)
#include "test_order_work.moc"
