#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace os {

class Table;

// The customer list of the Customers View: the whole of customers.db, the
// customers whose column holds the search text, or one customer number. The
// list is a paged cursor over customers.db (never loaded whole), so the
// first screen comes at once on any number of customers; the mailing-list
// merge streams the same rows.
struct CustomerListQuery
{
    enum class Kind
    {
        All,      // "Remove Query" and a new Customers View
        Contains, // the column holds the text, letter case ignored
        Number    // CUSTID equals the number
    };
    Kind kind = Kind::All;
    QString column; // Contains: the column searched
    QString text;   // Contains: as typed (not trimmed); Number: the digits
};

// One item of the Find menu: its caption, object name and column. A column
// of "" is a submenu; place 0 is the Find menu itself, 1 "Billing", 2
// "Shipping".
struct CustomerFindItem
{
    int place;
    const char* caption;
    const char* objectName;
    const char* column; // "" for a submenu or a separator
    bool separatorBefore = false;
};
const QList<CustomerFindItem>& customerFindItems();

// The grid's columns in order, field and title.
struct CustomerColumn
{
    const char* field;
    const char* title;
};
const QList<CustomerColumn>& customerColumns();

// Whether "Customer Number" can search `text`: digits 0 to 9 only once the
// blanks around them are removed (" 42 " searches 42, "12a" cannot).
bool isCustomerNumberText(const QString& text);

// The query of a Find menu item: Number for CUSTID (the text trimmed),
// Contains otherwise (the text as typed).
CustomerListQuery customerSearch(const QString& column, const QString& text);

// Sets `customers` (a table over customers.db) to list what `query` says.
// The text is always bound, never placed in SQL. Throws DbError.
void applyCustomerList(Table& customers, const CustomerListQuery& query);

// Writes the customers `customers` lists (its order, filter and search) as
// CSV under the grid's titles: UTF-8, RFC 4180, CR LF. The store account
// password is never written. Returns the rows written; throws Error.
qint64 ExportCustomersToFile(const Table& customers, const QString& file);

} // namespace os
