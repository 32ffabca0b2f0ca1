#include "data/main_data_mod.h"

#include "base/busy_cursor.h"
#include "base/clock.h"
#include "base/error.h"
#include "base/messages.h"
#include "data/catalogue.h"
#include "data/connection.h"
#include "data/db_error.h"
#include "data/query.h"
#include "data/schema.h"
#include "data/table.h"

#include <QDir>

namespace os {

const char* const kPercentageMessage = "Percentages should be in 0.00 format.\r\rExample: 0.25 "
                                       "would be 25 percent, while 0.025 would be 2.5 "
                                       "percent.\r\rAnything over 1 is over 100 percent!";
const char* const kMessageIncompleteMessage =
    "A message must contain a \"To\", \"From\" and \"Subject\" field, as well as a \"Message "
    "Body\".";

namespace {

TMainDataMod* g_instance = nullptr;

const char* const kCreateNotice = "Ordersentinel must create databases to function, these "
                                  "databases will be created in the background. This "
                                  "process may take several minutes.";

bool isEmpty(const Table& t, const char* field)
{
    const QVariant v = t.value(QLatin1String(field));
    return v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty());
}

// A stored fraction of 1 or more is a percentage typed as a whole number.
bool overOne(const Table& t, const char* field)
{
    const QVariant v = t.value(QLatin1String(field));
    return !v.isNull() && v.toDouble() >= 1.0;
}

bool refuse(const char* text)
{
    messages().error(QString::fromUtf8(text));
    return false;
}

void upper(Table& t, const char* field)
{
    const QVariant v = t.value(QLatin1String(field));
    if (!v.isNull())
        t.setValue(QLatin1String(field), v.toString().toUpper());
}

void todayWhenEmpty(Table& t)
{
    if (isEmpty(t, "IDATE"))
        t.setValue(QStringLiteral("IDATE"), Clock::today());
}

} // namespace

DataSource::DataSource(QObject* dataSet, const QString& name, QObject* parent)
    : QObject(parent), m_dataSet(dataSet)
{
    setObjectName(name);
}

Table* DataSource::table() const
{
    return qobject_cast<Table*>(m_dataSet.data());
}

Query* DataSource::query() const
{
    return qobject_cast<Query*>(m_dataSet.data());
}

TMainDataMod::TMainDataMod(QObject* parent) : QObject(parent)
{
    auto table = [this](const char* file, const char* name) {
        auto* t = new Table(QLatin1String(file), this);
        t->setObjectName(QLatin1String(name));
        return t;
    };
    ORDERs = table("orders", "ORDERs");
    CUSTOMERS = table("customers", "CUSTOMERS");
    CustomerNotes = table("customersnotes", "CustomerNotes");
    ORDER_STATS = table("invoice_result", "ORDER_STATS");
    merchant = table("merchantaccounts", "merchant");
    DocsTable = table("form_letters", "DocsTable");
    Shipping_LOG = table("shipped_info", "Shipping_LOG");
    InvoiceNotes = table("invoice_notes", "InvoiceNotes");
    currency_conversion = table("currency_conversion", "currency_conversion");
    ShipIt = table("shipit", "ShipIt");
    ShipItExt = table("shipitext", "ShipItExt");
    Taxes = table("taxes", "Taxes");
    SmartTaxes = table("smarttaxes", "SmartTaxes");
    Coupons = table("coupons", "Coupons");
    GiftTable = table("gift", "GiftTable");
    OUTBOX = table("outbox", "OUTBOX");
    SENDBOX = table("sentitems", "SENDBOX");
    MainCustomersView = new Query(this);
    MainCustomersView->setObjectName(QStringLiteral("MainCustomersView"));
    MainCustomersView->setSql(QStringLiteral("Select * from customers.db"));
    MarkAllQ = new Query(this);
    MarkAllQ->setObjectName(QStringLiteral("MarkAllQ"));

    // Order and links of the shared tables.
    ORDERs->setIndexName(QStringLiteral("INVDATE"));
    ORDERs->setFilterCaseInsensitive(true);
    CUSTOMERS->setMasterLink(ORDERs, {QStringLiteral("CUSTID")}, {QStringLiteral("CUSTID")});
    CustomerNotes->setMasterLink(CUSTOMERS, {QStringLiteral("CUSTID")}, {QStringLiteral("CUSTID")});
    ORDER_STATS->setMasterLink(ORDERs, {QStringLiteral("INV")}, {QStringLiteral("INVOICE")});
    Shipping_LOG->setMasterLink(ORDERs, {QStringLiteral("INV")}, {QStringLiteral("INV")});
    InvoiceNotes->setMasterLink(ORDERs, {QStringLiteral("INV")}, {QStringLiteral("INVOICE")});

    auto source = [this](QObject* set, const char* name) {
        return new DataSource(set, QLatin1String(name), this);
    };
    ORDERSSOURCE = source(ORDERs, "ORDERSSOURCE");
    CUSTOMERSSOURCE = source(CUSTOMERS, "CUSTOMERSSOURCE");
    CustomerNotesSource = source(CustomerNotes, "CustomerNotesSource");
    OSTAT_SOURCE = source(ORDER_STATS, "OSTAT_SOURCE");
    MerchantSource = source(merchant, "MerchantSource");
    DocsSource = source(DocsTable, "DocsSource");
    Shipping_LOGSource = source(Shipping_LOG, "Shipping_LOGSource");
    InvoiceNotesSource = source(InvoiceNotes, "InvoiceNotesSource");
    currency_conversion_source = source(currency_conversion, "currency_conversion_source");
    ShipItSource = source(ShipIt, "ShipItSource");
    ShipItExtSource = source(ShipItExt, "ShipItExtSource");
    TaxesSource = source(Taxes, "TaxesSource");
    SmartTaxesSource = source(SmartTaxes, "SmartTaxesSource");
    CouponsSource = source(Coupons, "CouponsSource");
    GiftTableSource = source(GiftTable, "GiftTableSource");
    OUTBOXSource = source(OUTBOX, "OUTBOXSource");
    DataSource1 = source(SENDBOX, "DataSource1");
    MainCustomersViewSource = source(MainCustomersView, "MainCustomersViewSource");

    installRowRules();
    if (!g_instance)
        g_instance = this;
}

TMainDataMod::~TMainDataMod()
{
    CloseCompanyDatabase();
    if (g_instance == this)
        g_instance = nullptr;
}

TMainDataMod* TMainDataMod::instance()
{
    return g_instance;
}

void TMainDataMod::installRowRules()
{
    DocsTable->setBeforePost([](Table& t) {
        if (isEmpty(t, "DOCNAME") || isEmpty(t, "FROM") || isEmpty(t, "DOCBODY"))
            return refuse(
                "An Quillform Template must have a \"Body\", \"Subject\" and \"From\" field.");
        return true;
    });
    ShipIt->setBeforePost([](Table& t) {
        if (isEmpty(t, "WEIGHT") || isEmpty(t, "FEE"))
            return refuse("Both the weight and the fee must be defined.");
        return true;
    });
    ShipItExt->setBeforePost([](Table& t) {
        if (overOne(t, "PERCENTAGE")) {
            messages().warning(QStringLiteral("The shipping percentage you just entered exceeds "
                                              "100%.\r\rExample: 0.25 would be 25 percent, while "
                                              "0.025 would be 2.5 percent.\r\rWhat you have "
                                              "entered is acceptable but may not be a what your "
                                              "intended to enter."));
        }
        if (isEmpty(t, "DESCRIPTION"))
            return refuse("The Shipping Extension description can not be null.");
        return true;
    });
    Taxes->setBeforePost([](Table& t) {
        if (isEmpty(t, "DT"))
            return refuse("The display text can not be null.");
        if (isEmpty(t, "TT"))
            return refuse("The tax type can not be null.");
        if (isEmpty(t, "CODE"))
            return refuse("The tax code can not be null.");
        upper(t, "CODE");
        if (overOne(t, "P"))
            return refuse(kPercentageMessage);
        if (t.value(QStringLiteral("TS")).isNull())
            return refuse("Tax shipping must be true or false!");
        return true;
    });
    SmartTaxes->setBeforePost([](Table& t) {
        if (isEmpty(t, "TAXCODE"))
            return refuse("The Tax Code must not be null.");
        upper(t, "TAXCODE");
        if (isEmpty(t, "DISPLAY"))
            return refuse("The Display Text can not be null.");
        if (overOne(t, "PERCENTAGE"))
            return refuse(kPercentageMessage);
        return true;
    });
    Coupons->setBeforePost([](Table& t) {
        if (isEmpty(t, "CODE") || isEmpty(t, "DISCOUNT"))
            return refuse("A coupon must have a code and a discount percentage.");
        if (overOne(t, "DISCOUNT"))
            return refuse(kPercentageMessage);
        upper(t, "CODE");
        return true;
    });
    OUTBOX->setBeforePost([](Table& t) {
        if (isEmpty(t, "TO") || isEmpty(t, "FROM") || isEmpty(t, "BODY") || isEmpty(t, "SUBJECT"))
            return refuse(kMessageIncompleteMessage);
        return true;
    });
    InvoiceNotes->setBeforePost([](Table& t) {
        todayWhenEmpty(t);
        return true;
    });
    Shipping_LOG->setBeforePost([](Table& t) {
        todayWhenEmpty(t);
        return true;
    });
}

void TMainDataMod::CreateMissingTables(const QString& dir)
{
    for (const TableDef& def : catalogue()) {
        if (!tableFileExists(dir, def.name))
            createTable(dir, def);
    }
}

QString TMainDataMod::creationNotice(const QString& dir)
{
    if (tableFileExists(dir, QStringLiteral("customers")))
        return {};
    return QString::fromUtf8(kCreateNotice);
}

bool TMainDataMod::OpenCompanyDatabase(const QString& dir, QString* error)
{
    BusyCursor busy;
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };

    CreateMissingTables(dir); // DbError when a table cannot be made

    // An orders table of the older layout (a DATE column) must go through the
    // repair utility first; nothing here touches it.
    QStringList columns;
    try {
        columns = storedColumnNames(dir, QStringLiteral("orders"));
    } catch (const DbError& e) {
        return fail(e.text());
    }
    if (columns.contains(QStringLiteral("DATE"))) {
        const QString all = QDir(dir).filePath(QStringLiteral("*.*"));
        throw OldTableLayout(
            {QStringLiteral("UPGRADE REQUIRED:\r\rWith your Ordersentinel installation you have a "
                            "program called \"Ordersentinel Database Repair Utility.\" This "
                            "program is used to pack, repair and upgrade databases. Please run "
                            "this utility before starting Ordersentinel."),
             QStringLiteral("It is STRONGLY recommended that you back up all files in:\r\r") + all,
             QStringLiteral("Ordersentinel will shut down now.\r\r") + all});
    }

    m_dir = dir;
    for (Table* t : findChildren<Table*>(Qt::FindDirectChildrenOnly))
        t->setDirectory(dir);
    MainCustomersView->setDirectory(dir);
    MarkAllQ->setDirectory(dir);

    const QList<Table*> order{CUSTOMERS, CustomerNotes, ORDERs,       ORDER_STATS,        merchant,
                              DocsTable, Shipping_LOG,  InvoiceNotes, currency_conversion};
    try {
        for (Table* t : order)
            t->open();
    } catch (const DbError& e) {
        for (int i = 0; i < 8; ++i)
            order.at(i)->close();
        return fail(e.text());
    }
    m_open = true;
    return true;
}

void TMainDataMod::CloseCompanyDatabase()
{
    for (Table* t : {ORDERs, ORDER_STATS, merchant, DocsTable, Shipping_LOG, InvoiceNotes,
                     CustomerNotes, CUSTOMERS, currency_conversion})
        t->close();
    m_open = false;
}

} // namespace os
