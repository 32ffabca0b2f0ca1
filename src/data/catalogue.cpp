#include "data/catalogue.h"

namespace os {

namespace {

FieldDef A(const char* name, int size)
{
    return {QString::fromLatin1(name), FieldType::Alpha, size};
}
FieldDef M(const char* name, int size)
{
    return {QString::fromLatin1(name), FieldType::Memo, size};
}
FieldDef F(const char* name, FieldType type)
{
    return {QString::fromLatin1(name), type, 0};
}

QStringList Keys(const char* list)
{
    return QString::fromLatin1(list).split(QLatin1Char(';'));
}

// Customer and address columns, shared by customers.db and orders.db (an
// order keeps the addresses it was placed with).
QList<FieldDef> accountColumns()
{
    return {F("CUSTID", FieldType::Long),
            A("PASS", 20),
            A("EMAIL", 255),
            A("COMPANY", 50),
            A("NAME", 50),
            A("STREET", 110),
            A("CITY", 50),
            A("STATE", 50),
            A("ZIP", 20),
            A("COUNTRY", 50),
            A("PHONE", 30),
            A("SCOMPANY", 50),
            A("SNAME", 50),
            A("SSTREET", 110),
            A("SCITY", 50),
            A("SSTATE", 50),
            A("SZIP", 20),
            A("SCOUNTRY", 50),
            A("SPHONE", 30),
            A("NOTES", 255)};
}

QList<TableDef> Build()
{
    using T = FieldType;
    QList<TableDef> c;

    TableDef customers{QStringLiteral("customers"), accountColumns(), Keys("CUSTID"), {}};
    customers.fields << F("SUBSCRIBE", T::Logical);
    c << customers;

    c << TableDef{QStringLiteral("todo"),
                  {F("ID", T::Autoinc), F("PRIORITY", T::Short), F("IDATE", T::Timestamp),
                   A("DESCRIPTION", 255)},
                  Keys("ID;PRIORITY"),
                  {{QStringLiteral("IMP"), Keys("PRIORITY;IDATE"), true, true}}};

    c << TableDef{QStringLiteral("customersnotes"),
                  {F("CUSTID", T::Long), M("NOTES", 1)},
                  Keys("CUSTID"),
                  {}};

    c << TableDef{QStringLiteral("form_letters"),
                  {A("DOCNAME", 100), M("DOCBODY", 10), A("FROM", 255)},
                  Keys("DOCNAME"),
                  {}};

    c << TableDef{QStringLiteral("gift"),
                  {A("GIFTDELNAME", 100), F("GIFTFEE", T::Money)},
                  Keys("GIFTDELNAME"),
                  {}};

    c << TableDef{QStringLiteral("invoice_notes"),
                  {F("INVOICE", T::Long), F("ID", T::Autoinc), F("IDATE", T::Date), A("NOTE", 255)},
                  Keys("INVOICE;ID;IDATE"),
                  {}};

    c << TableDef{QStringLiteral("merchantaccounts"),
                  {A("ACCOUNT", 25), A("PHONE", 25), A("MERCHANTNUMBER", 30), A("COMMENTS", 50)},
                  {},
                  {}};

    TableDef orders{QStringLiteral("orders"), {F("INV", T::Long)}, Keys("INV"), {}};
    orders.fields << accountColumns();
    orders.fields << F("IDATE", T::Timestamp) << F("TOTAL", T::Money) << A("METHOD", 50)
                  << A("CARDNUM", 26) << A("CARDTYPE", 25) << A("CCMONTH", 2) << A("CCYEAR", 2)
                  << A("CCPHONE", 25) << A("PURCHASEORDER", 17) << F("AFFILIATECODE", T::Long)
                  << A("COUPON", 15) << A("ORDERSTATE", 25) << F("LASTMARKED", T::Timestamp);
    orders.indexes = {{QStringLiteral("MODS"), Keys("LASTMARKED"), true, true},
                      {QStringLiteral("CUSTOMER"), Keys("CUSTID"), false, true},
                      {QStringLiteral("ORDERDATE"), Keys("IDATE"), false, true},
                      {QStringLiteral("INVDATE"), Keys("INV;IDATE"), true, true}};
    c << orders;

    c << TableDef{QStringLiteral("outbox"),
                  {F("ID", T::Autoinc), F("IDATE", T::Timestamp), A("TYPE", 25), A("SUBJECT", 100),
                   A("TO", 255), A("FROM", 255), M("BODY", 10)},
                  Keys("ID;IDATE;TYPE"),
                  {}};

    c << TableDef{
        QStringLiteral("coupons"), {A("CODE", 10), F("DISCOUNT", T::Number)}, Keys("CODE"), {}};

    c << TableDef{QStringLiteral("sentitems"),
                  {F("SID", T::Autoinc), F("IDATE", T::Timestamp), A("TYPE", 25), A("SUBJECT", 100),
                   A("TO", 255), A("FROM", 255), M("BODY", 10)},
                  Keys("SID;IDATE;TYPE"),
                  {}};

    c << TableDef{
        QStringLiteral("shipit"), {F("WEIGHT", T::Long), F("FEE", T::Money)}, Keys("WEIGHT"), {}};

    c << TableDef{QStringLiteral("shipitext"),
                  {A("DESCRIPTION", 60), F("FLATFEE", T::Money), F("PERCENTAGE", T::Number)},
                  Keys("DESCRIPTION"),
                  {}};

    c << TableDef{QStringLiteral("shipped_info"),
                  {F("INV", T::Long), F("ID", T::Autoinc), F("IDATE", T::Date),
                   A("SHIPCOMMENT", 255), A("SERVICE", 100), A("METHOD", 100),
                   A("TRACKINGCODE", 200)},
                  Keys("INV;ID"),
                  {}};

    c << TableDef{QStringLiteral("smarttaxes"),
                  {A("TAXCODE", 5), A("DISPLAY", 25), F("PERCENTAGE", T::Number),
                   F("TAXABLE", T::Logical), A("CONDITION", 10)},
                  Keys("TAXCODE"),
                  {}};

    c << TableDef{QStringLiteral("taxes"),
                  {A("CODE", 10), A("DT", 100), A("TT", 80), F("P", T::Number), F("TS", T::Logical),
                   A("AUTX", 55)},
                  Keys("CODE"),
                  {}};

    c << TableDef{QStringLiteral("invoice_result"),
                  {F("INVOICE", T::Long), A("INFSTRING", 255)},
                  Keys("INVOICE"),
                  {}};

    c << TableDef{
        QStringLiteral("currency_conversion"),
        {F("REC", T::Autoinc), A("CURSTRING", 200), A("CURSYM", 20), F("CONVERSION", T::Number)},
        Keys("REC"),
        {}};

    // Added after the eighteen: the local record of every change to an
    // order (the store never sees it), read per order, newest first.
    c << TableDef{QStringLiteral("order_history"),
                  {F("ID", T::Autoinc), F("INV", T::Long), F("IDATE", T::Timestamp),
                   A("COMMAND", 50), A("CHANGED", 25), A("OLDVALUE", 255), A("NEWVALUE", 255)},
                  Keys("ID"),
                  {{QStringLiteral("INVID"), Keys("INV;ID"), true, false}}};
    return c;
}

} // namespace

const QList<TableDef>& catalogue()
{
    static const QList<TableDef> catalogue = Build();
    return catalogue;
}

const TableDef* findTableDef(const QString& name)
{
    QString n = name.trimmed();
    if (n.size() >= 2 && n.startsWith(QLatin1Char('"')) && n.endsWith(QLatin1Char('"')))
        n = n.mid(1, n.size() - 2);
    if (n.endsWith(QLatin1String(".db"), Qt::CaseInsensitive))
        n.chop(3);
    for (const TableDef& t : catalogue()) {
        if (t.name.compare(n, Qt::CaseInsensitive) == 0)
            return &t;
    }
    return nullptr;
}

QStringList filterColumns(const TableDef& def)
{
    // The orders browser filters by state in every order it offers.
    if (def.name == QLatin1String("orders"))
        return {QStringLiteral("ORDERSTATE")};
    return {};
}

int TableDef::fieldIndex(const QString& name) const
{
    for (int i = 0; i < fields.size(); ++i) {
        if (fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

const FieldDef* TableDef::field(const QString& name) const
{
    const int i = fieldIndex(name);
    return i < 0 ? nullptr : &fields.at(i);
}

const IndexDef* TableDef::index(const QString& name) const
{
    for (const IndexDef& ix : indexes) {
        if (ix.name.compare(name, Qt::CaseInsensitive) == 0)
            return &ix;
    }
    return nullptr;
}

QStringList TableDef::fieldNames() const
{
    QStringList names;
    for (const FieldDef& f : fields)
        names << f.name;
    return names;
}

QString fieldTypeName(FieldType type)
{
    switch (type) {
    case FieldType::Alpha:
        return QStringLiteral("Alpha");
    case FieldType::Memo:
        return QStringLiteral("Memo");
    case FieldType::Long:
        return QStringLiteral("Long");
    case FieldType::Short:
        return QStringLiteral("Short");
    case FieldType::Autoinc:
        return QStringLiteral("Autoinc");
    case FieldType::Money:
        return QStringLiteral("Money");
    case FieldType::Number:
        return QStringLiteral("Number");
    case FieldType::Logical:
        return QStringLiteral("Logical");
    case FieldType::Timestamp:
        return QStringLiteral("Timestamp");
    case FieldType::Date:
        return QStringLiteral("Date");
    }
    return {};
}

bool isTextType(FieldType type)
{
    return type == FieldType::Alpha || type == FieldType::Memo;
}
bool isIntegerType(FieldType type)
{
    return type == FieldType::Long || type == FieldType::Short || type == FieldType::Autoinc;
}
bool isFloatType(FieldType type)
{
    return type == FieldType::Money || type == FieldType::Number;
}

} // namespace os
