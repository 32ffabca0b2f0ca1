#include "base/ini_file.h"
#include "base/paths.h"
#include "base/settings.h"
#include "base/text_utils.h"
#include "common/scripted_messages.h"
#include "common/temp_home.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTest>

#include "common/file_utils.h"

#include <sys/stat.h>

using namespace os;

namespace {

using test::readAll;
using test::unixMode;
using test::withFullDisk;
using test::writeAll;

const QString kSecPrefix = QStringLiteral("^https?://([a-zA-Z0-9\\-\\.]*\\.)?");

// The whole file a first save writes with every default and no store domain.
const QByteArray kDefaultFile =
    "[MAINC]\n"
    "ChecksByMail=1\n"
    "AskCCPhone=1\n"
    "CardsByPhone=1\n"
    "VendixGiftMode=0\n"
    "TaxWrapping=0\n"
    "IGNORE_INVALID_CERT=1\n"
    "UseSSL=1\n"
    "SSLOnly=0\n"
    "CC_Local=1\n"
    "CC_Remote=0\n"
    "CC_Rtime=0\n"
    "AskCVV=0\n"
    "AcceptCC=1\n"
    "AcceptCoupons=1\n"
    "TaxableIsDefault=1\n"
    "CodOrders=0\n"
    "PurchaseOrder=0\n"
    "UseShipping=1\n"
    "UseShippingExtensions=0\n"
    "TaxesAsSelect=0\n"
    "CGIBINLocation=http://www.yourdomain.com/cgi-bin\n"
    "SSLCGIBINLocation=https://www.yourdomain.com/cgi-bin\n"
    "DefaultShippingMessage=UPS Ground\n"
    "ShippingMethod=basic\n"
    "VendixManagerURL=https://www.yourdomain.com/\n"
    "store_entrance=http://www.yourdomain.com/store/main.html\n"
    "policies_page=http://www.yourdomain.com/policies/\n"
    "SMTPhello=\n"
    "SMTPServer=mail.yourdomain.com\n"
    "CompanyName=Your Company Name\n"
    "CompanyStreet=1212 My Street Address\n"
    "CompanyCity=Orlando\n"
    "CompanyState=FL\n"
    "CompanyZip=12345\n"
    "VendixAffiliatelocation=http://www.yourdomain.com/cgi-bin/vendixaffiliate.cgi\n"
    "CompanyPhone=654-123-5467\n"
    "TollFree=800-123-4567\n"
    "OrderEmail=info@yourdomain.com\n"
    "WEbMasterEmail=webmaster@yourdomain.com\n"
    "infoMail=info@yourdomain.com\n"
    "BillingMail=billing@yourdomain.com\n"
    "Home_page=http://www.yourdomain.com/\n"
    "DefaultCurrencySymbol=$\n"
    "DefaultCurrencyDisclaimer=USD\n"
    "BGImagePath=\n"
    "BGColor=16777215\n"
    "WeightMethod=1\n"
    "TextColor=0\n"
    "LinkColor=255\n"
    "VlinkColor=8388608\n"
    "ALinkColor=8421504\n"
    "DefWeight=5\n"
    "SMTPPORT=25\n"
    "CODFEE=6.00\n"
    "Basic_BaseShipping=5.00\n"
    "basicPerItem_First=3.00\n"
    "BasicPerItem_Second=2.00\n"
    "Weightbased_BaseFee=3.95\n"
    "AdvWeightBased_BaseFee=3.95\n"
    "Weightbased_CalcFee=1.25\n"
    "Basic_BasePercentage=0.15000\n"
    "AllAccountsDiscount=0.03000\n"
    "SMTPSecurity=0\n"
    "SMTPUser=\n"
    "SMTPRememberPassword=0\n"
    "[ADVSHIPSEC]\n"
    "UPSUsername=\n"
    "UPSPassword=\n"
    "UPSKey=\n"
    "USPSUsername=\n"
    "USPSPassword=\n"
    "OriginZip=\n"
    "AddHandling=0.00000\n"
    "CombineItems=0\n"
    "USEUPS=0\n"
    "USEUSPS=0\n"
    "[SECINFO]\n"
    "SecURL=^https?://([a-zA-Z0-9\\-\\.]*\\.)?/\n"
    "SecGet=0\n"
    "SecPost=0\n"
    "SecRef=1\n";

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        QLocale::setDefault(QLocale::c());
        settings() = Settings();
    }

    // A new installation: the defaults, with the certificate check on,
    // written at once.
    void noFileAnywhereGivesDefaultsThatCheckCertificates()
    {
        test::TempHome home;
        test::ScriptedMessages sm;
        settings().CompanyName = QStringLiteral("left over");
        LoadSettings();
        Settings expected;
        expected.SecURL = kSecPrefix + QLatin1Char('/');
        expected.IGNORE_INVALID_CERT = false;
        QVERIFY(settings() == expected);
        QCOMPARE(settings().SecURL, QStringLiteral("^https?://([a-zA-Z0-9\\-\\.]*\\.)?/"));
        QCOMPARE(settings().storeDomain, QString());
        QByteArray newInstallation = kDefaultFile;
        newInstallation.replace("IGNORE_INVALID_CERT=1", "IGNORE_INVALID_CERT=0");
        QCOMPARE(readAll(home.path("data/zr.ini")), newInstallation);
        QCOMPARE(unixMode(home.path("data/zr.ini")), 0600);
        QVERIFY(!QFile::exists(home.path("zr.ini")));
        QVERIFY(sm.texts().isEmpty());

        QVERIFY(SaveSettings());
        QCOMPARE(readAll(home.path("data/zr.ini")), newInstallation);
        // The next start keeps it; a file without the key reads true.
        LoadSettings();
        QCOMPARE(settings().IGNORE_INVALID_CERT, false);
        QVERIFY(writeAll(home.path("data/zr.ini"), "[MAINC]\nCompanyName=Acme\n"));
        LoadSettings();
        QCOMPARE(settings().IGNORE_INVALID_CERT, true);
        QCOMPARE(readAll(home.path("data/zr.ini")), QByteArray("[MAINC]\nCompanyName=Acme\n"));
    }

    void secUrlDefaultComesFromTheStoreDomain()
    {
        QCOMPARE(suggestedSecURL(QString()), kSecPrefix + QStringLiteral("/"));
        QCOMPARE(suggestedSecURL(QStringLiteral("myshop.example.com")),
                 kSecPrefix + QStringLiteral("myshop\\.example\\.com/"));
        QCOMPARE(suggestedSecURL(QStringLiteral(".myshop.com")),
                 kSecPrefix + QStringLiteral("myshop\\.com/"));
        QCOMPARE(suggestedSecURL(QStringLiteral("..odd.com")),
                 kSecPrefix + QStringLiteral("\\.odd\\.com/"));

        test::TempHome home;
        QVERIFY(saveStoreDomain(QStringLiteral(".myshop.com")));
        QCOMPARE(readAll(home.path("ordersentinel.ini")),
                 QByteArray("[Installation]\nStoreDomain=.myshop.com\n"));
        settings() = Settings();
        LoadSettings();
        QCOMPARE(settings().storeDomain, QStringLiteral(".myshop.com"));
        QCOMPARE(settings().SecURL,
                 QStringLiteral("^https?://([a-zA-Z0-9\\-\\.]*\\.)?myshop\\.com/"));

        // A SecURL in the file wins over the default.
        QVERIFY(writeAll(home.path("data/zr.ini"), "[SECINFO]\nSecURL=^https://shop\\.example/\n"));
        LoadSettings();
        QCOMPARE(settings().SecURL, QStringLiteral("^https://shop\\.example/"));

        // Without a domain of its own, the store script's host stands in (no "www.").
        QVERIFY(QFile::remove(home.path("ordersentinel.ini")));
        QVERIFY(
            writeAll(home.path("data/zr.ini"),
                     "[MAINC]\nVendixManagerURL=https://WWW.Shop.example:8443/cgi-bin/x.cgi\n"));
        LoadSettings();
        QCOMPARE(settings().storeDomain, QString());
        QCOMPARE(effectiveStoreDomain(), QStringLiteral("shop.example"));
        QCOMPARE(settings().SecURL,
                 QStringLiteral("^https?://([a-zA-Z0-9\\-\\.]*\\.)?shop\\.example/"));
    }

    // The store's character set lives beside the domain; windows-1252 unless
    // the file says utf-8.
    void storeCharsetBesideTheDomain()
    {
        test::TempHome home;
        settings() = Settings();
        LoadSettings();
        QCOMPARE(settings().storeCharset, StoreCharset::Windows1252);
        QVERIFY(saveStoreDomain(QStringLiteral("myshop.com")));
        QVERIFY(saveStoreCharset(StoreCharset::Utf8));
        QCOMPARE(readAll(home.path("ordersentinel.ini")),
                 QByteArray("[Installation]\nStoreDomain=myshop.com\nStoreCharset=utf-8\n"));
        settings() = Settings();
        LoadSettings();
        QCOMPARE(settings().storeCharset, StoreCharset::Utf8);
        QCOMPARE(settings().storeDomain, QStringLiteral("myshop.com"));

        // A set the program does not know keeps the default.
        QVERIFY(writeAll(home.path("ordersentinel.ini"), "[Installation]\nStoreCharset=koi8-r\n"));
        LoadSettings();
        QCOMPARE(settings().storeCharset, StoreCharset::Windows1252);
        QVERIFY(writeAll(home.path("ordersentinel.ini"), "[Installation]\nStoreCharset= UTF-8 \n"));
        LoadSettings();
        QCOMPARE(settings().storeCharset, StoreCharset::Utf8);
        settings() = Settings();
    }

    void programDirectoryFileIsMovedIntoTheDataDirectory()
    {
        test::TempHome home;
        QVERIFY(writeAll(home.path("zr.ini"),
                         "[MAINC]\r\nCompanyName=Acme "
                         "Tools\r\nCODFEE=7.5\r\nLegacyKey=dropped\r\n[SECINFO]\r\nSecRef=0\r\n"));
        QVERIFY(writeAll(home.path("data/zr.ini"),
                         "; the company's own notes\n[MAINC]\nCompanyName=Old Name\nMine=kept\n"));
        LoadSettings();
        QCOMPARE(settings().CompanyName, QStringLiteral("Acme Tools"));
        QCOMPARE(settings().CODFEE, 7.5);
        QCOMPARE(settings().SecRef, false);
        QVERIFY(!QFile::exists(home.path("zr.ini")));

        IniFile data(home.path("data/zr.ini"));
        QVERIFY(data.load());
        QCOMPARE(data.value("MAINC", "CompanyName", "?"), QStringLiteral("Acme Tools"));
        QCOMPARE(data.value("MAINC", "CODFEE", "?"), QStringLiteral("7.50"));
        QCOMPARE(data.value("SECINFO", "SecRef", "?"), QStringLiteral("0"));
        QCOMPARE(data.value("MAINC", "Mine", "?"), QStringLiteral("kept"));
        QVERIFY(!data.contains("MAINC", "LegacyKey"));
        QCOMPARE(data.keys("MAINC").size(), 65 + 1);
        QCOMPARE(data.keys("ADVSHIPSEC").size(), 10);
        QCOMPARE(data.keys("SECINFO").size(), 4);
        QVERIFY(data.text().startsWith(
            QStringLiteral("; the company's own notes\n[MAINC]\nCompanyName=Acme "
                           "Tools\nMine=kept\nChecksByMail=1\n")));
    }

    void programDirectoryFileStaysWhenTheDataDirectoryCannotBeWritten()
    {
        test::TempHome home(false);
        const QByteArray merchant = "[MAINC]\nCompanyName=Acme Tools\n";
        QVERIFY(writeAll(home.path("zr.ini"), merchant));
        QVERIFY(writeAll(home.path("ccitems.txt"), "Visa\n"));
        QVERIFY(writeAll(home.path("data"), "a file where the data directory belongs"));
        test::ScriptedMessages sm;
        LoadSettings();
        QCOMPARE(settings().CompanyName, QStringLiteral("Acme Tools"));
        QCOMPARE(readAll(home.path("zr.ini")), merchant);
        QCOMPARE(readAll(home.path("ccitems.txt")), QByteArray("Visa\n"));
        QVERIFY(!SaveSettings());
        QVERIFY(sm.texts().isEmpty());
    }

    void cardListIsMovedIntoTheDataDirectory()
    {
        test::TempHome home;
        QVERIFY(writeAll(home.path("ccitems.txt"), "Visa\r\nMasterCard\r\nAmerican Express"));
        QVERIFY(writeAll(home.path("data/ccitems.txt"), "Old Card\n"));
        LoadSettings();
        QCOMPARE(readAll(home.path("data/ccitems.txt")),
                 QByteArray("Visa\r\nMasterCard\r\nAmerican Express"));
        QVERIFY(!QFile::exists(home.path("ccitems.txt")));
        // No zr.ini was moved: the data directory's is a new installation's.
        IniFile data(home.path("data/zr.ini"));
        QVERIFY(data.load());
        QCOMPARE(data.value("MAINC", "IGNORE_INVALID_CERT", "?"), QStringLiteral("0"));
    }

    void numbersAreWrittenWithTheirDecimals()
    {
        test::TempHome home;
        LoadSettings();
        settings().Basic_BasePercentage = 0.2;
        settings().CODFEE = 6;
        settings().AddHandling = 1.5;
        settings().AllAccountsDiscount = 0.123456;
        settings().Weightbased_CalcFee = 1234.567;
        QVERIFY(SaveSettings());
        IniFile data(home.path("data/zr.ini"));
        QVERIFY(data.load());
        QCOMPARE(data.value("MAINC", "Basic_BasePercentage", "?"), QStringLiteral("0.20000"));
        QCOMPARE(data.value("MAINC", "CODFEE", "?"), QStringLiteral("6.00"));
        QCOMPARE(data.value("ADVSHIPSEC", "AddHandling", "?"), QStringLiteral("1.50000"));
        QCOMPARE(data.value("MAINC", "AllAccountsDiscount", "?"), QStringLiteral("0.12346"));
        QCOMPARE(data.value("MAINC", "Weightbased_CalcFee", "?"), QStringLiteral("1234.57"));
    }

    void badValuesTakeTheRulesValues()
    {
        test::TempHome home;
        test::ScriptedMessages sm;
        QVERIFY(writeAll(home.path("data/zr.ini"),
                         "[MAINC]\n"
                         "BGColor=white\n"
                         "CODFEE=six\n"
                         "Basic_BaseShipping=5,50\n"
                         "basicPerItem_First=\n"
                         "UseSSL=yes\n"
                         "SSLOnly=maybe\n"
                         "CC_Local=0\n"
                         "AskCVV=2\n"
                         "TextColor=12abc\n"
                         "LinkColor=99999999999\n"
                         "WeightMethod= 2 \n"
                         "garbage line without an equals sign\n"
                         "=no key\n"
                         "[SECINFO]\n"
                         "SecRef=0\n"
                         "SMTPPORT=26\n" // in the wrong section: not read
                         "[MAINC]\n"
                         "SMTPPORT=27\n" // repeated section: not read
                         "[ADVSHIP"));
        LoadSettings();
        const Settings& s = settings();
        QCOMPARE(s.BGColor, 16777215);
        QCOMPARE(s.CODFEE, 0.0);
        QCOMPARE(s.Basic_BaseShipping, 0.0);
        QCOMPARE(s.basicPerItem_First, 0.0);
        QCOMPARE(s.BasicPerItem_Second, 2.0); // missing: its default
        QCOMPARE(s.UseSSL, true);
        QCOMPARE(s.SSLOnly, false);
        QCOMPARE(s.CC_Local, false);
        QCOMPARE(s.AskCVV, true);
        QCOMPARE(s.TextColor, 0);
        QCOMPARE(s.LinkColor, 255);
        QCOMPARE(s.WeightMethod, 2);
        QCOMPARE(s.SecRef, false);
        QCOMPARE(s.SMTPPORT, 25);
        QCOMPARE(s.USEUPS, false);
        QCOMPARE(s.AddHandling, 0.0);
        QCOMPARE(s.CompanyName, QStringLiteral("Your Company Name"));
        QVERIFY(sm.texts().isEmpty());
    }

    void truncatedLastLineIsRead()
    {
        test::TempHome home;
        QVERIFY(writeAll(home.path("data/zr.ini"), "[MAINC]\nCompanyName=Acme\nSMTPPORT=2"));
        LoadSettings();
        QCOMPARE(settings().SMTPPORT, 2);
        QVERIFY(writeAll(home.path("data/zr.ini"), "[MAINC]\nCompanyName=Acme\nBasic_BaseShipp"));
        LoadSettings();
        QCOMPARE(settings().CompanyName, QStringLiteral("Acme"));
        QCOMPARE(settings().Basic_BaseShipping, 5.0);
        QVERIFY(SaveSettings());
        IniFile data(home.path("data/zr.ini"));
        QVERIFY(data.load());
        QCOMPARE(data.value("MAINC", "Basic_BaseShipping", "?"), QStringLiteral("5.00"));
        QCOMPARE(data.keys("MAINC").size(), 65);
    }

    void existingKeysKeepPlaceAndSpellingNewOnesAreAppended()
    {
        test::TempHome home;
        QVERIFY(writeAll(home.path("data/zr.ini"), "[mainc]\n"
                                                   "companyname=Acme\n"
                                                   "Custom=keep\n"
                                                   "\n"
                                                   "; about security\n"
                                                   "[SecInfo]\n"
                                                   "secref=0\n"
                                                   "[Other]\n"
                                                   "x=1\n"));

        LoadSettings();
        QCOMPARE(settings().CompanyName, QStringLiteral("Acme"));
        QCOMPARE(settings().SecRef, false);
        settings().CompanyName = QStringLiteral("Acme Two");
        QVERIFY(SaveSettings());
        const QString text = QString::fromUtf8(readAll(home.path("data/zr.ini")));
        QVERIFY2(text.startsWith(QStringLiteral(
                     "[mainc]\ncompanyname=Acme Two\nCustom=keep\nChecksByMail=1\nAskCCPhone=1\n")),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral(
            "AllAccountsDiscount=0.03000\nSMTPSecurity=0\nSMTPUser=\nSMTPRememberPassword=0\n"
            "\n; about security\n[SecInfo]\nsecref=0\n"
            "SecURL=^https?://([a-zA-Z0-9\\-\\.]*\\.)?/\nSecGet=0\nSecPost=0\n[Other]\nx=1\n"
            "[ADVSHIPSEC]\nUPSUsername=\n")));
        QVERIFY(text.endsWith(QStringLiteral("USEUSPS=0\n")));
        QVERIFY(!text.contains(QStringLiteral("CompanyName="))); // no second spelling
    }

    void currencyChangeReachesTheFileWithTheNextSave()
    {
        test::TempHome home;
        LoadSettings();
        QVERIFY(SaveSettings());
        const QByteArray before = readAll(home.path("data/zr.ini"));

        // The currency editor only stores into the record.
        settings().DefaultCurrencySymbol = QStringLiteral("\u20ac");
        settings().DefaultCurrencyDisclaimer = QStringLiteral("EUR");
        QCOMPARE(readAll(home.path("data/zr.ini")), before);
        LoadSettings(); // the next start
        QCOMPARE(settings().DefaultCurrencySymbol, QStringLiteral("$"));

        settings().DefaultCurrencySymbol = QStringLiteral("\u20ac");
        settings().CompanyName = QStringLiteral("Euro Shop");
        QVERIFY(SaveSettings());
        LoadSettings();
        QCOMPARE(settings().DefaultCurrencySymbol, QStringLiteral("\u20ac"));
        QCOMPARE(settings().CompanyName, QStringLiteral("Euro Shop"));
    }

    void everyFieldRoundTrips()
    {
        test::TempHome home;
        Settings s;
        s.ChecksByMail = false;
        s.IGNORE_INVALID_CERT = false;
        s.TaxesAsSelect = true;
        s.CompanyName = QStringLiteral("  spaced = name ; not a comment");
        s.SMTPhello = QStringLiteral("desk.local");
        s.BGImagePath = QStringLiteral("/img/bg.png");
        s.BGColor = 0x00ff00;
        s.SMTPPORT = 2525;
        s.CODFEE = 12.34;
        s.AllAccountsDiscount = 0.075;
        s.UPSPassword = QStringLiteral("p@ss=word");
        s.AddHandling = 2.25;
        s.CombineItems = true;
        s.SecURL = QStringLiteral("^https?://shop\\.example/");
        s.SecGet = true;
        settings() = s;
        QVERIFY(SaveSettings());
        settings() = Settings();
        LoadSettings();
        Settings expected = s;
        expected.CompanyName =
            QStringLiteral("spaced = name ; not a comment"); // blanks around a value go
        QVERIFY(settings() == expected);
    }

    void commaLocaleRoundTrip()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        test::TempHome home;
        LoadSettings();
        QCOMPARE(settings().CODFEE, 6.0); // a missing key keeps its default in any locale
        settings().CODFEE = 1234.5;
        settings().Basic_BasePercentage = 0.2;
        QVERIFY(SaveSettings());
        IniFile data(home.path("data/zr.ini"));
        QVERIFY(data.load());
        QCOMPARE(data.value("MAINC", "CODFEE", "?"), QStringLiteral("1234,50"));
        QCOMPARE(data.value("MAINC", "Basic_BasePercentage", "?"), QStringLiteral("0,20000"));
        settings() = Settings();
        LoadSettings();
        QCOMPARE(settings().CODFEE, 1234.5);
        QCOMPARE(settings().Basic_BasePercentage, 0.2);

        // A file written under a full-stop locale reads as 0 here.
        QVERIFY(writeAll(home.path("data/zr.ini"), "[MAINC]\nCODFEE=6.00\n"));
        LoadSettings();
        QCOMPARE(settings().CODFEE, 0.0);
    }

    void failedWriteLeavesTheOldFileWhole()
    {
        test::TempHome home;
        const QByteArray big = bigIni("Acme");
        QVERIFY(writeAll(home.path("data/zr.ini"), big));
        LoadSettings();
        settings().CompanyName = QStringLiteral("Changed");
        bool saved = true;
        withFullDisk([&] { saved = SaveSettings(); });
        QVERIFY(!saved);
        QCOMPARE(readAll(home.path("data/zr.ini")), big);
        QCOMPARE(QDir(home.path("data")).entryList(QDir::Files), QStringList({"zr.ini"}));
    }

    void failedWriteOfASmallFileLeavesItWhole()
    {
        // Small enough to sit in the file's buffer until it is closed.
        test::TempHome home;
        const QByteArray small = "[MAINC]\nCompanyName=Acme\n";
        QVERIFY(writeAll(home.path("data/zr.ini"), small));
        LoadSettings();
        settings().CompanyName = QStringLiteral("Changed");
        bool saved = true;
        withFullDisk([&] { saved = SaveSettings(); }, 256);
        QVERIFY(!saved);
        QCOMPARE(readAll(home.path("data/zr.ini")), small);
        QCOMPARE(QDir(home.path("data")).entryList(QDir::Files), QStringList({"zr.ini"}));
    }

    void failedMoveKeepsTheProgramDirectoryFiles()
    {
        test::TempHome home;
        // The company's file is large, so rewriting it needs more room than there is.
        const QByteArray merchant = "[MAINC]\nCompanyName=Merchant\n";
        const QByteArray company = bigIni("Old");
        QByteArray cards;
        while (cards.size() < 64 * 1024)
            cards += "Card " + QByteArray::number(cards.size()) + "\n";
        QVERIFY(writeAll(home.path("zr.ini"), merchant));
        QVERIFY(writeAll(home.path("ccitems.txt"), cards));
        QVERIFY(writeAll(home.path("data/zr.ini"), company));
        QVERIFY(writeAll(home.path("data/ccitems.txt"), "Visa\n"));
        withFullDisk([] { LoadSettings(); });
        QCOMPARE(settings().CompanyName, QStringLiteral("Merchant"));
        QCOMPARE(readAll(home.path("zr.ini")), merchant);
        QCOMPARE(readAll(home.path("ccitems.txt")), cards);
        QCOMPARE(readAll(home.path("data/zr.ini")), company);
        QCOMPARE(readAll(home.path("data/ccitems.txt")), QByteArray("Visa\n"));

        // With room on the disk the next start completes the move.
        LoadSettings();
        QVERIFY(!QFile::exists(home.path("zr.ini")));
        QVERIFY(!QFile::exists(home.path("ccitems.txt")));
        QCOMPARE(readAll(home.path("data/ccitems.txt")), cards);
        IniFile data(home.path("data/zr.ini"));
        QVERIFY(data.load());
        QCOMPARE(data.value("MAINC", "CompanyName", "?"), QStringLiteral("Merchant"));
    }

private:
    // A settings file larger than the disk room withFullDisk leaves.
    static QByteArray bigIni(const QByteArray& company)
    {
        QByteArray big = "; merchant's notes\n";
        while (big.size() < 64 * 1024)
            big += "; " + QByteArray(70, 'n') + "\n";
        return big + "[MAINC]\nCompanyName=" + company + "\n";
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
