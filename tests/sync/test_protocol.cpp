// The store protocol without a store: reply readers, command bodies, the
// event log's filters and the new-password rule.
#include "base/program_version.h"
#include "base/settings.h"
#include "sync/event_log.h"
#include "sync/protocol.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace os;

namespace {

QStringList rowsOf(const EventLog& log)
{
    QStringList out;
    for (const auto& r : log.rows())
        out << r.type + QLatin1Char('|') + r.message;
    return out;
}

} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT
private slots:
    void messagesJoinedByDoubleColonAndAction();
    void unterminatedLinesGiveNullAndEmptyAction();
    void separatorsOnlyAndDoubledSeparators();
    void replyWithoutMessageLine();
    void firstMarkerWinsAndLinesAreTrimmed();
    void latin1AndUtf8Lines();
    void extractSection_data();
    void extractSection();
    void splitFields_data();
    void splitFields();
    void commandBodies();
    void passwordWithSpaceAndAmpersand();
    void userAgent();
    void logFilters();
    void logModel();
    void newPasswordRule();
};

void TestProtocol::messagesJoinedByDoubleColonAndAction()
{
    const QByteArray reply = "<html>VendixResponse:3 new orders.::Site locked for retrieval.\n"
                             "VendixAction:DataSuccess\nSTARTVendixResponse|Orders:...";
    EventLog log;
    ShowStoreMessages(reply, log);
    QCOMPARE(rowsOf(log),
             (QStringList{"Vendix|3 new orders.", "Vendix|Site locked for retrieval."}));
    QCOMPARE(GetStoreAction(reply), QStringLiteral("DataSuccess"));
}

void TestProtocol::unterminatedLinesGiveNullAndEmptyAction()
{
    EventLog log;
    ShowStoreMessages(QByteArrayLiteral("VendixResponse:half a message"), log);
    QCOMPARE(rowsOf(log), QStringList{"Vendix|NULL"});
    QCOMPARE(GetStoreAction(QByteArrayLiteral("VendixResponse:x\nVendixAction:DataSuccess")),
             QString());
    QCOMPARE(GetStoreAction(QByteArrayLiteral("VendixResponse:x\n")), QString());
    // The action line ends at the first line feed; a CR before it is trimmed.
    QCOMPARE(GetStoreAction(QByteArrayLiteral("VendixAction: UNLOCKED! \r\nmore\n")),
             QStringLiteral("UNLOCKED!"));
    // Case is kept as sent.
    QCOMPARE(GetStoreAction(QByteArrayLiteral("VendixAction:dataSUCCESS\n")),
             QStringLiteral("dataSUCCESS"));
}

void TestProtocol::separatorsOnlyAndDoubledSeparators()
{
    EventLog log;
    ShowStoreMessages(QByteArrayLiteral("VendixResponse:::\nVendixAction:X\n"), log);
    QCOMPARE(log.count(), 0);

    ShowStoreMessages(QByteArrayLiteral("VendixResponse:first::::second\n"), log);
    QCOMPARE(rowsOf(log), (QStringList{"Vendix|first", "Vendix|second"}));

    log.clear();
    ShowStoreMessages(QByteArrayLiteral("VendixResponse:only one\n"), log);
    QCOMPARE(rowsOf(log), QStringList{"Vendix|only one"});

    // The readers see what the separators cut, nothing more.
    QCOMPARE(storeMessages(QByteArrayLiteral("VendixResponse:a:::b\n")), (QStringList{"a", ":b"}));
}

void TestProtocol::replyWithoutMessageLine()
{
    const QByteArray page = "<html><body><h1>500 Internal Server Error</h1></body></html>\n";
    EventLog log;
    ShowStoreMessages(page, log);
    QCOMPARE(rowsOf(log), QStringList{"Vendix|No response received from ordersentinel.cgi!"});
    QCOMPARE(GetStoreAction(page), QString());

    log.clear();
    ShowStoreMessages(QByteArray(), log);
    QCOMPARE(rowsOf(log), QStringList{"Vendix|No response received from ordersentinel.cgi!"});
}

void TestProtocol::firstMarkerWinsAndLinesAreTrimmed()
{
    const QByteArray reply = "VendixResponse: \t  first \x01\r\nVendixAction:\tLOCKED  \n"
                             "VendixResponse:second\nVendixAction:OTHER\n";
    EventLog log;
    ShowStoreMessages(reply, log);
    QCOMPARE(rowsOf(log), QStringList{"Vendix|first"});
    QCOMPARE(GetStoreAction(reply), QStringLiteral("LOCKED"));

    // UTF-8 text in a message survives.
    log.clear();
    ShowStoreMessages(QByteArrayLiteral("VendixResponse:Bestellung f\xfcr J\xfcrgen\n"), log);
    QCOMPARE(rowsOf(log), QStringList{QStringLiteral("Vendix|Bestellung für Jürgen")});
}

void TestProtocol::latin1AndUtf8Lines()
{
    // The store's set: Windows-1252 by default (0x80-0x9F are letters too).
    settings().storeCharset = StoreCharset::Windows1252;
    QCOMPARE(storeMessages(QByteArrayLiteral(
                 "VendixResponse:Caf\xe9 open::na\xefve \x80\nVendixAction:D\xe9j\xe0\n")),
             (QStringList{QStringLiteral("Caf\u00e9 open"), QStringLiteral("na\u00efve \u20ac")}));
    QCOMPARE(GetStoreAction(QByteArrayLiteral("VendixAction:D\xe9j\xe0\n")),
             QStringLiteral("D\u00e9j\u00e0"));
    QCOMPARE(decodeStoreText(QByteArrayLiteral("\x8a\x93\x94")),
             QStringLiteral("\u0160\u201c\u201d"));
    // A UTF-8 store, when the installation says so.
    settings().storeCharset = StoreCharset::Utf8;
    QCOMPARE(storeMessages(QByteArrayLiteral("VendixResponse:Caf\xc3\xa9 \xe2\x82\xac\n")),
             QStringList{QStringLiteral("Caf\u00e9 \u20ac")});
    QCOMPARE(GetStoreAction(QByteArrayLiteral("VendixAction:D\xc3\xa9j\xc3\xa0\n")),
             QStringLiteral("D\u00e9j\u00e0"));
    // Bytes that are no UTF-8 are still read, not lost.
    QCOMPARE(decodeStoreText(QByteArrayLiteral("\xe9t\xe9")), QStringLiteral("\u00e9t\u00e9"));
    settings().storeCharset = StoreCharset::Windows1252;
}

void TestProtocol::extractSection_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("normal, trimmed")
        << QByteArray("xSTARTVendixResponse|Orders:\n1|2|3\n4|5|6\r\nENDVendixResponse|Orders:y")
        << QByteArray("1|2|3\n4|5|6");
    QTest::newRow("end before start")
        << QByteArray("ENDVendixResponse|Orders:aSTARTVendixResponse|Orders:b") << QByteArray();
    QTest::newRow("start missing") << QByteArray("abc ENDVendixResponse|Orders:") << QByteArray();
    QTest::newRow("end missing") << QByteArray("STARTVendixResponse|Orders:abc") << QByteArray();
    QTest::newRow("nothing between")
        << QByteArray("STARTVendixResponse|Orders:ENDVendixResponse|Orders:") << QByteArray();
    QTest::newRow("only blanks between")
        << QByteArray("STARTVendixResponse|Orders: \n \nENDVendixResponse|Orders:") << QByteArray();
    QTest::newRow("first occurrences")
        << QByteArray("STARTVendixResponse|Orders:one ENDVendixResponse|Orders: "
                      "STARTVendixResponse|Orders:two "
                      "ENDVendixResponse|Orders:")
        << QByteArray("one");
    QTest::newRow("empty reply") << QByteArray() << QByteArray();
}

void TestProtocol::extractSection()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, expected);
    QCOMPARE(ExtractSection(reply, markers::OrdersStart, markers::OrdersEnd), expected);
}

void TestProtocol::splitFields_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("trailing separator") << "12|34|"
                                        << "|" << QStringList{"12", "34", ""};
    QTest::newRow("no separator") << "1234"
                                  << "|" << QStringList();
    QTest::newRow("empty text") << ""
                                << "|" << QStringList();
    QTest::newRow("separator only") << "|"
                                    << "|" << QStringList{"", ""};
    QTest::newRow("empty runs kept") << "a||b"
                                     << "|" << QStringList{"a", "", "b"};
    QTest::newRow("caret") << "17^x@y.z"
                           << "^" << QStringList{"17", "x@y.z"};
    QTest::newRow("empty separator") << "abc"
                                     << "" << QStringList();
}

void TestProtocol::splitFields()
{
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(QStringList, expected);
    QCOMPARE(SplitFields(text, separator), expected);
}

void TestProtocol::commandBodies()
{
    const QString p =
        QStringLiteral("Secret_1"); // "_" is encoded like any other non-alphanumeric byte
    struct Expect
    {
        StoreCommand command;
        QByteArray body;
        QString workFile;
        QString step;
    };
    const QList<Expect> expected = {
        {getNewStuffCommand(p), "crypt%5fkeeper=Secret%5f1&command=get%5fnew%5fstuff", "~g1.tmp",
         "Connecting to Vendix to retrieve information..."},
        {cleanUpInvoiceCommand(p), "crypt%5fkeeper=Secret%5f1&command=clean%5fup%5finvoice",
         "~g1.tmp", "Telling Vendix to Clean Up and Unlock Site!"},
        {checkDataIntegrityCommand(p, 120, 4077),
         "crypt%5fkeeper=Secret%5f1&command=check%5fdata%5fintegrity&hacc=120&hinv=4077",
         "~gin1.tmp", "Connecting to Vendix to check status."},
        {dataIntFixAcctCommand(p, 0, 9, QStringLiteral("a@b.c::17|")),
         "crypt%5fkeeper=Secret%5f1&command=data%5fint%5ffix%5facct&hacc=0&hinv=9&mailfix=a%40b%"
         "2ec%3a%3a17%7c",
         "~gin3.tmp", "Connecting to check account data integrity"},
        {genConfigsCommand(p, "CompanyName=Shop&SMTPPORT=25"),
         "crypt%5fkeeper=Secret%5f1&command=genconfigs=&CompanyName=Shop&SMTPPORT=25", "~g1.tmp",
         "Connecting to Vendix to update general configs...."},
        {emergencyUnlockCommand(p), "crypt%5fkeeper=Secret%5f1&command=emergency%5funlock",
         "~g1.tmp", "Connecting to Vendix for unlock!"},
        {lockVendixCommand(p), "crypt%5fkeeper=Secret%5f1&command=lock%5fvendix", "~g3.tmp",
         "Connecting to Vendix to create lock..."},
        {pollServerCommand(p), "crypt_keeper=Secret%5f1&command=poll%5fserver", "~g3.tmp",
         "Connecting to Vendix Polling..."},
        {changePassCommand(p, QStringLiteral("New_pass9")),
         "crypt%5fkeeper=Secret%5f1&command=changepass&newpass=New%5fpass9", "~g3.tmp",
         "Connecting to Change Password...."},
    };
    for (const Expect& e : expected) {
        QCOMPARE(e.command.body, e.body);
        QCOMPARE(e.command.workFile, e.workFile);
        QCOMPARE(e.command.stepText, e.step);
    }
}

void TestProtocol::passwordWithSpaceAndAmpersand()
{
    QCOMPARE(pollServerCommand(QStringLiteral("my pass&word")).body,
             QByteArray("crypt_keeper=my+pass%26word&command=poll%5fserver"));
    QCOMPARE(lockVendixCommand(QStringLiteral("a b&c=d%")).body,
             QByteArray("crypt%5fkeeper=a+b%26c%3dd%25&command=lock%5fvendix"));
    // Letters and digits go out unchanged.
    QCOMPARE(commandBody(QStringLiteral("Abc123xyz"), QStringLiteral("x")),
             QByteArray("crypt%5fkeeper=Abc123xyz&command=x"));
}

void TestProtocol::userAgent()
{
    const QString agent = storeUserAgent();
    QCOMPARE(agent, QStringLiteral("Vendix Ordersentinel Version ") + programVersion());
    QVERIFY2(QRegularExpression(
                 QStringLiteral("^Vendix Ordersentinel Version \\d+\\.\\d+\\.\\d+\\.\\d+$"))
                 .match(agent)
                 .hasMatch(),
             qPrintable(agent));
}

void TestProtocol::logFilters()
{
    EventLog log;
    QSignalSpy added(&log, &EventLog::rowAdded);

    QVERIFY(!log.LogEvent(QStringLiteral("Vendix"), QString()));
    QVERIFY(!log.LogEvent(QStringLiteral("Vendix"), QStringLiteral(" \t\r\n")));
    QVERIFY(!log.LogEvent(QStringLiteral("Agent"), QStringLiteral("Unknown state ?!")));
    QVERIFY(!log.LogEvent(
        QStringLiteral("Agent"),
        QStringLiteral(
            "Received an intermediate (100 level) status code message from the server.")));
    QVERIFY(!log.LogEvent(QStringLiteral("Vendix"), QStringLiteral("anything (100 anywhere")));
    QCOMPARE(log.count(), 0);
    QCOMPARE(added.count(), 0);

    QVERIFY(
        log.LogEvent(QStringLiteral("Vendix"), QStringLiteral("Site cleaned up and unlocked.")));
    QVERIFY(log.LogEvent(QStringLiteral("Agent"),
                         QStringLiteral("Waiting for the server to respond to a request.")));
    QVERIFY(
        log.LogEvent(QStringLiteral("Notice"), QStringLiteral("Mid-text Unknown state is kept")));
    // Only the exact text is promoted.
    QVERIFY(log.LogEvent(QStringLiteral("Vendix"),
                         QStringLiteral("Site cleaned up and unlocked. Thanks")));

    QCOMPARE(rowsOf(log), (QStringList{"Important|Site cleaned up and unlocked.",
                                       "Agent|Waiting for the server to respond to a request.",
                                       "Notice|Mid-text Unknown state is kept",
                                       "Vendix|Site cleaned up and unlocked. Thanks"}));
    QCOMPARE(log.row(0).waiting, false);
    QCOMPARE(log.row(1).waiting, true);
    QCOMPARE(added.count(), 4);
    QCOMPARE(added.at(0).at(0).toString(), QStringLiteral("Important"));
    QCOMPARE(added.at(0).at(1).toString(), QStringLiteral("Site cleaned up and unlocked."));
}

void TestProtocol::logModel()
{
    EventLog log;
    QAbstractItemModelTester tester(&log, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(log.columnCount(), 2);
    QCOMPARE(log.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Type"));
    QCOMPARE(log.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Message"));

    log.LogEvent(QStringLiteral("Notice"), QStringLiteral("first"));
    log.LogEvent(QStringLiteral("Server"), QStringLiteral("second"));
    QCOMPARE(log.rowCount(), 2);
    // Newest last.
    QCOMPARE(log.index(1, 0).data().toString(), QStringLiteral("Server"));
    QCOMPARE(log.index(1, 1).data().toString(), QStringLiteral("second"));
    QCOMPARE(log.index(1, 1).data(EventLog::TypeRole).toString(), QStringLiteral("Server"));
    QVERIFY(!(log.flags(log.index(0, 1)) & Qt::ItemIsEditable));

    log.clear();
    QCOMPARE(log.rowCount(), 0);
}

void TestProtocol::newPasswordRule()
{
    for (const QChar c : QStringLiteral("azAZ09_"))
        QVERIFY(isStorePasswordChar(c));
    for (const QChar c : QStringLiteral("-. &é\t"))
        QVERIFY2(!isStorePasswordChar(c), qPrintable(QString(c)));

    QVERIFY(newPasswordConfirmed(QStringLiteral("abc12"), QStringLiteral("abc12")));
    QVERIFY(!newPasswordConfirmed(QStringLiteral("abC12"), QStringLiteral("abc12")));
    QVERIFY(!newPasswordConfirmed(QStringLiteral("abc1"), QStringLiteral("abc1")));
    // Pasted text is checked for length and equality only ...
    QVERIFY(newPasswordConfirmed(QStringLiteral("a-b c"), QStringLiteral("a-b c")));
    // ... the full rule also checks the characters.
    QVERIFY(!isAcceptableNewPassword(QStringLiteral("a-b c"), QStringLiteral("a-b c")));
    QVERIFY(isAcceptableNewPassword(QStringLiteral("New_pass9"), QStringLiteral("New_pass9")));
}

QTEST_GUILESS_MAIN(TestProtocol)
#include "test_protocol.moc"
