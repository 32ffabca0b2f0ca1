#pragma once

#include <QString>

class QIODevice;

namespace os {

class Table;

// The orders export: the rows `orders` lists (its filter, search and order),
// the columns of the orders list (order_columns.h) under their titles, as
// CSV: UTF-8, RFC 4180 quoting, CR LF line ends; dates in ISO 8601, totals
// with a full stop and two decimals. Card data is never written.
// Returns the number of orders written; throws os::Error on a write failure.
qint64 ExportOrders(const Table& orders, QIODevice& out);

// The same into `file`, written whole or not at all.
qint64 ExportOrdersToFile(const Table& orders, const QString& file);

// `ordersentinel --export-orders FILE [--state STATE]`: opens the company
// database (creating missing tables) without the program lock, since it only
// reads, and writes the orders of STATE (a state of the filter or "ALL", the
// default; case ignored). 0 done, 1 an error, 2 an unknown state.
int runExportOrders(const QString& file, const QString& state);

} // namespace os
