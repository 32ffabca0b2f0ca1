#include "test_datamodule.h"
#include "common/throws.h"

#include "data_fixture.h"

#include "base/clock.h"
#include "base/error.h"
#include "common/scripted_messages.h"
#include "data/db_error.h"
#include "data/main_data_mod.h"
#include "data/table.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using namespace os;
using namespace os::test;

namespace {

const QString kNotice = QStringLiteral("Ordersentinel must create databases to function, these "
                                       "databases will be created in the background. This process "
                                       "may take several minutes.");
const QString kPercentage = QStringLiteral("Percentages should be in 0.00 format.\r\rExample: 0.25 "
                                           "would be 25 percent, while 0.025 would be 2.5 "
                                           "percent.\r\rAnything over 1 is over 100 percent!");

QList<Table*> sharedNine(TMainDataMod& dm)
{
    return {dm.CUSTOMERS, dm.CustomerNotes, dm.ORDERs,       dm.ORDER_STATS,        dm.merchant,
            dm.DocsTable, dm.Shipping_LOG,  dm.InvoiceNotes, dm.currency_conversion};
}

QList<Table*> allTables(TMainDataMod& dm)
{
    return dm.findChildren<Table*>();
}

// Opens a fresh company database in `tmp` with the shared objects ready.
bool openFresh(TMainDataMod& dm, QTemporaryDir& tmp, ScriptedMessages& sm)
{
    const bool ok = dm.OpenCompanyDatabase(tmp.path());
    sm.clear();
    return ok;
}

} // namespace

void TestDataModule::emptyDirectoryCreatesAllAndOpensNine()
{
    QTemporaryDir tmp;
    ScriptedMessages sm;
    TMainDataMod dm;
    QCOMPARE(TMainDataMod::instance(), &dm);
    QCOMPARE(TMainDataMod::creationNotice(tmp.path()), kNotice);
    QVERIFY(dm.OpenCompanyDatabase(tmp.path()));
    QVERIFY(sm.texts().isEmpty()); // the caller shows the notice
    for (const TableDef& def : catalogue())
        QVERIFY(QFileInfo::exists(tmp.path() + "/" + def.fileName()));
    for (Table* t : sharedNine(dm))
        QVERIFY2(t->isOpen(), qPrintable(t->objectName()));
    for (Table* t : {dm.ShipIt, dm.ShipItExt, dm.Taxes, dm.SmartTaxes, dm.Coupons, dm.GiftTable,
                     dm.OUTBOX, dm.SENDBOX})
        QVERIFY(!t->isOpen());
    QCOMPARE(dm.ORDERs->indexName(), QStringLiteral("INVDATE"));
    QCOMPARE(dm.ORDERSSOURCE->table(), dm.ORDERs);
    QCOMPARE(dm.DataSource1->table(), dm.SENDBOX);
    QCOMPARE(dm.MainCustomersViewSource->query(), dm.MainCustomersView);
    QCOMPARE(dm.MainCustomersView->sql(), QStringLiteral("Select * from customers.db"));

    // Opening again: nothing to create, no notice.
    dm.CloseCompanyDatabase();
    for (Table* t : allTables(dm))
        QVERIFY(!t->isOpen());
    QVERIFY(TMainDataMod::creationNotice(tmp.path()).isEmpty());
    QVERIFY(dm.OpenCompanyDatabase(tmp.path()));
    dm.MainCustomersView->open();
    QVERIFY(dm.MainCustomersView->isEmpty());
}

void TestDataModule::onlyTodoMissingIsCompletedSilently()
{
    QTemporaryDir tmp;
    TMainDataMod::CreateMissingTables(tmp.path());
    {
        Table c("customers");
        c.setDirectory(tmp.path());
        c.open();
        c.insert();
        c.setValue("CUSTID", 9);
        QVERIFY(c.post());
    }
    QVERIFY(QFile::remove(tmp.path() + "/todo.db"));
    const QByteArray ordersBefore = fileBytes(tmp.path() + "/orders.db");
    TMainDataMod dm;
    QVERIFY(TMainDataMod::creationNotice(tmp.path()).isEmpty());
    QVERIFY(dm.OpenCompanyDatabase(tmp.path()));
    QVERIFY(QFileInfo::exists(tmp.path() + "/todo.db"));
    QCOMPARE(
        scalar(tmp.path(), "todo", "SELECT COUNT(*) FROM sqlite_master WHERE name='IMP'").toInt(),
        1);
    QCOMPARE(fileBytes(tmp.path() + "/orders.db"), ordersBefore);
    QCOMPARE(dm.CUSTOMERS->recordCount(), 0); // follows an empty ORDERs
    QCOMPARE(scalar(tmp.path(), "customers", "SELECT CUSTID FROM customers").toInt(), 9);
}

void TestDataModule::oldLayoutEndsTheProgramTouchingNothing()
{
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    TMainDataMod::CreateMissingTables(dir);
    QVERIFY(QFile::remove(dir + "/orders.db"));
    {
        // An orders table of the older layout.
        TableDef old = *findTableDef("orders");
        old.fields.insert(1, FieldDef{"DATE", FieldType::Date, 0});
        old.indexes.clear();
        createTable(dir, old);
    }
    QMap<QString, QByteArray> before;
    for (const QString& f : QDir(dir).entryList(QDir::Files))
        before.insert(f, fileBytes(dir + "/" + f));

    ScriptedMessages sm;
    TMainDataMod dm;
    QStringList shown;
    try {
        dm.OpenCompanyDatabase(dir);
    } catch (const OldTableLayout& old) {
        shown = old.messages();
    }
    const QString all = dir + "/*.*";
    QCOMPARE(
        shown,
        QStringList(
            {"UPGRADE REQUIRED:\r\rWith your Ordersentinel installation you have a program called "
             "\"Ordersentinel Database Repair Utility.\" This program is used to pack, repair and "
             "upgrade databases. Please run this utility before starting Ordersentinel.",
             "It is STRONGLY recommended that you back up all files in:\r\r" + all,
             "Ordersentinel will shut down now.\r\r" + all}));
    QVERIFY(sm.texts().isEmpty());
    for (Table* t : allTables(dm))
        QVERIFY(!t->isOpen());
    QVERIFY(!dm.isOpen());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(fileBytes(dir + "/" + it.key()), it.value());
    QCOMPARE(QDir(dir).entryList(QDir::Files).size(), before.size());
}

void TestDataModule::garbageTableFailsTheOpenAndClosesAgain()
{
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    TMainDataMod::CreateMissingTables(dir);
    const QByteArray garbage("\x01\x02 not a table at all \xff", 24);
    QVERIFY(QFile::remove(dir + "/shipped_info.db"));
    writeBytes(dir + "/shipped_info.db", garbage);

    ScriptedMessages sm;
    TMainDataMod dm;
    QString error;
    QVERIFY(!dm.OpenCompanyDatabase(dir, &error));
    QCOMPARE(error, QStringLiteral("Cannot open table %1/shipped_info.db.\rfile is not a "
                                   "database\rThe file is damaged. Restore it from a "
                                   "backup, or run the Ordersentinel Database Repair Utility "
                                   "(ordersentinel --repair) to save its readable rows.")
                        .arg(dir));
    QVERIFY(sm.texts().isEmpty());
    for (Table* t : allTables(dm))
        QVERIFY2(!t->isOpen(), qPrintable(t->objectName()));
    QCOMPARE(fileBytes(dir + "/shipped_info.db"), garbage);

    // A garbage orders table already fails the format check.
    QVERIFY(QFile::remove(dir + "/shipped_info.db"));
    QVERIFY(QFile::remove(dir + "/orders.db"));
    writeBytes(dir + "/orders.db", garbage);
    QVERIFY(!dm.OpenCompanyDatabase(dir, &error));
    QCOMPARE(error, QStringLiteral("Cannot open table %1/orders.db.\rfile is not a database\rThe "
                                   "file is damaged. Restore it from a "
                                   "backup, or run the Ordersentinel Database Repair Utility "
                                   "(ordersentinel --repair) to save its readable rows.")
                        .arg(dir));
    QCOMPARE(fileBytes(dir + "/orders.db"), garbage);
    QVERIFY(QFileInfo::exists(dir + "/shipped_info.db")); // the missing one was made again
}

void TestDataModule::uncreatableTableRaisesTheEngineText()
{
    QTemporaryDir tmp;
    ScriptedMessages sm;
    TMainDataMod dm;
    const QString dir = tmp.path() + "/missing";
    OS_VERIFY_THROWS(
        DbError, dm.OpenCompanyDatabase(dir),
        QStringLiteral("Cannot create table %1/customers.db.\rNo such file or directory").arg(dir));
    QVERIFY(sm.texts().isEmpty());
    QVERIFY(!dm.isOpen());
}

void TestDataModule::movingTheOrderMovesItsDetails()
{
    QTemporaryDir tmp;
    ScriptedMessages sm;
    TMainDataMod dm;
    QVERIFY(openFresh(dm, tmp, sm));
    Table* o = dm.ORDERs;
    for (int inv : {501, 502}) {
        o->insert();
        o->setValue("INV", inv);
        o->setValue("CUSTID", inv - 400);
        o->setValue("ORDERSTATE", "New");
        QVERIFY(o->post());
        Table* c = dm.CUSTOMERS;
        c->insert();
        QCOMPARE(c->value("CUSTID").toInt(), inv - 400);
        c->setValue("NAME", QStringLiteral("Customer %1").arg(inv));
        QVERIFY(c->post());
        dm.CustomerNotes->insert();
        dm.CustomerNotes->setValue("NOTES", QStringLiteral("notes %1").arg(inv));
        QVERIFY(dm.CustomerNotes->post());
        dm.ORDER_STATS->insert();
        dm.ORDER_STATS->setValue("INFSTRING", QStringLiteral("status %1").arg(inv));
        QVERIFY(dm.ORDER_STATS->post());
        dm.Shipping_LOG->insert();
        dm.Shipping_LOG->setValue("TRACKINGCODE", QStringLiteral("track %1").arg(inv));
        QVERIFY(dm.Shipping_LOG->post());
        dm.InvoiceNotes->insert();
        dm.InvoiceNotes->setValue("NOTE", QStringLiteral("note %1").arg(inv));
        QVERIFY(dm.InvoiceNotes->post());
    }
    o->setFilter("ORDERSTATE='NEW'");
    o->setFiltered(true); // case-insensitive on the shared orders
    QCOMPARE(o->recordCount(), 2);
    o->first(); // INVDATE: newest order first
    for (int inv : {502, 501}) {
        QCOMPARE(o->value("INV").toInt(), inv);
        QCOMPARE(dm.CUSTOMERS->value("NAME").toString(), QStringLiteral("Customer %1").arg(inv));
        QCOMPARE(dm.CustomerNotes->value("NOTES").toString(), QStringLiteral("notes %1").arg(inv));
        QCOMPARE(dm.ORDER_STATS->value("INFSTRING").toString(),
                 QStringLiteral("status %1").arg(inv));
        QCOMPARE(dm.Shipping_LOG->value("TRACKINGCODE").toString(),
                 QStringLiteral("track %1").arg(inv));
        QCOMPARE(dm.InvoiceNotes->value("NOTE").toString(), QStringLiteral("note %1").arg(inv));
        QCOMPARE(dm.Shipping_LOG->recordCount(), 1);
        o->next();
    }
    QVERIFY(sm.texts().isEmpty());
}

void TestDataModule::documentRule()
{
    QTemporaryDir tmp;
    ScriptedMessages sm;
    TMainDataMod dm;
    QVERIFY(openFresh(dm, tmp, sm));
    Table* t = dm.DocsTable;
    t->insert();
    t->setValue("DOCNAME", "Shipped");
    t->setValue("FROM", "shop@example.com");
    QVERIFY(!t->post());
    QCOMPARE(sm.texts(),
             QStringList(
                 {"An Quillform Template must have a \"Body\", \"Subject\" and \"From\" field."}));
    QCOMPARE(t->state(), Table::State::Insert);
    QCOMPARE(t->value("DOCNAME").toString(), QStringLiteral("Shipped"));
    t->setValue("DOCBODY", "Dear %io_name%");
    QVERIFY(t->post());
    QCOMPARE(t->recordCount(), 1);
}

void TestDataModule::shippingRules()
{
    QTemporaryDir tmp;
    ScriptedMessages sm;
    TMainDataMod dm;
    QVERIFY(openFresh(dm, tmp, sm));
    dm.ShipIt->open();
    dm.ShipIt->insert();
    dm.ShipIt->setValue("WEIGHT", 5);
    QVERIFY(!dm.ShipIt->post());
    QCOMPARE(sm.texts(), QStringList({"Both the weight and the fee must be defined."}));
    QCOMPARE(dm.ShipIt->state(), Table::State::Insert);
    dm.ShipIt->setValue("FEE", 4.5);
    QVERIFY(dm.ShipIt->post());

    sm.clear();
    Table* x = dm.ShipItExt;
    x->open();
    x->insert();
    x->setValue("PERCENTAGE", 1.5);
    QVERIFY(!x->post());
    const QString warning =
        QStringLiteral("The shipping percentage you just entered exceeds 100%.\r\rExample: 0.25 "
                       "would be 25 percent, while 0.025 "
                       "would be 2.5 percent.\r\rWhat you have entered is acceptable but may not "
                       "be a what your intended to enter.");
    QCOMPARE(sm.texts(),
             QStringList({warning, "The Shipping Extension description can not be null."}));
    QCOMPARE(sm.shown().at(0).kind, MessageKind::Warning);
    QCOMPARE(x->state(), Table::State::Insert);
    sm.clear();
    x->setValue("DESCRIPTION", "Overnight");
    QVERIFY(x->post());
    QCOMPARE(sm.texts(), QStringList({warning}));
    QCOMPARE(x->value("PERCENTAGE").toDouble(), 1.5);
    sm.clear();
    x->insert();
    x->setValue("DESCRIPTION", "Ground");
    x->setValue("PERCENTAGE", 0.9999);
    QVERIFY(x->post());
    QVERIFY(sm.texts().isEmpty());
}

void TestDataModule::taxRules()
{
    QTemporaryDir tmp;
    ScriptedMessages sm;
    TMainDataMod dm;
    QVERIFY(openFresh(dm, tmp, sm));
    Table* t = dm.Taxes;
    t->open();
    t->insert();
    QVERIFY(!t->post());
    t->setValue("DT", "Sales tax");
    QVERIFY(!t->post());
    t->setValue("TT", "State");
    QVERIFY(!t->post());
    t->setValue("CODE", "ca");
    t->setValue("P", 1.0);
    QVERIFY(!t->post());
    QCOMPARE(t->value("CODE").toString(), QStringLiteral("CA"));
    t->setValue("P", 0.07);
    QVERIFY(!t->post());
    QCOMPARE(sm.texts(),
             QStringList({"The display text can not be null.", "The tax type can not be null.",
                          "The tax code can not be null.", kPercentage,
                          "Tax shipping must be true or false!"}));
    QCOMPARE(t->state(), Table::State::Insert);
    QCOMPARE(t->value("DT").toString(), QStringLiteral("Sales tax"));
    t->setValue("TS", false);
    QVERIFY(t->post());
    QCOMPARE(scalar(tmp.path(), "taxes", "SELECT CODE || ':' || TS FROM taxes").toString(),
             QStringLiteral("CA:0"));

    // Editing an existing row runs the same rule.
    sm.clear();
    t->edit();
    t->setValue("CODE", "ny");
    t->setValue("P", 0.9999);
    QVERIFY(t->post());
    QVERIFY(sm.texts().isEmpty());
    QCOMPARE(t->value("CODE").toString(), QStringLiteral("NY"));
}

void TestDataModule::smartTaxRules()
{
    QTemporaryDir tmp;
    ScriptedMessages sm;
    TMainDataMod dm;
    QVERIFY(openFresh(dm, tmp, sm));
    Table* t = dm.SmartTaxes;
    t->open();
    t->insert();
    QVERIFY(!t->post());
    t->setValue("TAXCODE", "gst");
    QVERIFY(!t->post());
    QCOMPARE(t->value("TAXCODE").toString(), QStringLiteral("GST"));
    t->setValue("DISPLAY", "Goods and services");
    t->setValue("PERCENTAGE", 1);
    QVERIFY(!t->post());
    QCOMPARE(sm.texts(), QStringList({"The Tax Code must not be null.",
                                      "The Display Text can not be null.", kPercentage}));
    QCOMPARE(t->state(), Table::State::Insert);
    t->setValue("PERCENTAGE", 0.05);
    QVERIFY(t->post());
    QCOMPARE(t->recordCount(), 1);
}

void TestDataModule::couponRules()
{
    QTemporaryDir tmp;
    ScriptedMessages sm;
    TMainDataMod dm;
    QVERIFY(openFresh(dm, tmp, sm));
    Table* t = dm.Coupons;
    t->open();
    t->insert();
    t->setValue("DISCOUNT", 0.1);
    QVERIFY(!t->post());
    t->setValue("CODE", "spring");
    t->setValue("DISCOUNT", 1.0);
    QVERIFY(!t->post());
    QCOMPARE(t->value("CODE").toString(), QStringLiteral("spring")); // refused before upper-casing
    QCOMPARE(sm.texts(),
             QStringList({"A coupon must have a code and a discount percentage.", kPercentage}));
    QCOMPARE(t->state(), Table::State::Insert);
    t->setValue("DISCOUNT", 0.10);
    QVERIFY(t->post());
    QCOMPARE(scalar(tmp.path(), "coupons", "SELECT CODE FROM coupons").toString(),
             QStringLiteral("SPRING"));
}

void TestDataModule::outboxRule()
{
    QTemporaryDir tmp;
    ScriptedMessages sm;
    TMainDataMod dm;
    QVERIFY(openFresh(dm, tmp, sm));
    Table* t = dm.OUTBOX;
    t->open();
    t->insert();
    t->setValue("TO", "a@example.com");
    t->setValue("FROM", "shop@example.com");
    t->setValue("SUBJECT", "Your order");
    QVERIFY(!t->post());
    QCOMPARE(sm.texts(),
             QStringList(
                 {"A message must contain a \"To\", \"From\" and \"Subject\" field, as well as a "
                  "\"Message Body\"."}));
    QCOMPARE(t->value("SUBJECT").toString(), QStringLiteral("Your order"));
    t->setValue("BODY", "Thank you.");
    QVERIFY(t->post());
    QCOMPARE(t->value("ID").toInt(), 1);
}

void TestDataModule::notesAndShippingLogGetTodaysDate()
{
    QTemporaryDir tmp;
    ScriptedMessages sm;
    TMainDataMod dm;
    QVERIFY(openFresh(dm, tmp, sm));
    Clock::pin(QDateTime(QDate(2023, 5, 17), QTime(10, 0)));
    Table* o = dm.ORDERs;
    o->insert();
    o->setValue("INV", 77);
    QVERIFY(o->post());
    for (Table* t : {dm.InvoiceNotes, dm.Shipping_LOG}) {
        t->insert();
        QVERIFY(t->post());
        QCOMPARE(t->value("IDATE").toDate(), QDate(2023, 5, 17));
        t->insert();
        t->setValue("IDATE", QDate(2020, 2, 29));
        QVERIFY(t->post());
        QCOMPARE(t->value("IDATE").toDate(), QDate(2020, 2, 29));
    }
    Clock::pin(QDateTime());
    QCOMPARE(scalar(tmp.path(), "invoice_notes", "SELECT group_concat(IDATE) FROM invoice_notes")
                 .toString(),
             QStringLiteral("2023-05-17,2020-02-29"));
    QVERIFY(sm.texts().isEmpty());
}
