#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace os {

class Table;
class Query;

// A column of the record a letter is made for, by name (NAME, CITY, CUSTID,
// IDATE, INV, TOTAL, METHOD, COUPON); a null QVariant is an empty column.
using MergeField = std::function<QVariant(const QString& column)>;

// The tags of a letter in the order MergeLetter replaces them.
const QStringList& mergeTags();

// The letter merge of every letter the program writes: ReplaceTag once per
// tag of mergeTags(), in that order (a value inserted for one tag is scanned
// by the tags replaced after it). The customer tags take the record's NAME,
// STREET, CITY, STATE, ZIP, COUNTRY and CUSTID; the order tags its IDATE (the
// system's date-time format), INV, TOTAL (FormatMoney), METHOD and COUPON
// when `isOrder`, else they are removed. %io_shipping_info_structure% is left
// to the caller.
QString MergeLetter(const QString& body, const MergeField& source, bool isOrder);
// The same for the current row of a table (ORDERs, CUSTOMERS) or a query
// (the customer list).
QString MergeLetter(const QString& body, const Table& source, bool isOrder);
QString MergeLetter(const QString& body, const Query& source, bool isOrder);

// The order tags `body` holds (in capitals as it writes them does not
// matter), in mergeTags() order: a customer letter leaves them empty.
QStringList orderTagsIn(const QString& body);

// "%io_invoice_number% is empty in a customer letter" (one line per tag).
QString emptyInCustomerLetterText(const QStringList& tags);

// An order's date and time as letters show it: the system's short date and
// its time with seconds.
QString letterDateTime(const QDateTime& when);

// How a column's value becomes the text of its tag.
enum class TagValue
{
    Text,   // the column as text
    Number, // an integer column (INV, CUSTID) in decimal
    Money,  // FormatMoney
    DateTime
};

// The text a tag gets for a column's value: empty for a null value, else as
// `kind` says, a date-time through `dateText` (order letters have their own).
QString tagValueText(const QVariant& value, TagValue kind,
                     QString (*dateText)(const QDateTime&) = letterDateTime);

// The tag of the order's shipping block, filled by the shipping letter and
// emptied by the single-letter composition.
inline constexpr char kShippingInfoTag[] = "%io_shipping_info_structure%";

} // namespace os
