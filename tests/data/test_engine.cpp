#include "test_engine.h"
#include "common/throws.h"

#include "data_fixture.h"

#include "data/catalogue.h"
#include "data/connection.h"
#include "data/db_error.h"
#include "data/main_data_mod.h"
#include "data/query.h"
#include "data/table.h"
#include "data/transaction.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include "common/file_utils.h"

using namespace os;
using namespace os::test;

namespace {

QString makeDb(QTemporaryDir& tmp)
{
    TMainDataMod::CreateMissingTables(tmp.path());
    return tmp.path();
}

void addOrder(Table& t, int inv, const QString& state, const QVariant& lastMarked = {},
              int custid = 1)
{
    t.insert();
    t.setValue("INV", inv);
    t.setValue("CUSTID", custid);
    t.setValue("ORDERSTATE", state);
    t.setValue("IDATE", QDateTime(QDate(2020, 1, 1), QTime(0, 0)).addSecs(inv));
    t.setValue("LASTMARKED", lastMarked);
    QVERIFY(t.post());
}

QList<int> walk(Table& t, const char* field = "INV")
{
    QList<int> seen;
    for (t.first(); !t.eof(); t.next())
        seen << t.value(field).toInt();
    return seen;
}

QList<int> walkBack(Table& t, const char* field = "INV")
{
    QList<int> seen;
    for (t.last(); !t.bof(); t.prior())
        seen.prepend(t.value(field).toInt());
    return seen;
}

} // namespace

void TestEngine::catalogueMatchesCreatedFiles()
{
    QTemporaryDir tmp;
    const QString dir = makeDb(tmp);
    QStringList names;
    for (const TableDef& def : catalogue())
        names << def.name;
    QCOMPARE(names,
             QStringList({"customers", "todo", "customersnotes", "form_letters", "gift",
                          "invoice_notes", "merchantaccounts", "orders", "outbox", "coupons",
                          "sentitems", "shipit", "shipitext", "shipped_info", "smarttaxes", "taxes",
                          "invoice_result", "currency_conversion", "order_history"}));
    QCOMPARE(QDir(dir).entryList({"*.db"}, QDir::Files).size(), 19);

    for (const TableDef& def : catalogue()) {
        QVERIFY2(QFileInfo::exists(dir + "/" + def.name + ".db"), qPrintable(def.name));
        auto conn = Connection::forTable(dir, def.name);
        QCOMPARE(conn->tableName(), def.name);
        QStringList cols;
        {
            Statement st(conn->handle(), "SELECT name, type FROM pragma_table_info(?1)");
            st.bind(1, def.name);
            int i = 0;
            while (st.step()) {
                cols << st.column(0).toString();
                const QString type = st.column(1).toString();
                const FieldDef& f = def.fields.at(i++);
                if (f.type == FieldType::Alpha)
                    QCOMPARE(type, QStringLiteral("VARCHAR(%1)").arg(f.size));
                else if (isIntegerType(f.type))
                    QVERIFY2(type.contains("INT"), qPrintable(def.name + "." + f.name));
                else if (isFloatType(f.type))
                    QCOMPARE(type, QStringLiteral("REAL"));
                else if (f.type != FieldType::Logical)
                    QCOMPARE(type, QStringLiteral("TEXT"));
            }
        }
        QCOMPARE(cols, def.fieldNames());

        // Catalogue indexes in creation order (engine indexes come after).
        QStringList indexes;
        {
            Statement st(conn->handle(), "SELECT name FROM sqlite_master WHERE type='index' AND "
                                         "name NOT LIKE 'os\\_%' ESCAPE '\\' "
                                         "AND name NOT LIKE 'sqlite_%' ORDER BY rowid");
            while (st.step())
                indexes << st.column(0).toString();
        }
        QStringList expected;
        if (!def.primaryKey.isEmpty())
            expected << "PrimaryIndex";
        for (const IndexDef& ix : def.indexes)
            expected << ix.name;
        QCOMPARE(indexes, expected);

        auto indexColumns = [&](const QString& index) {
            QStringList out;
            Statement st(conn->handle(),
                         "SELECT name, desc, coll FROM pragma_index_xinfo(?1) WHERE key = 1");
            st.bind(1, index);
            while (st.step())
                out << QStringLiteral("%1%2%3").arg(
                    st.column(0).toString(), st.column(1).toInt() ? " DESC" : "",
                    st.column(2).toString() == "NOCASE" ? " NOCASE" : "");
            return out;
        };
        if (!def.primaryKey.isEmpty()) {
            QCOMPARE(indexColumns("PrimaryIndex"), def.primaryKey);
            Statement st(conn->handle(),
                         "SELECT \"unique\" FROM pragma_index_list(?1) WHERE name='PrimaryIndex'");
            st.bind(1, def.name);
            QVERIFY(st.step());
            QCOMPARE(st.column(0).toInt(), 1);
        }
        for (const IndexDef& ix : def.indexes) {
            QStringList want;
            for (const QString& f : ix.fields) {
                const bool text = isTextType(def.field(f)->type);
                want << f + (ix.descending ? " DESC" : "") +
                            (ix.caseInsensitive && text ? " NOCASE" : "");
            }
            QCOMPARE(indexColumns(ix.name), want);
        }
    }
    // The to-do priority index: highest priority first, newest first within it.
    QCOMPARE(catalogue().at(1).indexes.size(), 1);
    QCOMPARE(catalogue().at(1).indexes.at(0).fields, QStringList({"PRIORITY", "IDATE"}));
    QVERIFY(catalogue().at(1).indexes.at(0).descending);

    QCOMPARE(findTableDef("ORDERS.DB"), findTableDef("orders"));
    QCOMPARE(findTableDef("\"form_letters.db\"")->name, QStringLiteral("form_letters"));
    QVERIFY(findTableDef("nosuch.db") == nullptr);
}

void TestEngine::tableFilesAreOwnerOnly()
{
    QTemporaryDir tmp;
    const QString dir = makeDb(tmp);
    for (const TableDef& def : catalogue())
        QCOMPARE(unixMode(dir + "/" + def.name + ".db"), mode_t(0600));
    Table t("todo");
    t.setDirectory(dir);
    t.open();
    t.insert();
    t.setValue("DESCRIPTION", "call the bank");
    QVERIFY(t.post());
    // The write-ahead log and its index exist while the table is open.
    QCOMPARE(unixMode(dir + "/todo.db-wal"), mode_t(0600));
    QCOMPARE(unixMode(dir + "/todo.db-shm"), mode_t(0600));
}

void TestEngine::tableNamesIgnoreCase()
{
    QTemporaryDir tmp;
    const QString dir = makeDb(tmp);
    QVERIFY(QFile::rename(dir + "/coupons.db", dir + "/COUPONS.DB"));
    QVERIFY(tableFileExists(dir, "coupons.db"));
    Table t("Coupons.DB");
    t.setDirectory(dir);
    t.open();
    t.insert();
    t.setValue("CODE", "SPRING");
    t.setValue("DISCOUNT", 0.1);
    QVERIFY(t.post());
    Query q;
    q.setDirectory(dir);
    q.setSql("SELECT CODE FROM coupons.db");
    q.open();
    QCOMPARE(q.value("code").toString(), QStringLiteral("SPRING"));
    QVERIFY(!QFileInfo::exists(dir + "/coupons.db"));
}

void TestEngine::cursorWalksBothWaysAcrossWindows()
{
    QTemporaryDir tmp;
    const QString dir = makeDb(tmp);
    Table t("orders");
    t.setDirectory(dir);
    t.open();
    QVERIFY(t.isEmpty());
    QVERIFY(t.eof() && t.bof());
    QList<int> expected;
    {
        Transaction tr(dir, "orders");
        for (int i = 300; i >= 1; --i) {
            addOrder(t, i * 10, "New");
            expected.prepend(i * 10);
        }
        tr.commit();
    }
    QCOMPARE(t.recordCount(), 300);
    QCOMPARE(walk(t), expected);
    QVERIFY(t.eof());
    QCOMPARE(t.value("INV").toInt(), 3000); // stays on the last row
    QCOMPARE(walkBack(t), expected);
    QVERIFY(t.bof());
    QCOMPARE(t.value("INV").toInt(), 10);

    // Secondary index INVDATE runs the other way.
    t.setIndexName("INVDATE");
    QList<int> reversed = expected;
    std::reverse(reversed.begin(), reversed.end());
    QCOMPARE(walk(t), reversed);
    QCOMPARE(walkBack(t), reversed);

    QVERIFY(t.locate("INV", 1500));
    QCOMPARE(t.value("INV").toInt(), 1500);
    t.next();
    QCOMPARE(t.value("INV").toInt(), 1490);
    t.prior();
    t.prior();
    QCOMPARE(t.value("INV").toInt(), 1510);
    QVERIFY(!t.locate("INV", 15));
    QCOMPARE(t.value("INV").toInt(), 1510);

    // An edit that moves the row keeps the cursor on it.
    QSignalSpy current(&t, &Table::currentChanged);
    QSignalSpy state(&t, &Table::stateChanged);
    t.edit();
    t.setValue("INV", 5);
    QVERIFY(t.post());
    QCOMPARE(t.value("INV").toInt(), 5);
    QVERIFY(current.count() >= 1);
    QCOMPARE(state.count(), 2);
    t.next();
    QVERIFY(t.eof());

    // Removing the current row moves to the one after it.
    QVERIFY(t.locate("INV", 20));
    t.remove();
    QCOMPARE(t.value("INV").toInt(), 10);
    QCOMPARE(t.recordCount(), 299);
}

void TestEngine::secondaryIndexOrderWithEmptyKeys()
{
    QTemporaryDir tmp;
    const QString dir = makeDb(tmp);
    Table t("orders");
    t.setDirectory(dir);
    t.open();
    {
        Transaction tr(dir, "orders");
        for (int i = 1; i <= 250; ++i) {
            // Every third order never marked; groups of equal marks.
            const QVariant marked =
                i % 3 == 0 ? QVariant()
                           : QVariant(QDateTime(QDate(2021, 1, 1 + (i % 7)), QTime(9, 0)));
            addOrder(t, i, "New", marked);
        }
        tr.commit();
    }
    // The engine's own ordering of the same index is the reference.
    QList<int> expected;
    {
        auto conn = Connection::forTable(dir, "orders");
        Statement st(conn->handle(), "SELECT INV FROM orders ORDER BY LASTMARKED DESC, rowid");
        while (st.step())
            expected << st.column(0).toInt();
    }
    t.setIndexName("MODS");
    QCOMPARE(walk(t), expected);
    QCOMPARE(walkBack(t), expected);

    t.setIndexName("ORDERDATE");
    t.setFilter("ORDERSTATE='New'");
    t.setFiltered(true);
    QCOMPARE(walk(t).size(), 250);
}

void TestEngine::filtersBindTheirValues()
{
    QTemporaryDir tmp;
    const QString dir = makeDb(tmp);
    Table t("orders");
    t.setDirectory(dir);
    t.open();
    addOrder(t, 1, "New");
    addOrder(t, 2, "Payment Received");
    addOrder(t, 3, "New");
    addOrder(t, 4, "Shipped");
    t.edit();
    t.setValue("NAME", "Pat O'Brien");
    QVERIFY(t.post());

    t.setFilter("ORDERSTATE='New'");
    QCOMPARE(t.recordCount(), 4); // not filtered yet
    t.setFiltered(true);
    QCOMPARE(walk(t), QList<int>({1, 3}));
    t.setFilter("ORDERSTATE = \"Payment Received\"");
    QCOMPARE(walk(t), QList<int>({2}));
    t.setFilter("NAME='Pat O''Brien'");
    QCOMPARE(walk(t), QList<int>({4}));
    t.setFilter("NAME=\"Pat O'Brien\"");
    QCOMPARE(walk(t), QList<int>({4}));
    t.setFilter("ORDERSTATE='new'");
    QVERIFY(t.isEmpty());
    t.setFilterCaseInsensitive(true);
    QCOMPARE(walk(t), QList<int>({1, 3}));
    t.setFilter("ORDERSTATE='NEW' and CUSTID='1'");
    QCOMPARE(t.recordCount(), 2);
    // Text that looks like SQL is only ever a value.
    t.setFilter("ORDERSTATE='x'' OR ''1''=''1'");
    QVERIFY(t.isEmpty());
    QCOMPARE(scalar(dir, "orders", "SELECT COUNT(*) FROM orders").toInt(), 4);

    OS_VERIFY_THROWS(DbError, t.setFilter("ORDERSTATE='New"),
                     QStringLiteral("Invalid filter expression: ORDERSTATE='New"));
    OS_VERIFY_THROWS(DbError, t.setFilter("COLOUR='red'"),
                     QStringLiteral("Field 'COLOUR' not found in orders."));
    t.setFiltered(false);
    QCOMPARE(t.recordCount(), 4);
}

void TestEngine::masterDetailFollowsAndInsertTakesKey()
{
    QTemporaryDir tmp;
    const QString dir = makeDb(tmp);
    Table orders("orders");
    orders.setDirectory(dir);
    Table log("shipped_info");
    log.setDirectory(dir);
    log.setMasterLink(&orders, {"INV"}, {"INV"});
    log.open();
    QVERIFY(log.isEmpty()); // master closed: nothing to show
    orders.open();
    addOrder(orders, 100, "Shipped");
    addOrder(orders, 200, "Shipped");
    QCOMPARE(orders.value("INV").toInt(), 200);

    log.insert();
    QCOMPARE(log.value("INV").toInt(), 200); // the key comes from the master
    log.setValue("TRACKINGCODE", "T-200-a");
    QVERIFY(log.post());
    log.insert();
    log.setValue("TRACKINGCODE", "T-200-b");
    QVERIFY(log.post());
    QCOMPARE(log.recordCount(), 2);

    orders.first();
    QCOMPARE(orders.value("INV").toInt(), 100);
    QVERIFY(log.isEmpty());
    QVERIFY(log.value("TRACKINGCODE").isNull());
    log.append();
    log.setValue("TRACKINGCODE", "T-100");
    QVERIFY(log.post());
    QCOMPARE(log.value("INV").toInt(), 100);

    orders.next();
    QCOMPARE(log.recordCount(), 2);
    QCOMPARE(log.value("TRACKINGCODE").toString(), QStringLiteral("T-200-a"));
    log.next();
    QCOMPARE(log.value("TRACKINGCODE").toString(), QStringLiteral("T-200-b"));
    log.next();
    QVERIFY(log.eof());
    QCOMPARE(scalar(dir, "shipped_info", "SELECT COUNT(*) FROM shipped_info").toInt(), 3);
}

void TestEngine::autoincNeverReused()
{
    QTemporaryDir tmp;
    const QString dir = makeDb(tmp);
    Table t("invoice_notes");
    t.setDirectory(dir);
    t.open();
    QList<int> ids;
    for (int i = 0; i < 3; ++i) {
        t.insert();
        t.setValue("INVOICE", 7);
        t.setValue("NOTE", QStringLiteral("note %1").arg(i));
        QVERIFY(t.post());
        ids << t.value("ID").toInt();
    }
    QCOMPARE(ids, QList<int>({1, 2, 3}));
    t.last();
    t.remove();
    t.insert();
    t.setValue("INVOICE", 7);
    QVERIFY(t.post());
    QCOMPARE(t.value("ID").toInt(), 4);
    // Survives closing the file too.
    t.close();
    t.open();
    t.last();
    t.remove();
    t.close();
    t.open();
    t.insert();
    t.setValue("INVOICE", 8);
    QVERIFY(t.post());
    QCOMPARE(t.value("ID").toInt(), 5);
}

void TestEngine::keyViolationLeavesRowInInsert()
{
    QTemporaryDir tmp;
    const QString dir = makeDb(tmp);
    Table t("coupons");
    t.setDirectory(dir);
    t.open();
    t.insert();
    t.setValue("CODE", "SAVE10");
    t.setValue("DISCOUNT", 0.1);
    QVERIFY(t.post());
    t.insert();
    t.setValue("CODE", "SAVE10");
    t.setValue("DISCOUNT", 0.2);
    OS_VERIFY_THROWS(DbError, t.post(),
                     QStringLiteral("Key violation.\rUNIQUE constraint failed: coupons.CODE"));
    QCOMPARE(t.state(), Table::State::Insert);
    QCOMPARE(t.value("DISCOUNT").toDouble(), 0.2);
    t.setValue("CODE", "SAVE20");
    QVERIFY(t.post());
    QCOMPARE(t.recordCount(), 2);
}

void TestEngine::emptyKeyCountsAsAValue()
{
    QTemporaryDir tmp;
    const QString dir = makeDb(tmp);
    const QString repeated =
        QStringLiteral("Key violation.\rUNIQUE constraint failed: gift.GIFTDELNAME");
    Table t("gift");
    t.setDirectory(dir);
    t.open();
    t.insert();
    t.setValue("GIFTFEE", 1.5);
    QVERIFY(t.post());
    t.insert();
    t.setValue("GIFTDELNAME", ""); // an empty text is an empty column
    t.setValue("GIFTFEE", 2.5);
    OS_VERIFY_THROWS(DbError, t.post(), repeated);
    QCOMPARE(t.state(), Table::State::Insert);
    t.setValue("GIFTDELNAME", "Box");
    QVERIFY(t.post());

    // Re-keying a row to the empty key is refused as well; the row with the
    // empty key can be edited.
    QVERIFY(t.locate("GIFTDELNAME", "Box"));
    t.edit();
    t.setValue("GIFTDELNAME", QVariant());
    OS_VERIFY_THROWS(DbError, t.post(), repeated);
    t.cancel();
    QVERIFY(t.locate("GIFTFEE", 1.5));
    t.edit();
    t.setValue("GIFTFEE", 3.0);
    QVERIFY(t.post());

    // The program's SQL is held to the same rule (an order without a number).
    Query q;
    q.setDirectory(dir);
    q.setSql("INSERT INTO orders.db (NAME) VALUES (:NAME)");
    q.setParam("NAME", "first");
    q.exec();
    q.setParam("NAME", "second");
    OS_VERIFY_THROWS(DbError, q.exec(),
                     QStringLiteral("Key violation.\rUNIQUE constraint failed: orders.INV"));
    QCOMPARE(scalar(dir, "orders", "SELECT COUNT(*) FROM orders").toInt(), 1);
}

void TestEngine::olderTableWithRepeatedEmptyKeysStillOpens()
{
    QTemporaryDir tmp;
    const QString dir = makeDb(tmp);
    {
        // A file made before the engine guarded empty keys, already holding
        // two coupons without a code.
        auto conn = Connection::forTable(dir, "coupons");
        conn->exec("DROP TRIGGER os_PrimaryIndex_insert");
        conn->exec("DROP TRIGGER os_PrimaryIndex_update");
        conn->exec("INSERT INTO coupons (DISCOUNT) VALUES (0.1), (0.2)");
    }
    Table t("coupons");
    t.setDirectory(dir);
    t.open();
    QCOMPARE(t.recordCount(), 2);
    t.edit();
    t.setValue("DISCOUNT", 0.3);
    QVERIFY(t.post());
    t.insert();
    t.setValue("DISCOUNT", 0.4);
    OS_VERIFY_THROWS(DbError, t.post(),
                     QStringLiteral("Key violation.\rUNIQUE constraint failed: coupons.CODE"));
    t.cancel();
    QCOMPARE(t.recordCount(), 2);
}

void TestEngine::logicalHasThreeStates()
{
    QTemporaryDir tmp;
    const QString dir = makeDb(tmp);
    Table t("customers");
    t.setDirectory(dir);
    t.open();
    const QList<QVariant> states{QVariant(), true, false};
    for (int i = 0; i < 3; ++i) {
        t.insert();
        t.setValue("CUSTID", i + 1);
        t.setValue("ZIP", "00123");
        t.setValue("SUBSCRIBE", states.at(i));
        QVERIFY(t.post());
    }
    t.first();
    QVERIFY(t.value("SUBSCRIBE").isNull());
    QCOMPARE(t.value("ZIP").toString(), QStringLiteral("00123")); // text stays text
    t.next();
    QCOMPARE(t.value("SUBSCRIBE"), QVariant(true));
    t.next();
    QCOMPARE(t.value("SUBSCRIBE"), QVariant(false));
    QCOMPARE(scalar(dir, "customers", "SELECT SUBSCRIBE FROM customers WHERE CUSTID=3").toInt(), 0);
}

void TestEngine::queriesRunTheProgramsSql()
{
    QTemporaryDir tmp;
    const QString dir = makeDb(tmp);
    Query q;
    q.setDirectory(dir);
    q.setSql("SELECT MAX(INV) as MAXINVOICE FROM orders.db");
    q.open();
    QVERIFY(!q.eof());
    QVERIFY(q.value("MAXINVOICE").isNull());

    q.setSql("INSERT INTO ORDERS.DB (INV, CUSTID, EMAIL, TOTAL, ORDERSTATE, IDATE) "
             "VALUES (:INV, :CUST, :EMAIL, :TOTAL, 'New', :WHEN)");
    const QDateTime when(QDate(2022, 3, 4), QTime(5, 6, 7));
    for (int i = 1; i <= 3; ++i) {
        q.setParam("INV", 1000 + i);
        q.setParam("CUST", 40 + i);
        q.setParam("EMAIL",
                   i == 2 ? "o'neil@example.com" : QStringLiteral("c%1@example.com").arg(i));
        q.setParam("TOTAL", 10.5 * i);
        q.setParam("WHEN", when);
        q.exec();
        QCOMPARE(q.rowsAffected(), 1);
    }
    q.setSql("SELECT MAX(INV) as MAXINVOICE, SUM(TOTAL) AS S FROM orders.db");
    q.open();
    QCOMPARE(q.value("MAXINVOICE").toInt(), 1003);
    QCOMPARE(q.value("s").toDouble(), 63.0);

    q.setSql("SELECT EMAIL, IDATE from orders.db WHERE EMAIL=:MAIL");
    q.setParam("MAIL", "o'neil@example.com");
    q.open();
    QCOMPARE(q.value(0).toString(), QStringLiteral("o'neil@example.com"));
    QCOMPARE(q.value("IDATE").toDateTime(), when); // typed by its column
    q.next();
    QVERIFY(q.eof());

    // Insert by column position, into a quoted file reference.
    q.setSql("INSERT INTO \"form_letters.db\" VALUES (:N, :B, :F)");
    q.setParam("N", "Shipped");
    q.setParam("B", "Dear %io_name%");
    q.setParam("F", "shop@example.com");
    q.exec();
    q.setSql("SELECT UPPER(DOCNAME) AS U FROM \"form_letters.db\"");
    q.open();
    QCOMPARE(q.value("U").toString(), QStringLiteral("SHIPPED"));

    q.setSql("UPDATE orders.db SET ORDERSTATE='Complete' WHERE INV > :LOW");
    q.setParam("LOW", 1001);
    q.exec();
    QCOMPARE(q.rowsAffected(), 2);
    q.setSql("SELECT INV FROM orders.db WHERE ORDERSTATE='Complete' ORDER BY INV");
    q.open();
    QCOMPARE(q.recordCount(), 2);
    QCOMPARE(q.value("INV").toInt(), 1002);
    q.next();
    QCOMPARE(q.value("INV").toInt(), 1003);
    q.prior();
    QCOMPARE(q.value("INV").toInt(), 1002);

    // Two files in one statement.
    q.setSql("INSERT INTO customers.db (CUSTID, EMAIL) VALUES (42, 'two@example.com')");
    q.exec();
    q.setSql("SELECT o.INV, c.EMAIL FROM orders.db o JOIN customers.db c ON c.CUSTID = o.CUSTID");
    q.open();
    QCOMPARE(q.value("INV").toInt(), 1002);
    QCOMPARE(q.value("EMAIL").toString(), QStringLiteral("two@example.com"));

    q.setSql("DELETE FROM orders.db WHERE INV = :INV");
    q.setParam("INV", 1001);
    q.exec();
    QCOMPARE(q.rowsAffected(), 1);

    q.setSql("INSERT INTO orders.db (INV) VALUES (1002)");
    OS_VERIFY_THROWS(DbError, q.exec(),
                     QStringLiteral("Key violation.\rUNIQUE constraint failed: orders.INV"));
    q.setSql("SELECT * FROM orders.db WHERE INV=:MISSING");
    OS_VERIFY_THROWS(DbError, q.open(), QStringLiteral("No value for parameter 'MISSING'."));
    q.setSql("SELEC * FROM orders.db");
    OS_VERIFY_THROWS(DbError, q.open(), QStringLiteral("near \"SELEC\": syntax error"));
}

void TestEngine::queryMissingFileIsReportedNotCreated()
{
    QTemporaryDir tmp;
    const QString dir = makeDb(tmp);
    QVERIFY(QFile::remove(dir + "/gift.db"));
    Query q;
    q.setDirectory(dir);
    q.setSql("SELECT * FROM gift.db");
    OS_VERIFY_THROWS(DbError, q.open(),
                     QStringLiteral("Table does not exist: %1/gift.db").arg(dir));
    q.setSql("SELECT o.INV FROM orders.db o, gift.db g");
    QVERIFY_THROWS_EXCEPTION(DbError, q.open());
    QVERIFY(!QFileInfo::exists(dir + "/gift.db"));
    Table t("gift");
    t.setDirectory(dir);
    QVERIFY_THROWS_EXCEPTION(DbError, t.open());
    QVERIFY(!QFileInfo::exists(dir + "/gift.db"));
}

void TestEngine::queriesAttachBeyondTheEngineLimit()
{
    QTemporaryDir tmp;
    const QString dir = makeDb(tmp);
    Query q;
    q.setDirectory(dir);
    // Every other table joined to orders in turn: more files than the engine
    // keeps attached at once.
    for (int round = 0; round < 2; ++round) {
        for (const TableDef& def : catalogue()) {
            if (def.name == "orders")
                continue;
            q.setSql(
                QStringLiteral(
                    "SELECT (SELECT COUNT(*) FROM orders.db) + (SELECT COUNT(*) FROM %1.db) AS N")
                    .arg(def.name));
            q.open();
            QCOMPARE(q.value("N").toInt(), 0);
        }
    }
    q.close();
}

void TestEngine::savepointNamesAreReusedOnlyWhenFree()
{
    QTemporaryDir tmp;
    const QString dir = makeDb(tmp);
    Query q;
    q.setDirectory(dir);
    q.setSql("INSERT INTO todo.db (PRIORITY, DESCRIPTION) VALUES (1, :D)");
    auto add = [&](const char* text) {
        q.setParam("D", QString::fromLatin1(text));
        q.exec();
    };
    auto texts = [&] {
        QStringList out;
        Query s;
        s.setDirectory(dir);
        s.setSql("SELECT DESCRIPTION FROM todo.db ORDER BY ID");
        for (s.open(); !s.eof(); s.next())
            out << s.value(0).toString();
        return out;
    };
    {
        Transaction tr(dir, "todo");
        // A savepoint per record, as the imports use them: one refused record
        // in the middle undoes only itself.
        for (const char* text : {"one", "refused", "three"}) {
            Savepoint sp(dir, "todo");
            add(text);
            if (QByteArray(text) != "refused")
                sp.release();
        }
        {
            Savepoint outer(dir, "todo");
            add("outer");
            {
                Savepoint inner(dir, "todo");
                add("inner, undone");
                inner.rollback();
            }
            Savepoint second(dir, "todo");
            add("second inner");
            second.release();
            outer.release();
        }
        {
            // Released out of order: the outer takes the inner with it, and a
            // savepoint opened after that is not the inner's to release.
            Savepoint outer(dir, "todo");
            Savepoint inner(dir, "todo");
            add("inner, kept by the outer");
            outer.release();
            Savepoint later(dir, "todo");
            add("later, undone");
            QVERIFY_THROWS_EXCEPTION(DbError, inner.release());
            later.rollback();
        }
        tr.commit();
    }
    QCOMPARE(texts(),
             (QStringList{"one", "three", "outer", "second inner", "inner, kept by the outer"}));
}

void TestEngine::transactionsAndSavepointsCoverTablesAndQueries()
{
    QTemporaryDir tmp;
    const QString dir = makeDb(tmp);
    Table t("todo");
    t.setDirectory(dir);
    t.open();
    Query q;
    q.setDirectory(dir);
    q.setSql("INSERT INTO todo.db (PRIORITY, DESCRIPTION) VALUES (:P, :D)");
    auto count = [&] { return scalar(dir, "todo", "SELECT COUNT(*) FROM todo").toInt(); };
    {
        Transaction tr(dir, "todo");
        q.setParam("P", 1);
        q.setParam("D", "from query");
        q.exec();
        t.insert();
        t.setValue("DESCRIPTION", "from table");
        QVERIFY(t.post());
        QCOMPARE(count(), 2);
    } // not committed
    QCOMPARE(count(), 0);
    {
        Transaction tr(dir, "todo.db");
        q.setParam("D", "kept");
        q.exec();
        {
            Savepoint sp(dir, "TODO");
            q.setParam("D", "undone");
            q.exec();
            t.insert();
            t.setValue("DESCRIPTION", "undone too");
            QVERIFY(t.post());
            QCOMPARE(count(), 3);
            sp.rollback();
        }
        {
            Savepoint sp(dir, "todo");
            q.setParam("D", "released");
            q.exec();
            sp.release();
        }
        tr.commit();
    }
    t.refresh();
    QCOMPARE(t.recordCount(), 2);
    Query s;
    s.setDirectory(dir);
    s.setSql("SELECT DESCRIPTION FROM todo.db ORDER BY ID");
    s.open();
    QCOMPARE(s.value(0).toString(), QStringLiteral("kept"));
    s.next();
    QCOMPARE(s.value(0).toString(), QStringLiteral("released"));

    // A query still reading on the shared connection does not block a
    // transaction, and a table refresh sees what a query wrote.
    for (int i = 0; i < 100; ++i) {
        q.setParam("D", QStringLiteral("bulk %1").arg(i));
        q.exec();
    }
    s.open();
    s.next();
    QSignalSpy changed(&t, &Table::dataChanged);
    {
        Transaction tr(dir, "todo");
        t.insert();
        t.setValue("DESCRIPTION", "while reading");
        QVERIFY(t.post());
        tr.commit();
    }
    s.next();
    QCOMPARE(s.value(0).toString(), QStringLiteral("bulk 0"));
    QCOMPARE(s.recordCount(), 103);
    q.setParam("D", "last one");
    q.exec();
    t.refresh();
    QVERIFY(changed.count() >= 2);
    QCOMPARE(t.recordCount(), 104);
    QVERIFY(t.locate("DESCRIPTION", "LAST ONE", true));
}

void TestEngine::garbageFileIsReportedAndKept()
{
    QTemporaryDir tmp;
    const QString dir = makeDb(tmp);
    const QString path = dir + "/orders.db";
    QVERIFY(QFile::remove(path));
    const QByteArray garbage = QByteArray("this is not a table\n").repeated(300);
    writeBytes(path, garbage);
    Table t("orders");
    t.setDirectory(dir);
    OS_VERIFY_THROWS(
        DbError, t.open(),
        QStringLiteral(
            "Cannot open table %1.\rfile is not a database\rThe file is damaged. Restore it from a "
            "backup, or run the Ordersentinel Database Repair Utility "
            "(ordersentinel --repair) to save its readable rows.")
            .arg(path));
    QVERIFY(!t.isOpen());
    QVERIFY_THROWS_EXCEPTION(DbError, storedColumnNames(dir, "orders"));
    TMainDataMod::CreateMissingTables(dir); // exists: left alone
    QCOMPARE(fileBytes(path), garbage);
}

int runCreateChild(const QString& dir)
{
    // Run as an unprivileged user where possible, so the directory's mode counts.
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
        return 3;
    try {
        TMainDataMod::CreateMissingTables(dir);
    } catch (const DbError& e) {
        QTextStream(stdout) << e.text();
        return 0;
    }
    return 2;
}

void TestEngine::creationRefusedInReadOnlyDirectory()
{
    QTemporaryDir tmp;
    const QString dir = tmp.path() + "/data";
    QVERIFY(QDir().mkpath(dir));
    QVERIFY(::chmod(QFile::encodeName(tmp.path()).constData(), 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(dir).constData(), 0555) == 0);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--create", dir});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()),
             QStringLiteral("Cannot create table %1/customers.db.\rPermission denied").arg(dir));
    QCOMPARE(QDir(dir).entryList(QDir::Files).size(), 0);
    ::chmod(QFile::encodeName(dir).constData(), 0755);

    // A directory that is not there fails the same way.
    OS_VERIFY_THROWS(
        DbError, TMainDataMod::CreateMissingTables(tmp.path() + "/nowhere"),
        QStringLiteral("Cannot create table %1/nowhere/customers.db.\rNo such file or directory")
            .arg(tmp.path()));
}

int runPostLoopChild(const QString& dir)
{
    QTextStream out(stdout);
    Table t("outbox");
    t.setDirectory(dir);
    t.open();
    // 100 single posts, each committed on its own, then one transaction that never ends.
    for (int i = 1; i <= 100; ++i) {
        t.insert();
        t.setValue("TO", QStringLiteral("c%1@example.com").arg(i));
        t.setValue("BODY", QString(2000, QLatin1Char('x')));
        t.post();
    }
    out << "committed 100\n";
    out.flush();
    Transaction tr(dir, "outbox");
    for (int i = 0;; ++i) {
        t.insert();
        t.setValue("TO", "uncommitted@example.com");
        t.setValue("BODY", QString(2000, QLatin1Char('y')));
        t.post();
        if (i == 500) {
            out << "pending\n";
            out.flush();
        }
    }
}

void TestEngine::killedWriterKeepsCommittedRows()
{
    QTemporaryDir tmp;
    const QString dir = makeDb(tmp);
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--post-loop", dir});
    QVERIFY(child.waitForStarted());
    QByteArray seen;
    QElapsedTimer timer;
    timer.start();
    while (!seen.contains("pending\n") && timer.elapsed() < 60000) {
        child.waitForReadyRead(1000);
        seen += child.readAllStandardOutput();
    }
    QVERIFY2(seen.contains("committed 100\npending\n"), seen.constData());
    child.kill(); // SIGKILL in the middle of the open transaction
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    QCOMPARE(scalar(dir, "outbox", "PRAGMA integrity_check").toString(), QStringLiteral("ok"));
    QCOMPARE(scalar(dir, "outbox", "SELECT COUNT(*) FROM outbox").toInt(), 100);
    QCOMPARE(scalar(dir, "outbox", "SELECT COUNT(*) FROM outbox WHERE \"TO\" LIKE 'uncommitted%'")
                 .toInt(),
             0);
    Table t("outbox");
    t.setDirectory(dir);
    t.open();
    t.last();
    QCOMPARE(t.value("TO").toString(), QStringLiteral("c100@example.com"));
    t.insert();
    t.setValue("TO", "after@example.com");
    QVERIFY(t.post());
    QCOMPARE(t.value("ID").toInt(), 101);
    for (const TableDef& def : catalogue())
        QCOMPARE(scalar(dir, def.name, "PRAGMA quick_check").toString(), QStringLiteral("ok"));
}
