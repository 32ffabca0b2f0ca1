#pragma once

#include <QList>
#include <QString>

class QIODevice;

namespace os {

class Table;

// A column of a CSV export: the table's field and the title in the header.
struct CsvColumn
{
    QString field;
    QString title;
};

// Writes the rows `table` lists (its order, filter, search and link) as CSV:
// the titles as the header, UTF-8, RFC 4180 quoting, CR LF line ends; dates
// in ISO 8601, money with a full stop and two decimals. A text a spreadsheet
// would run as a formula (=, +, -, @, TAB or CR first, not a number) gets a
// leading apostrophe. Streams the rows
// (never loads the table). Returns the rows written; throws os::Error on a
// write failure and DbError on an engine failure.
qint64 exportCsv(const Table& table, const QList<CsvColumn>& columns, QIODevice& out);

// The same into `file` (owner read/write only), written whole or not at all.
qint64 exportCsvToFile(const Table& table, const QList<CsvColumn>& columns, const QString& file);

} // namespace os
