#include "test_paging.h"
#include "common/throws.h"

#include "data/db_error.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "data/transaction.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace os;

namespace {

// 300 orders, INV 1..300; every seventh has no date and every fifth no state,
// so the keys hold empty values on both ends of the order.
QString ordersDir(QTemporaryDir& tmp)
{
    TMainDataMod::CreateMissingTables(tmp.path());
    Table t("orders");
    t.setDirectory(tmp.path());
    t.open();
    Transaction tr(tmp.path(), "orders");
    for (int inv = 1; inv <= 300; ++inv) {
        t.insert();
        t.setValue("INV", inv);
        t.setValue("CUSTID", inv % 11);
        t.setValue("ORDERSTATE", inv % 5 == 0 ? QVariant() : QVariant(inv % 2 ? "New" : "Void"));
        if (inv % 7)
            t.setValue("IDATE", QDateTime(QDate(2021, 3, 1), QTime(8, 0)).addDays(inv % 13));
        t.setValue("NAME", QString("Name %1").arg(inv));
        t.setValue("EMAIL",
                   inv == 42 ? "Odd_100%@Example.com" : QString("c%1@example.com").arg(inv));
        if (!t.post())
            qFatal("an order was refused");
    }
    tr.commit();
    return tmp.path();
}

QList<qint64> walkIds(Table& t)
{
    QList<qint64> ids;
    for (t.first(); !t.eof(); t.next())
        ids << t.bookmark();
    return ids;
}

QList<qint64> ids(const QList<Table::Row>& rows)
{
    QList<qint64> out;
    for (const Table::Row& r : rows)
        out << r.rowid;
    return out;
}

} // namespace

void TestPaging::pagesAgreeWithTheCursor()
{
    QTemporaryDir tmp;
    const QString dir = ordersDir(tmp);
    Table t("orders");
    t.setDirectory(dir);
    t.open();
    // Every order the program uses: primary, a descending pair, a key with
    // empty values; with and without a filter.
    for (const char* index : {"", "INVDATE", "ORDERDATE", "MODS"}) {
        for (bool filtered : {false, true}) {
            t.setIndexName(QLatin1String(index));
            t.setFilter("ORDERSTATE='new'");
            t.setFilterCaseInsensitive(true);
            t.setFiltered(filtered);
            const QList<qint64> all = walkIds(t);
            const int n = int(all.size());
            QCOMPARE(t.recordCount(), n);
            QCOMPARE(ids(t.readRows(0, n + 5)), all);
            QCOMPARE(ids(t.readRows(17, 20)), all.mid(17, 20));
            // From the end: offset counts back from the last row.
            QCOMPARE(ids(t.readRows(0, 10, true)), all.mid(n - 10));
            QCOMPARE(ids(t.readRows(n - 5, 10, true)), all.mid(0, 5));
            // Continuing from a row either way gives its neighbours.
            const QList<Table::Row> middle = t.readRows(40, 1);
            QCOMPARE(ids(t.readRowsAfter(middle.first(), 25)), all.mid(41, 25));
            QCOMPARE(ids(t.readRowsBefore(middle.first(), 25)), all.mid(15, 25));
            QCOMPARE(ids(t.readRowsBefore(t.readRows(3, 1).first(), 25)), all.mid(0, 3));
            QVERIFY(t.readRowsAfter(t.readRows(0, 1, true).first(), 5).isEmpty());
        }
    }
}

void TestPaging::bookmarksAndRowNumbers()
{
    QTemporaryDir tmp;
    const QString dir = ordersDir(tmp);
    Table t("orders");
    t.setDirectory(dir);
    t.setIndexName("INVDATE");
    t.open();
    const QList<qint64> all = walkIds(t);
    for (int i : {0, 1, 63, 64, 65, 150, 299})
        QCOMPARE(t.rowNumber(all.at(i)), i);
    QCOMPARE(t.rowNumber(999999), -1);

    // A jump by bookmark, then the cursor carries on from there.
    QSignalSpy current(&t, &Table::currentChanged);
    QVERIFY(t.gotoBookmark(all.at(200)));
    QCOMPARE(current.count(), 1);
    QCOMPARE(t.bookmark(), all.at(200));
    t.next();
    QCOMPARE(t.bookmark(), all.at(201));
    t.prior();
    t.prior();
    QCOMPARE(t.bookmark(), all.at(199));

    // A row outside the filter is no bookmark of the set; the cursor stays.
    t.setFilter("ORDERSTATE='Void'");
    t.setFiltered(true);
    Table probe("orders");
    probe.setDirectory(dir);
    probe.open();
    QVERIFY(probe.locate("INV", 299)); // "New": not in the "Void" set
    const qint64 outside = probe.bookmark();
    const qint64 before = t.bookmark();
    QVERIFY(before != 0);
    QVERIFY(!t.gotoBookmark(outside));
    QCOMPARE(t.bookmark(), before);
    QCOMPARE(t.rowNumber(outside), -1);

    // A refused edit keeps the cursor where it is.
    t.setBeforePost([](Table&) { return false; });
    t.edit();
    t.setValue("NAME", "changed");
    QVERIFY(!t.gotoBookmark(t.readRows(3, 1).first().rowid));
    QCOMPARE(t.state(), Table::State::Edit);
    QCOMPARE(t.bookmark(), before);
    t.cancel();

    // The set as a whole changing is told before the new current row.
    QStringList order;
    connect(&t, &Table::setChanged, [&] { order << "set"; });
    connect(&t, &Table::currentChanged, [&] { order << "current"; });
    t.setFiltered(false);
    QCOMPARE(order, QStringList({"set", "current"}));
}

void TestPaging::searchMatchesSubstringsAsText()
{
    QTemporaryDir tmp;
    const QString dir = ordersDir(tmp);
    Table t("orders");
    t.setDirectory(dir);
    t.open();
    auto invs = [&t] {
        QList<int> out;
        for (const Table::Row& r : t.readRows(0, 1000))
            out << t.typedValue(r, t.def().fieldIndex("INV")).toInt();
        return out;
    };
    // Numbers match as their text, names and e-mails ignoring case.
    t.setSearch({"INV", "EMAIL", "NAME"}, "29");
    QCOMPARE(invs(), QList<int>({29, 129, 229, 290, 291, 292, 293, 294, 295, 296, 297, 298, 299}));
    t.setSearch({"INV", "EMAIL", "NAME"}, "NAME 13");
    QCOMPARE(invs(), QList<int>({13, 130, 131, 132, 133, 134, 135, 136, 137, 138, 139}));
    // % and _ are the text's own characters, never wildcards; a quote is
    // only a character.
    t.setSearch({"EMAIL"}, "_100%");
    QCOMPARE(invs(), QList<int>({42}));
    t.setSearch({"EMAIL"}, "c1%");
    QCOMPARE(invs(), QList<int>());
    t.setSearch({"NAME"}, "x' OR '1'='1");
    QCOMPARE(invs(), QList<int>());
    QCOMPARE(t.recordCount(), 0);
    // Search and filter hold together; an empty text ends the search.
    t.setSearch({"INV"}, "29");
    t.setFilter("ORDERSTATE='New'");
    t.setFiltered(true);
    QCOMPARE(invs(), QList<int>({29, 129, 229, 291, 293, 297, 299}));
    t.setSearch({"INV"}, QString());
    QCOMPARE(t.recordCount(), 120);
    OS_VERIFY_THROWS(DbError, t.setSearch({"NOSUCH"}, "x"), "Field 'NOSUCH' not found in orders.");
}

void TestPaging::scanStreamsTheSet()
{
    QTemporaryDir tmp;
    const QString dir = ordersDir(tmp);
    Table t("orders");
    t.setDirectory(dir);
    t.setIndexName("INVDATE");
    t.open();
    t.setFilter("ORDERSTATE='Void'");
    t.setFiltered(true);
    QList<qint64> scanned;
    QList<QByteArray> dates;
    t.scan({"INV", "IDATE", "ORDERSTATE"}, [&](const Table::Cells& c) {
        scanned << c.integer(0);
        dates << (c.isNull(1) ? QByteArray("-") : c.text(1).toByteArray());
        QCOMPARE(c.text(2), QByteArrayView("Void"));
    });
    QList<qint64> expected;
    QList<QByteArray> expectedDates;
    const int idate = t.def().fieldIndex("IDATE");
    for (const Table::Row& r : t.readRows(0, 1000)) {
        expected << t.typedValue(r, 0).toLongLong();
        expectedDates << (r.values.at(idate).isNull() ? QByteArray("-")
                                                      : r.values.at(idate).toString().toUtf8());
    }
    QCOMPARE(scanned, expected);
    QCOMPARE(scanned.size(), 120);
    QCOMPARE(dates, expectedDates);
    QCOMPARE(dates.first(), QByteArray("2021-03-13T08:00:00")); // order 298, stored as ISO text
}
