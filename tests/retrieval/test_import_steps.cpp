// The record conversions, the invoice cutter and the local account lookup,
// on real files and a real company database in a temporary directory.
#include "common/file_utils.h"
#include "common/scripted_messages.h"
#include "common/temp_home.h"
#include "common/throws.h"
#include "data/connection.h"
#include "data/db_error.h"
#include "data/main_data_mod.h"
#include "data/query.h"
#include "data/statement.h"
#include "sync/import_steps.h"
#include "sync/integrity.h"
#include "sync/invoices.h"
#include "sync/protocol.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTest>

#include <sqlite3.h>

using namespace os;
using namespace os::test;

class TestImportSteps : public QObject
{
    Q_OBJECT

    static QByteArray read(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void integers()
    {
        QCOMPARE(readInteger(QStringLiteral(" 42 ")), 42);
        QCOMPARE(readInteger(QStringLiteral("-7")), -7);
        for (const char* bad : {"abc", "", "12a", "0x1F", "99999999999", "+"}) {
            OS_VERIFY_THROWS(
                ConversionError, readInteger(QString::fromLatin1(bad)),
                QStringLiteral("'%1' is not a valid integer value").arg(QString::fromLatin1(bad)));
            QCOMPARE(readIntegerOr(QString::fromLatin1(bad), -1), -1);
        }
        QCOMPARE(readIntegerOr(QStringLiteral("\t+12\x01"), -1), 12);
        QCOMPARE(readIntegerOr(QStringLiteral("-2147483648"), 0), -2147483648);
        QCOMPARE(readIntegerOr(QStringLiteral("2147483648"), 5), 5);
        QCOMPARE(readIntegerOr(QStringLiteral("1 2"), 5), 5);

        // The affiliate code is 0 when it is not an integer.
        QStringList order(kOrderFields, QStringLiteral("x"));
        order[0] = QStringLiteral("1");
        order[1] = QStringLiteral("2");
        order[21] = QStringLiteral("2024-03-05");
        order[22] = QStringLiteral("1.00");
        DateReader dates;
        for (const auto& [code, stored] :
             {std::pair{"9", 9}, std::pair{"abc", 0}, std::pair{"7.5", 0}}) {
            order[30] = QString::fromLatin1(code);
            QCOMPARE(orderRowValues(order, dates, QDateTime()).at(30), QVariant(stored));
        }
    }

    void moneyInTheDesktopFormatAndWithAFullStop()
    {
        QCOMPARE(readMoney(QStringLiteral("12.345678")), 12.3457);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(readMoney(QStringLiteral("1.234,50")), 1234.5);
        QCOMPARE(readMoney(QStringLiteral("19.99")), 19.99);
        OS_VERIFY_THROWS(ConversionError, readMoney(QStringLiteral("lots")),
                         QStringLiteral("'lots' is not a valid floating point value"));
    }

    void datesRegionalAndIso()
    {
        const QDateTime expected(QDate(2024, 3, 5), QTime(14, 7, 9));
        {
            DateReader r; // the C locale of the test run
            QCOMPARE(r.dateTime(QStringLiteral("5 Mar 2024 14:07:09")), expected);
            QCOMPARE(r.dateTime(QStringLiteral("2024-03-05 14:07:09")), expected);
            QCOMPARE(r.dateTime(QStringLiteral("2024-03-05T14:07:09")), expected);
            QCOMPARE(r.date(QStringLiteral("2024-03-05")), QDate(2024, 3, 5));
        }
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        DateReader us;
        QCOMPARE(us.dateTime(QStringLiteral("3/5/24 2:07 PM")),
                 QDateTime(QDate(2024, 3, 5), QTime(14, 7)));
        QCOMPARE(us.dateTime(QStringLiteral("3/5/2024 2:07:09 PM")), expected);
        QCOMPARE(us.date(QStringLiteral("12/31/99")), QDate(1999, 12, 31));
        OS_VERIFY_THROWS(ConversionError, us.dateTime(QStringLiteral("31/31/2024")),
                         QStringLiteral("'31/31/2024' is not a valid date and time"));
    }

    void isoDatesReadByHandAsTheParserWould()
    {
        DateReader r;
        QCOMPARE(r.dateTime(QStringLiteral("2024-02-29 23:59:59")),
                 QDateTime(QDate(2024, 2, 29), QTime(23, 59, 59)));
        QCOMPARE(r.dateTime(QStringLiteral("2024-03-05T00:00:00")),
                 QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
        QCOMPARE(r.dateTime(QStringLiteral("2024-03-05 14:07")),
                 QDateTime(QDate(2024, 3, 5), QTime(14, 7)));
        // Another format between ISO ones, then ISO again.
        QCOMPARE(r.dateTime(QStringLiteral("5 Mar 2024 14:07:09")),
                 QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)));
        QCOMPARE(r.dateTime(QStringLiteral("2024-12-31 08:30:00")),
                 QDateTime(QDate(2024, 12, 31), QTime(8, 30)));
        QCOMPARE(r.date(QStringLiteral("2024-12-31")), QDate(2024, 12, 31));
        for (const char* bad :
             {"2023-02-29 10:00:00", "2024-03-05 24:00:00", "2024-13-01 10:00:00",
              "2024-03-05 10:60:00", "2024-03-05x10:00:00", "2024-03-0a 10:00:00"}) {
            OS_VERIFY_THROWS(
                ConversionError, r.dateTime(QString::fromLatin1(bad)),
                QStringLiteral("'%1' is not a valid date and time").arg(QString::fromLatin1(bad)));
        }
    }

    void paymentCodes()
    {
        const QStringList texts{
            "Credit Card",        "Credit Card by Phone", "COD",     "Purchase Order",
            "Remote Credit Card", "Mail Payment",         "Unknown", "Unknown"};
        const QStringList codes{"1", " 2 ", "3", "4", "5", "6", "7", ""};
        for (int i = 0; i < codes.size(); ++i)
            QCOMPARE(paymentMethodText(codes[i]), texts[i]);
    }

    void recordsAreTrimmedLines()
    {
        const QList<QStringList> r =
            readRecords(" 1 | a |\r\nno bar\r\n\r\n2|caf\xe9\nsign|\x80\r\n");
        QCOMPARE(r.size(), 5);
        QCOMPARE(r[0], (QStringList{"1", "a", ""}));
        QCOMPARE(r[1], QStringList());
        QCOMPARE(r[3], (QStringList{"2", QStringLiteral("caf\u00e9")}));
        QCOMPARE(r[4], (QStringList{"sign", QStringLiteral("\u20ac")})); // the store's set
    }

    void invoicesOnlyForImportedOrders()
    {
        TempHome home;
        ScriptedMessages shown;
        ImportContext ctx;
        ctx.dataDir = home.dataDir();
        QStringList log;
        ctx.log = [&log](const QString& t, const QString& m) {
            log.append(t + QLatin1Char('|') + m);
        };
        ctx.imported = {10, 11, 12};
        ctx.failed = {11};
        ExtractInvoices("junk VendixBeginInvoice|10<!--END--><p>ten</p>VendixEndInvoice|\n"
                        "VendixBeginInvoice|11<!--END--><p>eleven</p>VendixEndInvoice|"
                        "VendixBeginInvoice|13<!--END--><p>not ordered</p>VendixEndInvoice|"
                        "VendixBeginInvoice| 12 <!--END--><p>twelve",
                        ctx);
        QCOMPARE(log,
                 (QStringList{"Invoice|10 Printable Invoice", "Invoice|12 Printable Invoice"}));
        const QDir html(home.dataDir() + QStringLiteral("/html"));
        QCOMPARE(html.entryList(QDir::Files, QDir::Name),
                 (QStringList{"10inv.html", "12inv.html"}));
        QCOMPARE(read(html.filePath(QStringLiteral("10inv.html"))), QByteArray("<p>ten</p>\r\n"));
        // No end marker: an empty page.
        QCOMPARE(read(html.filePath(QStringLiteral("12inv.html"))), QByteArray("\r\n"));

        log.clear();
        ExtractInvoices("", ctx);
        ExtractInvoices("no marker at all", ctx);
        QCOMPARE(shown.texts(), QStringList());
        // A begun invoice without its separator is named, never dropped silently.
        ExtractInvoices("VendixBeginInvoice|10 and never a separator", ctx);
        QCOMPARE(log, QStringList());
        QCOMPARE(shown.texts(),
                 QStringList{"An invoice has no \"<!--END-->\" after its number and was not "
                             "written: \"VendixBeginInvoice|10 and never a separator\""});
    }

    // A full disk: the invoice that did not fit is named, nothing of it is
    // left behind, and the next one is tried as usual.
    void fullDiskLeavesNoPartialInvoice()
    {
        TempHome home;
        ScriptedMessages shown;
        ImportContext ctx;
        ctx.dataDir = home.dataDir();
        ctx.imported = {20, 21};
        const QByteArray big(200 * 1024, 'x');
        withFullDisk(
            [&] {
                ExtractInvoices("VendixBeginInvoice|20<!--END-->" + big +
                                    "VendixEndInvoice|\nVendixBeginInvoice|21<!--END-->small"
                                    "VendixEndInvoice|\n",
                                ctx);
            },
            64 * 1024);
        const QDir html(home.dataDir() + QStringLiteral("/html"));
        QCOMPARE(shown.texts(),
                 QStringList{QStringLiteral("The disk is full: the invoice could not be written to "
                                            "\"%1\".")
                                 .arg(QDir::toNativeSeparators(html.filePath("20inv.html")))});
        QCOMPARE(html.entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 QStringList{QStringLiteral("21inv.html")});
    }

    void invoiceNumberThatIsNoNumberIsRefusedAlone()
    {
        TempHome home;
        ScriptedMessages shown;
        ImportContext ctx;
        ctx.dataDir = home.dataDir();
        ctx.imported = {1, 2};
        ExtractInvoices("VendixBeginInvoice|1<!--END-->a VendixEndInvoice|VendixBeginInvoice|x1"
                        "<!--END-->b VendixEndInvoice|VendixBeginInvoice|2<!--END-->c"
                        "VendixEndInvoice|",
                        ctx);
        QCOMPARE(shown.texts(), QStringList{"'x1' is not a valid integer value"});
        QCOMPARE(read(home.dataDir() + QStringLiteral("/html/1inv.html")), QByteArray("a \r\n"));
        QCOMPARE(read(home.dataDir() + QStringLiteral("/html/2inv.html")), QByteArray("c\r\n"));
        QCOMPARE(QDir(home.dataDir() + QStringLiteral("/html")).entryList(QDir::Files, QDir::Name),
                 (QStringList{"1inv.html", "2inv.html"}));
    }

    void fullDatabaseEndsTheImportInsteadOfRefusingEachRecord()
    {
        TempHome home;
        ScriptedMessages shown;
        TMainDataMod::CreateMissingTables(home.dataDir());
        QByteArray dat;
        for (int inv = 1; inv <= 300; ++inv) {
            QStringList f(kOrderFields, QStringLiteral("some text of an order"));
            f[0] = QString::number(inv);
            f[1] = QStringLiteral("5");
            f[21] = QStringLiteral("2024-03-05");
            f[22] = QStringLiteral("1.00");
            f[23] = QStringLiteral("1");
            f[30] = QStringLiteral("0");
            dat += f.join(QLatin1Char('|')).toUtf8() + "\r\n";
        }
        QVERIFY(writeAll(home.path(QStringLiteral("orders.dat")), dat));

        // The import's own connection may grow the file by two pages only.
        const auto conn = Connection::forTable(home.dataDir(), QStringLiteral("orders"));
        Statement pages(conn->handle(), QStringLiteral("PRAGMA page_count"));
        QVERIFY(pages.step());
        conn->exec(
            QStringLiteral("PRAGMA max_page_count=%1").arg(pages.column(0).toLongLong() + 2));

        ImportContext ctx;
        ctx.dataDir = home.dataDir();
        ctx.workDir = home.home();
        int logged = 0;
        ctx.log = [&logged](const QString&, const QString&) { ++logged; };
        OS_VERIFY_THROWS(DbError, ImportOrders(ctx),
                         QString::fromUtf8(sqlite3_errstr(SQLITE_FULL)));
        QCOMPARE(shown.texts(), QStringList());
        conn->exec(QStringLiteral("PRAGMA max_page_count=1073741823"));

        // Some records went in before the disk was full and no record after
        // it; what the log reports as imported is what the table holds.
        Query q;
        q.setDirectory(home.dataDir());
        q.setSql(QStringLiteral("SELECT COUNT(*) AS N FROM orders.db"));
        q.open();
        QVERIFY(logged > 0 && logged < 300);
        QCOMPARE(q.value(QStringLiteral("N")).toInt(), logged);
    }

    void findLocalAccount()
    {
        TempHome home;
        TMainDataMod::CreateMissingTables(home.dataDir());
        Query q;
        q.setDirectory(home.dataDir());
        q.setSql(QStringLiteral("INSERT INTO customers.db (CUSTID, EMAIL) VALUES (:ID, :EMAIL)"));
        for (const auto& [id, mail] : {std::pair{7, "x@x.com"}, std::pair{12, "y@y.com"}}) {
            q.setParam(QStringLiteral("ID"), id);
            q.setParam(QStringLiteral("EMAIL"), QString::fromLatin1(mail));
            q.exec();
        }
        const QString dir = home.dataDir();
        QCOMPARE(FindLocalAccount(dir, QStringLiteral("x@x.com"), QStringLiteral("99")),
                 QStringLiteral("x@x.com::7"));
        QCOMPARE(FindLocalAccount(dir, QStringLiteral(" y@y.com "), QStringLiteral("7")),
                 QStringLiteral("x@x.com::7"));
        QCOMPARE(FindLocalAccount(dir, QStringLiteral("n@n.com"), QStringLiteral(" 12 ")),
                 QStringLiteral("y@y.com::12"));
        QCOMPARE(FindLocalAccount(dir, QStringLiteral("n@n.com"), QStringLiteral("13")), QString());
        QCOMPARE(FindLocalAccount(dir, QStringLiteral("x@x.com"), QStringLiteral("seven")),
                 QString());
        QCOMPARE(FindLocalAccount(home.path(QStringLiteral("nowhere")), QStringLiteral("x@x.com"),
                                  QStringLiteral("7")),
                 QString());
        QCOMPARE(accountFixList(dir, SplitFields(QStringLiteral("7^x@x.com"), QStringLiteral("|"))),
                 QString());
        QCOMPARE(accountFixList(dir, SplitFields(QStringLiteral("9^y@y.com| |1^a^b|7^^|"),
                                                 QStringLiteral("|"))),
                 QStringLiteral("y@y.com::12|"));
        QCOMPARE(accountFixList(
                     dir, QStringList{QStringLiteral("12^n@n.com"), QStringLiteral("7^z@z.com")}),
                 QStringLiteral("y@y.com::12|x@x.com::7|"));
    }
};

QTEST_GUILESS_MAIN(TestImportSteps)
#include "test_import_steps.moc"
