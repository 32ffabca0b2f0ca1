// The store's character set end to end: the real program (headless sessions)
// against the real store simulator speaking windows-1252 or utf-8.
#include "base/ini_file.h"
#include "base/settings.h"
#include "common/file_utils.h"
#include "common/store_sim.h"
#include "common/temp_home.h"
#include "data/query.h"

#include <QDir>
#include <QProcess>
#include <QTest>

using namespace os;
using namespace os::test;

namespace {

const QString kRetrieve = QStringLiteral("Get Orders & Information");
const QString kPublish = QStringLiteral("Publish Options & Configurations");
const QString kPoll = QStringLiteral("Poll Server");

// Every letter that needs the set: accents, the euro sign and the letters
// Windows-1252 keeps at 0x80-0x9F (Š Ž Œ, curly quotes, dashes).
const QString kName = QStringLiteral("José Müller");
const QString kCompany = QStringLiteral("Café €uro");
const QString kNotes = QStringLiteral("Šaré – “fragile” Œuvre Žena — ½ kg");
const QString kInvoice =
    QStringLiteral("<html><body><h1>Café €</h1><p>Crème brûlée × 2</p></body></html>");

struct Run
{
    int exitCode = -1;
    QStringList out;
    QString err;
    // The last message on standard error (a first start says more before it).
    QString lastError() const { return err.section(QLatin1Char('\n'), -2, -2); }
};

Run run(const QString& home, const QStringList& args, const QByteArray& input)
{
    QProcess p;
    p.start(QStringLiteral(OS_PROGRAM_EXE), QStringList{QStringLiteral("--home"), home} + args);
    Run r;
    if (!p.waitForStarted(10000))
        return r;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.err = QString::fromUtf8(p.readAllStandardError());
    for (const QString& line :
         QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (!line.startsWith(QLatin1String("Agent\t")) &&
            !line.startsWith(QLatin1String("Server\t")))
            r.out << line;
    return r;
}

void setInstallationCharset(const QString& name)
{
    IniFile ini(installationFile());
    ini.load();
    ini.setValue(QStringLiteral("Installation"), QStringLiteral("StoreCharset"), name);
    QVERIFY(ini.save());
}

QString refusal(const QString& set, const QString& character, const QString& code)
{
    return QStringLiteral("Error: The store's character set, %1 (\"Store character set\" in "
                          "Vendix Location & Web Documents), cannot hold the character \"%2\" "
                          "(U+%3); nothing was sent to the store.")
        .arg(set, character, code);
}

} // namespace

class TestStoreCharset : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void refusedCharacters();
};

void TestStoreCharset::roundTrip_data()
{
    QTest::addColumn<QString>("charset");
    QTest::addColumn<QByteArray>("invoiceBytes");
    QTest::addColumn<QByteArray>("companyOnTheWire");
    QTest::newRow("windows-1252") << QString() // absent from the file: the default
                                  << QByteArray(
                                         "<html><body><h1>Caf\xe9 \x80</h1><p>Cr\xe8me br\xfbl\xe9"
                                         "e \xd7 2</p></body></html>\r\n")
                                  << QByteArray("CONFIG_company_name=Caf%e9+%80uro");
    QTest::newRow("utf-8") << QStringLiteral("utf-8") << (kInvoice.toUtf8() + "\r\n")
                           << QByteArray("CONFIG_company_name=Caf%c3%a9+%e2%82%acuro");
}

void TestStoreCharset::roundTrip()
{
    QFETCH(QString, charset);
    QFETCH(QByteArray, invoiceBytes);
    QFETCH(QByteArray, companyOnTheWire);

    TempHome home;
    StoreSim::Options options;
    options.charset = charset;
    StoreSim sim(options);
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    settings() = Settings();
    settings().VendixManagerURL = sim.url();
    QVERIFY(SaveSettings());
    if (!charset.isEmpty())
        setInstallationCharset(charset);

    const QList<qint64> inv = sim.addOrders(QJsonArray{QJsonObject{
        {QStringLiteral("NAME"), kName},
        {QStringLiteral("COMPANY"), kCompany},
        {QStringLiteral("NOTES"), kNotes},
        {QStringLiteral("INVOICE"), kInvoice},
    }});
    QCOMPARE(inv.size(), 1);
    sim.addNote(inv[0], QStringLiteral("2024-05-01"), QStringLiteral("Gift wrap – “Noël”"));

    // Retrieval: the store's texts come in as they were written.
    Run r = run(home.home(), {QStringLiteral("--session"), kRetrieve}, "secret1\n");
    QVERIFY2(r.exitCode == 0, qPrintable(r.err + r.out.join('\n')));
    QVERIFY2(r.out.contains(QStringLiteral("Vendix\t1 new orders and 1 accounts sent.")),
             qPrintable(r.out.join('\n')));
    Query q;
    q.setDirectory(home.dataDir());
    q.setSql(QStringLiteral("SELECT NAME, COMPANY, NOTES FROM orders.db WHERE INV = :inv"));
    q.setParam(QStringLiteral("inv"), inv[0]);
    q.open();
    QVERIFY(!q.eof());
    QCOMPARE(q.value(QStringLiteral("NAME")).toString(), kName);
    QCOMPARE(q.value(QStringLiteral("COMPANY")).toString(), kCompany);
    QCOMPARE(q.value(QStringLiteral("NOTES")).toString(), kNotes);
    q.close();
    q.setSql(QStringLiteral("SELECT NOTE FROM invoice_notes.db WHERE INVOICE = :inv"));
    q.setParam(QStringLiteral("inv"), inv[0]);
    q.open();
    QVERIFY(!q.eof());
    QCOMPARE(q.value(0).toString(), QStringLiteral("Gift wrap – “Noël”"));
    q.close();

    // The invoice is kept byte for byte as the store sent it.
    QCOMPARE(readAll(home.dataDir() + QStringLiteral("/html/%1inv.html").arg(inv[0])),
             invoiceBytes);

    // Publishing: the company name goes out in the store's set and arrives whole.
    settings().CompanyName = kCompany;
    QVERIFY(SaveSettings());
    r = run(home.home(),
            {QStringLiteral("--session"), kPublish, QStringLiteral("--allow-example-values")},
            "secret1\n");
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    const StoreSim::Request last = sim.lastRequest();
    QVERIFY2(last.body.contains("&" + companyOnTheWire + "&"), last.body.left(400).constData());
    bool found = false;
    for (const auto& [name, value] : sim.lastConfig()) {
        if (name == QLatin1String("CONFIG_company_name")) {
            QCOMPARE(value, kCompany);
            found = true;
        }
    }
    QVERIFY(found);
}

void TestStoreCharset::refusedCharacters()
{
    TempHome home;
    StoreSim sim; // windows-1252
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    settings() = Settings();
    settings().VendixManagerURL = sim.url();
    settings().CompanyName = QStringLiteral("Łódź Café");
    QVERIFY(SaveSettings());

    // A publish that would carry "Ł" is not sent, nor is its dry run any good.
    Run r = run(home.home(),
                {QStringLiteral("--session"), kPublish, QStringLiteral("--allow-example-values")},
                "secret1\n");
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.lastError(),
             refusal(QStringLiteral("windows-1252"), QStringLiteral("Ł"), QStringLiteral("0141")));
    QVERIFY(!sim.commands().contains(QStringLiteral("genconfigs=")));
    r = run(home.home(),
            {QStringLiteral("--session"), kPublish, QStringLiteral("--dry-run"),
             QStringLiteral("--allow-example-values")},
            {});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.lastError(),
             refusal(QStringLiteral("windows-1252"), QStringLiteral("Ł"), QStringLiteral("0141")));

    // A store password the set cannot hold: nothing reaches the store. A
    // character beyond the 16-bit range is named whole.
    sim.clearCommands();
    r = run(home.home(), {QStringLiteral("--session"), kPoll}, "pass\xf0\x9f\x94\x91\n");
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.lastError(), refusal(QStringLiteral("windows-1252"), QStringLiteral("\U0001F511"),
                                    QStringLiteral("1F511")));
    QCOMPARE(sim.commands(), QStringList());

    // Under utf-8 the same publish goes through and arrives whole.
    setInstallationCharset(QStringLiteral("utf-8"));
    StoreSim::Options options;
    options.charset = QStringLiteral("utf-8");
    StoreSim utf8(options);
    QVERIFY2(utf8.isRunning(), qPrintable(utf8.errorString()));
    settings().VendixManagerURL = utf8.url();
    QVERIFY(SaveSettings());
    r = run(home.home(),
            {QStringLiteral("--session"), kPublish, QStringLiteral("--allow-example-values")},
            "secret1\n");
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    bool found = false;
    for (const auto& [name, value] : utf8.lastConfig())
        found = found || (name == QLatin1String("CONFIG_company_name") &&
                          value == QStringLiteral("Łódź Café"));
    QVERIFY(found);
}

QTEST_GUILESS_MAIN(TestStoreCharset)
#include "test_store_charset.moc"
