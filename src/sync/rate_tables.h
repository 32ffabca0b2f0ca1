#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace os {

class Table;

// One rate table as the store receives it in the genconfigs post: each row
// becomes a record of the listed columns joined by "^" and followed by the
// terminator; the whole text is one form field. Nothing inside a column is
// escaped, so a column text holding "^" or a terminator would split records
// on the store: the editors refuse such text and publishing refuses a table
// that holds it (docs/publishing.md).
struct RateTableFormat
{
    QString table;       // the table ("taxes", its file taxes.db)
    QStringList columns; // the record's columns, in order
    QString terminator;  // ":TAX:"
    QString field;       // the form field ("taxstring", sent as "&taxstring=")
    QString startLine;   // logged with type "Function" before building; empty: none
    QString errorType;   // the log type of the error line
    QString errorLine;   // logged when a row cannot be read
};

// The seven rate tables in the order they are published: taxes, currency
// conversion, smart taxes, shipping weights, gifts, coupons, weight extensions.
const QList<RateTableFormat>& rateTableFormats();
// The format of a rate table by table name ("taxes", "taxes.db", any case);
// null for any other table.
const RateTableFormat* rateTableFormat(const QString& table);

// The column separator of a record.
inline constexpr char RateColumnSeparator[] = "^";

// Every text that splits records or columns on the store: "^" and the seven
// terminators (":TAX:", ":CURCON:", ":SMARTTAXITEM:", ":SHIPIT:", ":GIFT:",
// ":COUPON:", ":NEXTSHIPITEXT:").
QStringList rateTableSeparators();

// The separator that `text` holds (the one that starts first; terminators are
// matched without regard to case), or an empty string when it holds none. For
// a column of any rate table: a terminator of another table is refused as
// well, since the store reads all seven tables from one post.
QString rateTextSeparator(const QString& text);

// A text column of a rate table's current row (in edit or browse) that holds
// a separator. Besides rateTextSeparator, the record's last column must not
// end so that its end and the terminator after it read as an earlier
// terminator (a smart-tax CONDITION ending in ":SMARTTAXITEM").
struct SeparatorInColumn
{
    QString column;    // "DT"
    QString separator; // "^"
};
std::optional<SeparatorInColumn> separatorInRow(const Table& table);

// The same rule for one column's text: `column` is its place in the record
// (format.columns). Empty when the text can be sent.
QString separatorInColumnText(const RateTableFormat& format, qsizetype column, const QString& text);

// The refusal for a row rule: `column` names the column as the editor shows
// it ("Display Text"), e.g. Display Text may not contain "^": ...
QString separatorRefusalText(const QString& column, const QString& separator);

} // namespace os
