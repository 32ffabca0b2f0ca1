#include "customers/customer_list.h"

#include "data/table.h"
#include "data/table_csv.h"

#include <limits>

namespace os {

const QList<CustomerFindItem>& customerFindItems()
{
    // clang-format off
    static const QList<CustomerFindItem> items{
        {0, "Customer Number", "CustomerNumber1", "CUSTID"},
        {0, "E-mail", "Email1", "EMAIL", true},
        {0, "Password", "Password1", "PASS"},
        {0, "Billing", "Billing1", "", true},
        {0, "Shipping", "Shipping1", ""},
        {1, "Name", "BillName1", "NAME"},
        {1, "Company", "BillCompany1", "COMPANY"},
        {1, "Street", "BillStreet1", "STREET", true},
        {1, "City", "BillCity1", "CITY"},
        {1, "State", "BillState1", "STATE"},
        {1, "ZIP", "BillZip1", "ZIP"},
        {1, "Country Code", "BillCountry1", "COUNTRY"},
        {2, "Name", "ShipName1", "SNAME"},
        {2, "Company", "ShipCompany1", "SCOMPANY"},
        {2, "Street", "ShipStreet1", "SSTREET", true},
        {2, "City", "ShipCity1", "SCITY"},
        {2, "State", "ShipState1", "SSTATE"},
        {2, "Zip", "ShipZip1", "SZIP"},
        {2, "Country Code", "ShipCountry1", "SCOUNTRY"},
    };
    // clang-format on
    return items;
}

const QList<CustomerColumn>& customerColumns()
{
    static const QList<CustomerColumn> columns{
        {"CUSTID", "ID"}, {"PASS", "Password"},   {"EMAIL", "E-mail"}, {"COMPANY", "Company"},
        {"NAME", "Name"}, {"STREET", "Street"},   {"CITY", "City"},    {"STATE", "State"},
        {"ZIP", "ZIP"},   {"COUNTRY", "Country"}, {"PHONE", "Phone"},
    };
    return columns;
}

bool isCustomerNumberText(const QString& text)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty())
        return false;
    for (QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

CustomerListQuery customerSearch(const QString& column, const QString& text)
{
    if (column == QLatin1String("CUSTID"))
        return {CustomerListQuery::Kind::Number, column, text.trimmed()};
    return {CustomerListQuery::Kind::Contains, column, text};
}

void applyCustomerList(Table& customers, const CustomerListQuery& query)
{
    switch (query.kind) {
    case CustomerListQuery::Kind::All:
        customers.setSearch({}, QString());
        customers.setFiltered(false);
        return;
    case CustomerListQuery::Kind::Contains:
        customers.setFiltered(false);
        customers.setSearch({query.column}, query.text);
        return;
    case CustomerListQuery::Kind::Number: {
        // Customer numbers are 32-bit: a longer number is no customer's.
        bool ok = false;
        const qlonglong n = query.text.toLongLong(&ok);
        const bool fits = ok && n <= std::numeric_limits<qint32>::max();
        customers.setSearch({}, QString());
        customers.setFilter(fits ? QStringLiteral("CUSTID=%1").arg(n)
                                 : QStringLiteral("CUSTID=-1 AND CUSTID=0"));
        customers.setFiltered(true);
        return;
    }
    }
}

qint64 ExportCustomersToFile(const Table& customers, const QString& file)
{
    // The store account password (PASS) stays out of every export.
    QList<CsvColumn> columns;
    for (const CustomerColumn& c : customerColumns()) {
        if (QLatin1String(c.field) != QLatin1String("PASS"))
            columns << CsvColumn{QLatin1String(c.field), QLatin1String(c.title)};
    }
    return exportCsvToFile(customers, columns, file);
}

} // namespace os
