// The separator rule of the rate tables: texts that would split records on
// the store.
#include "common/temp_home.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "sync/rate_tables.h"

#include <QTest>

using namespace os;
using namespace os::test;

class TestRateTables : public QObject
{
    Q_OBJECT
private slots:
    void separatorsInText_data();
    void separatorsInText();
    void rowColumns();
};

void TestRateTables::separatorsInText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::newRow("plain") << "Orders shipped to California"
                           << "";
    QTest::newRow("colons alone") << "Note: a :TA: b"
                                  << "";
    QTest::newRow("caret") << "A^B"
                           << "^";
    QTest::newRow("own terminator") << "x:TAX:y"
                                    << ":TAX:";
    QTest::newRow("other table's terminator") << "x:COUPON:y"
                                              << ":COUPON:";
    QTest::newRow("any case") << "x:nextShipItExt:"
                              << ":NEXTSHIPITEXT:";
    QTest::newRow("the first one found") << "a:GIFT:b^c"
                                         << ":GIFT:";
}

void TestRateTables::separatorsInText()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QCOMPARE(rateTextSeparator(text), separator);
}

void TestRateTables::rowColumns()
{
    TempHome home;
    TMainDataMod::CreateMissingTables(home.dataDir());
    Table smart(QStringLiteral("smarttaxes"));
    smart.setDirectory(home.dataDir());
    smart.open();
    smart.insert();
    smart.setValue(QStringLiteral("TAXCODE"), QStringLiteral("FL"));
    smart.setValue(QStringLiteral("DISPLAY"), QStringLiteral("Florida"));
    smart.setValue(QStringLiteral("PERCENTAGE"), 0.06);
    smart.setValue(QStringLiteral("CONDITION"), QStringLiteral("FL"));
    QVERIFY(!separatorInRow(smart)); // numbers and empty logicals are no text

    smart.setValue(QStringLiteral("DISPLAY"), QStringLiteral("Sales^Use"));
    auto found = separatorInRow(smart);
    QVERIFY(found);
    QCOMPARE(found->column, QStringLiteral("DISPLAY"));
    QCOMPARE(found->separator, QStringLiteral("^"));

    // The last column's end and the terminator after it would read as a
    // terminator one record too early (a longer text than the editors allow,
    // written by another tool).
    const RateTableFormat& format = *rateTableFormat(QStringLiteral("smarttaxes"));
    QCOMPARE(separatorInColumnText(format, 4, QStringLiteral("FL:smarttaxitem")),
             QStringLiteral(":SMARTTAXITEM:"));
    QCOMPARE(separatorInColumnText(format, 1, QStringLiteral("FL:smarttaxitem")), QString());
    QCOMPARE(separatorInColumnText(format, 4, QStringLiteral("FL:")), QString());
    smart.cancel();

    QCOMPARE(separatorRefusalText(QStringLiteral("Display Text"), QStringLiteral("^")),
             QStringLiteral("Display Text may not contain \"^\": the store uses it to separate "
                            "the records and columns of its rate tables."));
    QVERIFY(!rateTableFormat(QStringLiteral("orders")));
    QCOMPARE(rateTableFormat(QStringLiteral("GIFT.DB"))->field, QStringLiteral("gifts_data"));
}

QTEST_GUILESS_MAIN(TestRateTables)
#include "test_rate_tables.moc"
