// Publishing the configuration: the genconfigs body byte for byte as the
// store simulator receives it, the rate-table builders, their failures, the
// kept copy of the last publish and the preview of what would change.
#include "base/clock.h"
#include "base/main_services.h"
#include "base/paths.h"
#include "base/settings.h"
#include "common/scripted_messages.h"
#include "common/store_sim.h"
#include "common/temp_home.h"
#include "data/main_data_mod.h"
#include "data/query.h"
#include "data/table.h"
#include "sync/publish_preview.h"
#include "sync/publishing.h"
#include "sync/store_session.h"

#include <QFile>
#include <QMap>
#include <QScopeGuard>
#include <QTest>

#include <cmath>
#include <functional>
#include <limits>

using namespace os;
using namespace os::test;

namespace {

const QDateTime kPinned(QDate(2024, 3, 5), QTime(14, 7, 9));

// The configuration text with every setting at its default, no card list and
// empty rate tables, as the store must receive it.
const QByteArray kDefaults =
    "CONFIG_body=%3cBODY+BGCOLOR%3d%22%23ffffff%22+TEXT%3d%22%23000000%22+LINK%3d%22%23ff0000%22"
    "+VLINK%3d%22%23000080%22+ALINK%3d%22%23808080%22%3e&"
    "CONFIG_accept_cc=1&CONFIG_remote_cc=0&CONFIG_accept_cc=1&CONFIG_accept_cc=1&"
    "CONFIG_accept_cc_phone=1&CONFIG_accept_mailchecks=1&CONFIG_accept_cod=0&CONFIG_accept_pos=0&"
    "CONFIG_codfee=6%2e00&CONFIG_basic_base=5%2e00&CONFIG_basic_percentage=0%2e15&"
    "CONFIG_basicshipit_base=3%2e95&CONFIG_advancedshipit_base=3%2e95&"
    "CONFIG_basicshipit_multiplier=1%2e25&CONFIG_default_shipping_message=UPS+Ground&"
    "CONFIG_peritem_first=3%2e00&CONFIG_peritem_additional=2%2e00&CONFIG_shipping_method=basic&"
    "CONFIG_use_shipping=1&CONFIG_weight_safety=5&"
    "CONFIG_policies_page=http://www.yourdomain.com/policies/&"
    "CONFIG_shopping_entrance=http://www.yourdomain.com/store/main.html&"
    "CONFIG_home_page=http://www.yourdomain.com/&CONFIG_all_account_discount=0.03&"
    "CONFIG_go_gift=0&CONFIG_infomail=info%40yourdomain%2ecom&"
    "CONFIG_company_name=Your+Company+Name&CONFIG_company_street=1212+My+Street+Address&"
    "CONFIG_company_city=Orlando&CONFIG_company_state=FL&CONFIG_company_zip=12345&"
    "CONFIG_phone=654%2d123%2d5467&CONFIG_company_phone=654%2d123%2d5467&"
    "CONFIG_taxes_as_select=0&CONFIG_tollfree=800%2d123%2d4567&"
    "CONFIG_ordermail=info%40yourdomain%2ecom&CONFIG_webmaster=webmaster%40yourdomain%2ecom&"
    "CONFIG_billing=billing%40yourdomain%2ecom&CONFIG_use_coupons=1&CONFIG_use_coupons=1&"
    "CONFIG_taxable=1&CONFIG_wrapping_is_taxable=0&"
    "CONFIG_sec_urlexp=%5ehttps%3f%3a%2f%2f%28%5ba%2dzA%2dZ0%2d9%5c%2d%5c%2e%5d%2a%5c%2e%29%3f%2f&"
    "CONFIG_sec_reject_get=0&CONFIG_sec_reject_post=0&CONFIG_sec_reject_nullref=1&"
    "CONFIG_use_shipit_extensions=0&CONFIG_useups=0&CONFIG_useusps=0&CONFIG_combine_items=0&"
    "CONFIG_cc_rtime=0&CONFIG_ask_cvv=0&CONFIG_use_ssl=1&CONFIG_ssl_only=0&"
    "CONFIG_def_money_sign_text=USD&CONFIG_money_sign=%24&CONFIG_askccphone=1&"
    "CONFIG_ups_username=&CONFIG_ups_password=&CONFIG_ups_key=&CONFIG_usps_username=&"
    "CONFIG_usps_password=&CONFIG_shipping_origin_zip=&"
    "CONFIG_cgi_bin=http%3a%2f%2fwww%2eyourdomain%2ecom%2fcgi%2dbin&"
    "CONFIG_ssl_cgi_bin=https%3a%2f%2fwww%2eyourdomain%2ecom%2fcgi%2dbin&"
    "CONFIG_read_weight_method=1&CONFIG_add_handling=0%2e00&"
    "&taxstring=&currencyconversion=&smarttaxstring=&shipitstring=&gifts_data=&couponsstring="
    "&shipitextstring=";

const QByteArray kEnvelope = "crypt%5fkeeper=secret1&command=genconfigs=&";

// The default text with each `from` replaced by its `to` (each must occur).
QByteArray defaultsWith(const QList<QPair<QByteArray, QByteArray>>& changes)
{
    QByteArray out = kDefaults;
    for (const auto& [from, to] : changes) {
        if (!out.contains(from))
            qFatal("not in the default body: %s", from.constData());
        out.replace(from, to);
    }
    return out;
}

const QStringList kBuilderLines{
    "Function|Building Taxes Post Data...",    "Function|Building Currency Conversion Post Data...",
    "Function|Building Shipping Post Data...", "Function|Building Gifts Post Data...",
    "Function|Building Coupons Post Data...",  "Function|Building Weight Extensions Post Data..."};

} // namespace

class TestPublishing : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void valueForms();
    void defaultsWithEmptyTables();
    void settingsByteForByte();
    void rateTablesByteForByte();
    void wrongPassword();
    void tableThatCannotBeOpened();
    void rowThatCannotBeRead();
    void storedFormsOfRateText();
    void separatorInRateTextPostsNothing();
    void previewAfterOneTaxRateChanged();
    void commaDecimalLocale();

private:
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<ScriptedMessages> m_messages;
    std::unique_ptr<StoreSim> m_sim;
    std::unique_ptr<TMainDataMod> m_data;
    NullMainServices m_main;
    NullSessionHost m_host;
    std::unique_ptr<StoreSession> m_session;

    QByteArray publish(); // runs the session; the body the store received
    QStringList log() const;
    void exec(const QString& sql);
};

void TestPublishing::init()
{
    m_home = std::make_unique<TempHome>();
    m_messages = std::make_unique<ScriptedMessages>();
    m_sim = std::make_unique<StoreSim>();
    QVERIFY2(m_sim->isRunning(), qPrintable(m_sim->errorString()));
    Clock::pin(kPinned);
    settings() = Settings();
    settings().VendixManagerURL = m_sim->url();
    m_data = std::make_unique<TMainDataMod>();
    QVERIFY(m_data->OpenCompanyDatabase(m_home->dataDir()));
    m_messages->clear(); // the notice of a new database
    m_session = std::make_unique<StoreSession>(&m_main, &m_host);
    m_session->setPassword(m_sim->password());
}

void TestPublishing::cleanup()
{
    m_session.reset();
    m_data.reset();
    m_sim.reset();
    m_messages.reset();
    m_home.reset();
    Clock::pin(QDateTime());
}

QByteArray TestPublishing::publish()
{
    m_sim->clearCommands();
    m_session->RunSession(StoreSession::PublishAction);
    const StoreSim::Request request = m_sim->lastRequest();
    if (!m_sim->commands().contains(QStringLiteral("genconfigs=")))
        return {};
    if (!request.body.startsWith(kEnvelope))
        qFatal("unexpected envelope: %s", request.body.left(60).constData());
    return request.body.mid(kEnvelope.size());
}

QStringList TestPublishing::log() const
{
    QStringList rows;
    for (const EventLog::Row& r : m_session->eventLog().rows()) {
        if (r.type != QLatin1String("Agent") && r.type != QLatin1String("Server") &&
            r.type != QLatin1String("Notice"))
            rows << r.type + QLatin1Char('|') + r.message;
    }
    return rows;
}

void TestPublishing::exec(const QString& sql)
{
    Query q;
    q.setDirectory(m_home->dataDir());
    q.setSql(sql);
    q.exec();
}

void TestPublishing::valueForms()
{
    QCOMPARE(HtmlColor(16777215), QStringLiteral("#ffffff"));
    QCOMPARE(HtmlColor(255), QStringLiteral("#ff0000"));
    QCOMPARE(HtmlColor(8388608), QStringLiteral("#000080"));
    QCOMPARE(HtmlColor(0x7f00ff00), QStringLiteral("#00ff00")); // bits above 24 ignored

    QCOMPARE(*amountText(0.125), QStringLiteral("0.13")); // half away from zero
    QCOMPARE(*amountText(6), QStringLiteral("6.00"));
    QCOMPARE(*amountText(-2.5), QStringLiteral("-2.50"));
    QCOMPARE(*amountText(123456.789), QStringLiteral("123456.80")); // seven digits
    QCOMPARE(*amountText(1234567.891), QStringLiteral("1234568.00"));
    QCOMPARE(*amountText(999999.96), QStringLiteral("1000000.00"));
    QCOMPARE(*amountText(12345678), QStringLiteral("1.234568E7"));
    QVERIFY(!amountText(std::numeric_limits<double>::quiet_NaN()));

    QCOMPARE(generalText(5), QStringLiteral("5"));
    QCOMPARE(generalText(0.0725), QStringLiteral("0.0725"));
    QCOMPARE(generalText(0.1 + 0.2), QStringLiteral("0.3"));
    QCOMPARE(generalText(-0.0), QStringLiteral("0"));
    QCOMPARE(generalText(1500), QStringLiteral("1500"));
    QCOMPARE(generalText(0.0001), QStringLiteral("0.0001"));
    QCOMPARE(generalText(0.00001), QStringLiteral("1E-5"));
    QCOMPARE(generalText(1e20), QStringLiteral("1E20"));

    // Site addresses: a plain URL as it stands, the characters that would
    // break the post or change on the way encoded.
    QCOMPARE(siteAddressValue(QStringLiteral("https://shop.example.com/store/main.html")),
             QByteArray("https://shop.example.com/store/main.html"));
    QCOMPARE(siteAddressValue(QStringLiteral("http://x.com/p?a=1&b=2+3%#top\tü")),
             QByteArray("http://x.com/p?a%3d1%26b%3d2%2b3%25%23top%09%c3%bc"));
}

void TestPublishing::defaultsWithEmptyTables()
{
    m_data->currency_conversion->open(); // opened by the data module; closed by publishing
    QVERIFY(m_data->currency_conversion->isOpen());

    QCOMPARE(publish(), kDefaults);
    QCOMPARE(m_messages->texts(), QStringList());
    QVERIFY(!m_session->lastSessionFailed());
    QCOMPARE(log(), (kBuilderLines +
                     QStringList{"Function|Connecting to Vendix to update general configs....",
                                 "Vendix|Configuration updated (75 fields received)."}));
    for (Table* t : {m_data->currency_conversion, m_data->Taxes, m_data->SmartTaxes, m_data->ShipIt,
                     m_data->GiftTable, m_data->Coupons, m_data->ShipItExt})
        QVERIFY2(!t->isOpen(), qPrintable(t->tableName()));

    // The store took every field, repeats in order, the body tag decoded.
    const auto config = m_sim->lastConfig();
    QCOMPARE(config.first(),
             qMakePair(QStringLiteral("CONFIG_body"),
                       QStringLiteral("<BODY BGCOLOR=\"#ffffff\" TEXT=\"#000000\" LINK=\"#ff0000\" "
                                      "VLINK=\"#000080\" ALINK=\"#808080\">")));
    int acceptCc = 0;
    for (const auto& f : config)
        acceptCc += f.first == QLatin1String("CONFIG_accept_cc");
    QCOMPARE(acceptCc, 3);

    // What was sent is kept, without the password, owner-only; the reply
    // went to the work file.
    QFile kept(lastPublishFile(m_home->dataDir()));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), kDefaults);
    QCOMPARE(kept.permissions() &
                 (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
             QFile::Permissions());
    QVERIFY(QFile::exists(m_home->path(QStringLiteral("~g1.tmp"))));
}

void TestPublishing::settingsByteForByte()
{
    struct Case
    {
        const char* name;
        std::function<void(Settings&)> change;
        QList<QPair<QByteArray, QByteArray>> expected;
    };
    const QList<Case> cases{
        {"company name with & and =",
         [](Settings& s) { s.CompanyName = QStringLiteral("Smith & Sons = Best"); },
         {{"CONFIG_company_name=Your+Company+Name&",
           "CONFIG_company_name=Smith+%26+Sons+%3d+Best&"}}},
        {"background image",
         [](Settings& s) { s.BGImagePath = QStringLiteral("/img/bg.gif"); },
         {{"CONFIG_body=%3cBODY+BGCOLOR",
           "CONFIG_body=%3cBODY+BACKGROUND%3d%22%2fimg%2fbg%2egif%22+BGCOLOR"}}},
        {"green links",
         [](Settings& s) { s.LinkColor = 65280; },
         {{"LINK%3d%22%23ff0000%22", "LINK%3d%22%2300ff00%22"}}},
        {"0.125 both ways",
         [](Settings& s) {
             s.Basic_BasePercentage = 0.125;
             s.AllAccountsDiscount = 0.125;
         },
         {{"CONFIG_basic_percentage=0%2e15&", "CONFIG_basic_percentage=0%2e13&"},
          {"CONFIG_all_account_discount=0.03&", "CONFIG_all_account_discount=0.125&"}}},
        {"custom shipping method",
         [](Settings& s) {
             s.ShippingMethod = QStringLiteral("My_Custom_Zones");
             s.UseShipping = false;
         },
         {{"CONFIG_shipping_method=basic&CONFIG_use_shipping=1&",
           "CONFIG_shipping_method=My%5fCustom%5fZones&CONFIG_use_shipping=1&"}}},
        {"no shipping",
         [](Settings& s) { s.UseShipping = false; },
         {{"CONFIG_use_shipping=1&", "CONFIG_use_shipping=0&"}}},
        {"C.O.D. fee that cannot be formatted",
         [](Settings& s) { s.CODFEE = std::numeric_limits<double>::infinity(); },
         {{"CONFIG_codfee=6%2e00&", "CONFIG_codfee=6.00&"}}},
        {"policies page with a query string",
         [](Settings& s) { s.policies_page = QStringLiteral("http://x.com/p.cgi?a=1&b=%20+"); },
         {{"CONFIG_policies_page=http://www.yourdomain.com/policies/&",
           "CONFIG_policies_page=http://x.com/p.cgi?a%3d1%26b%3d%2520%2b&"}}},
    };
    for (const Case& c : cases) {
        settings() = Settings();
        settings().VendixManagerURL = m_sim->url();
        c.change(settings());
        const QByteArray body = publish();
        QVERIFY2(body == defaultsWith(c.expected), c.name);
        QVERIFY2(m_messages->texts().isEmpty(), c.name);
    }
    // The store received the last case's address and an earlier company name intact.
    bool found = false;
    for (const auto& f : m_sim->lastConfig())
        found = found || (f.first == QLatin1String("CONFIG_policies_page") &&
                          f.second == QLatin1String("http://x.com/p.cgi?a=1&b=%20+"));
    QVERIFY(found);

    // Card types, empty lines included, come first; without the file there are none.
    settings() = Settings();
    settings().VendixManagerURL = m_sim->url();
    QFile cards(m_home->dataDir() + QStringLiteral("/ccitems.txt"));
    QVERIFY(cards.open(QIODevice::WriteOnly));
    cards.write("Visa\r\n\r\nAmerican Express\r\n");
    cards.close();
    QCOMPARE(publish(), "cccard=Visa&cccard=&cccard=American+Express&" + kDefaults);
}

void TestPublishing::rateTablesByteForByte()
{
    // Two taxes inserted out of order go out in CODE order; a smart tax with
    // an empty TAXABLE is sent with "0"; the weight table of the example.
    exec(QStringLiteral("INSERT INTO taxes.db (CODE, DT, TT, P, TS) VALUES "
                        "('NY', 'New York', 'Orders shipped to New York', 0.08875, 0), "
                        "('CA', 'California', 'Orders shipped to California', 0.0725, 1)"));
    exec(QStringLiteral("INSERT INTO smarttaxes.db (TAXCODE, DISPLAY, PERCENTAGE, TAXABLE, "
                        "CONDITION) VALUES ('FL', 'Florida', 0.06, NULL, 'FL')"));
    exec(QStringLiteral("INSERT INTO shipit.db (WEIGHT, FEE) VALUES (5, 7), (1, 3.5)"));
    exec(QStringLiteral("INSERT INTO currency_conversion.db (CURSTRING, CURSYM, CONVERSION) "
                        "VALUES ('Euro', 'EUR', 0.92)"));
    exec(QStringLiteral("INSERT INTO gift.db (GIFTDELNAME, GIFTFEE) VALUES ('Gift wrap', 4.5)"));
    exec(QStringLiteral("INSERT INTO shipitext.db (DESCRIPTION, FLATFEE, PERCENTAGE) VALUES "
                        "('Overnight', 25, NULL)"));

    QCOMPARE(
        publish(),
        defaultsWith(
            {{"&taxstring=&",
              "&taxstring=CA%5eCalifornia%5eOrders+shipped+to+California%5e0%2e0725%5e1%3aTAX%3a"
              "NY%5eNew+York%5eOrders+shipped+to+New+York%5e0%2e08875%5e0%3aTAX%3a&"},
             {"&currencyconversion=&", "&currencyconversion=Euro%5eEUR%5e0%2e92%3aCURCON%3a&"},
             {"&smarttaxstring=&",
              "&smarttaxstring=FL%5eFlorida%5e0%2e06%5e0%5eFL%3aSMARTTAXITEM%3a&"},
             {"&shipitstring=&", "&shipitstring=1%5e3%2e5%3aSHIPIT%3a5%5e7%3aSHIPIT%3a&"},
             {"&gifts_data=&", "&gifts_data=Gift+wrap%5e4%2e5%3aGIFT%3a&"},
             // An empty coupons table: the field with nothing after it.
             {"&shipitextstring=", "&shipitextstring=Overnight%5e25%5e%3aNEXTSHIPITEXT%3a"}}));
    QVERIFY(!m_session->lastSessionFailed());
    bool emptyCoupons = false;
    for (const auto& f : m_sim->lastConfig())
        emptyCoupons =
            emptyCoupons || (f.first == QLatin1String("couponsstring") && f.second.isEmpty());
    QVERIFY(emptyCoupons);
}

void TestPublishing::wrongPassword()
{
    m_session->setPassword(QStringLiteral("not-it"));
    m_session->RunSession(StoreSession::PublishAction);
    QCOMPARE(m_messages->texts(), QStringList{"Invalid Password!"});
    QVERIFY(m_session->lastSessionFailed());
    QVERIFY(!m_session->PublishConfiguration());
    QVERIFY(m_sim->lastConfig().isEmpty()); // the store keeps what it had
    QVERIFY(!QFile::exists(lastPublishFile(m_home->dataDir())));
}

void TestPublishing::tableThatCannotBeOpened()
{
    QVERIFY(QFile::remove(m_home->dataDir() + QStringLiteral("/gift.db")));
    m_sim->clearCommands();
    m_session->RunSession(StoreSession::PublishAction);
    const QString missing = "Table does not exist: " + m_home->dataDir() + "/gift.db";
    QCOMPARE(m_messages->texts(), QStringList{missing});
    QVERIFY(m_session->lastSessionFailed());
    QCOMPARE(m_sim->commands(), QStringList()); // nothing posted
    QCOMPARE(log(), kBuilderLines.mid(0, 4) + QStringList{"Error|" + missing});
    QVERIFY(!m_data->GiftTable->isOpen());
}

void TestPublishing::rowThatCannotBeRead()
{
    // A discount that is no number (written by another tool): the coupons
    // are left out, everything else is published.
    exec(QStringLiteral("INSERT INTO coupons.db (CODE, DISCOUNT) VALUES ('SPRING', 0.1), "
                        "('BROKEN', 'ten percent')"));
    QCOMPARE(publish(), defaultsWith({{"&couponsstring=", ""}}));
    QVERIFY(log().contains(QStringLiteral("Internal Trouble|Error when building Coupons table!")));
    QCOMPARE(m_messages->texts(), QStringList());
    QVERIFY(!m_session->lastSessionFailed());
    QVERIFY(!m_data->Coupons->isOpen());
}

void TestPublishing::storedFormsOfRateText()
{
    // Accented text goes out in the store's character set, a colon that starts no
    // terminator as plain text, a whole discount without decimals.
    exec(QStringLiteral("INSERT INTO gift.db (GIFTDELNAME, GIFTFEE) VALUES "
                        "('Geschenkbox f\u00fcr Z\u00fcrich', 2), (12, 1.25)"));
    exec(QStringLiteral("INSERT INTO coupons.db (CODE, DISCOUNT) VALUES ('Note: 10', 3)"));
    QCOMPARE(publish(),
             defaultsWith({{"&gifts_data=&",
                            "&gifts_data=12%5e1%2e25%3aGIFT%3aGeschenkbox+f%fcr+Z%fcrich%5e2%"
                            "3aGIFT%3a&"},
                           {"&couponsstring=&", "&couponsstring=Note%3a+10%5e3%3aCOUPON%3a&"}}));
    QVERIFY(!m_session->lastSessionFailed());
    QCOMPARE(m_messages->texts(), QStringList());
}

void TestPublishing::separatorInRateTextPostsNothing()
{
    exec(QStringLiteral("INSERT INTO gift.db (GIFTDELNAME, GIFTFEE) VALUES ('Box', 1), "
                        "('Ribbon:GIFT:Bow', 2)"));
    m_sim->clearCommands();
    m_session->RunSession(StoreSession::PublishAction);
    QCOMPARE(m_messages->texts(),
             QStringList{"The gift table cannot be published: in row 2 (Ribbon:GIFT:Bow) the "
                         "column GIFTDELNAME holds \":GIFT:\", which the store reads as a "
                         "separator of records or columns.\r\rCorrect the row and publish again. "
                         "Nothing was sent to the store."});
    QCOMPARE(m_sim->commands(), QStringList());
    QVERIFY(!m_data->GiftTable->isOpen());
    QVERIFY(m_session->lastSessionFailed());
}

void TestPublishing::previewAfterOneTaxRateChanged()
{
    // Before any publish everything is new.
    PublishPreview preview = previewPublish(settings(), m_home->dataDir());
    QVERIFY(!preview.publishedAt);
    QCOMPARE(preview.differences.first(),
             (ConfigDifference{ConfigDifference::Added,
                               "CONFIG_body",
                               {},
                               "<BODY BGCOLOR=\"#ffffff\" TEXT=\"#000000\" LINK=\"#ff0000\" "
                               "VLINK=\"#000080\" ALINK=\"#808080\">"}));

    exec(QStringLiteral("INSERT INTO taxes.db (CODE, DT, TT, P, TS) VALUES "
                        "('CA', 'California', 'Orders shipped to California', 0.07, 1)"));
    settings().UPSPassword = QStringLiteral("ups-secret");
    publish();
    QVERIFY(QFile::exists(lastPublishFile(m_home->dataDir())));
    preview = previewPublish(settings(), m_home->dataDir());
    QVERIFY(preview.publishedAt);
    QCOMPARE(preview.differences, QList<ConfigDifference>());

    // A window's table stays open where it is; the preview uses its own.
    Table* taxes = m_data->Taxes;
    taxes->open();
    QVERIFY(taxes->locate(QStringLiteral("CODE"), QStringLiteral("CA")));
    taxes->edit();
    taxes->setValue(QStringLiteral("P"), 0.0725);
    QVERIFY(taxes->post());
    settings().UPSPassword = QStringLiteral("new-secret");
    m_sim->clearCommands();

    preview = previewPublish(settings(), m_home->dataDir());
    QCOMPARE(preview.differences,
             (QList<ConfigDifference>{
                 {ConfigDifference::Changed, "CONFIG_ups_password", "********", "********"},
                 {ConfigDifference::Changed, "taxstring CA", "P=0.07", "P=0.0725"}}));
    QCOMPARE(preview.differences.last().text(), QStringLiteral("taxstring CA: P=0.07 -> P=0.0725"));
    QVERIFY(preview.problems.isEmpty());
    QVERIFY(taxes->isOpen());
    QCOMPARE(m_sim->commands(), QStringList()); // nothing was sent

    // Rows added and removed, and a changed text.
    const QList<ConfigDifference> rows = configurationDifferences(
        "CONFIG_company_name=Old&&taxstring=A%5e1%3aTAX%3aB%5e2%3aTAX%3a&cccard=Visa&",
        "cccard=Visa&cccard=Amex&CONFIG_company_name=New+%26+Co&&taxstring=B%5e2%3aTAX%3aC%5e3%"
        "3aTAX%3a");
    QCOMPARE(rows, (QList<ConfigDifference>{
                       {ConfigDifference::Changed, "CONFIG_company_name", "Old", "New & Co"},
                       {ConfigDifference::Added, "cccard", {}, "Amex"},
                       {ConfigDifference::Added, "taxstring C", {}, "CODE=C, DT=3"},
                       {ConfigDifference::Removed, "taxstring A", "CODE=A, DT=1", {}}}));
}

QTEST_GUILESS_MAIN(TestPublishing)
#include "test_publishing.moc"

// Under a desktop whose decimal separator is a comma, F, G and the numbers
// of the rate tables use it; a true TAXABLE goes out as "1"; a value beyond
// ASCII reaches the store as it was typed.
void TestPublishing::commaDecimalLocale()
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const auto restore = qScopeGuard([&before] { QLocale::setDefault(before); });
    QCOMPARE(QLocale().decimalPoint(), QStringLiteral(","));

    exec(QStringLiteral("INSERT INTO taxes.db (CODE, DT, TT, P, TS) VALUES "
                        "('ZH', 'Z\u00fcrich', 'Orders shipped to Z\u00fcrich', 0.0725, 1)"));
    exec(QStringLiteral("INSERT INTO smarttaxes.db (TAXCODE, DISPLAY, PERCENTAGE, TAXABLE, "
                        "CONDITION) VALUES ('FL', 'Florida', 0.06, 1, 'FL')"));
    exec(QStringLiteral("INSERT INTO shipit.db (WEIGHT, FEE) VALUES (1, 3.5)"));
    exec(QStringLiteral("INSERT INTO gift.db (GIFTDELNAME, GIFTFEE) VALUES ('Gift wrap', 4.5)"));

    const QByteArray body = publish();
    QCOMPARE(m_messages->texts(), QStringList());
    QVERIFY(!m_session->lastSessionFailed());
    // F: two decimals with the comma, form-encoded; G: the comma, not encoded.
    for (const char* field :
         {"&CONFIG_codfee=6%2c00&", "&CONFIG_basic_base=5%2c00&",
          "&CONFIG_basic_percentage=0%2c15&", "&CONFIG_basicshipit_multiplier=1%2c25&",
          "&CONFIG_add_handling=0%2c00&", "&CONFIG_all_account_discount=0,03&"})
        QVERIFY2(body.contains(field), field);
    QVERIFY(!body.contains("%2e00&"));

    QMap<QString, QString> config;
    for (const auto& [name, value] : m_sim->lastConfig())
        config.insert(name, value);
    QCOMPARE(config.value(QStringLiteral("taxstring")),
             QStringLiteral("ZH^Z\u00fcrich^Orders shipped to Z\u00fcrich^0,0725^1:TAX:"));
    QCOMPARE(config.value(QStringLiteral("smarttaxstring")),
             QStringLiteral("FL^Florida^0,06^1^FL:SMARTTAXITEM:"));
    QCOMPARE(config.value(QStringLiteral("shipitstring")), QStringLiteral("1^3,5:SHIPIT:"));
    QCOMPARE(config.value(QStringLiteral("gifts_data")), QStringLiteral("Gift wrap^4,5:GIFT:"));
    QCOMPARE(config.value(QStringLiteral("CONFIG_codfee")), QStringLiteral("6,00"));
}
