#pragma once

#include "sales/sales_figures.h"

#include <QString>

namespace os {

// Draws the one-page sales report of `figures` grouped by `grouping` into the
// PDF `file`; throws os::Error when it cannot be written. The windows layer
// supplies it (the report draws the Sales window's charts).
using SalesPdfWriter = void (*)(const SalesFigures& figures, SalesGrouping grouping,
                                const QString& file);

// Whether `file` names a PDF (".pdf", case ignored).
bool isPdfName(const QString& file);

// The sales report as CSV, written whole or not at all; throws os::Error.
void writeSalesCsvFile(const QList<PeriodSales>& periods, const QString& file);

// `ordersentinel --sales-report FILE --from DATE --to DATE [--by day|week|month]`:
// reads the orders without the program lock (it only reads) and writes the
// CSV, or for a .pdf FILE the printed report through `pdf`. 0 done, 1 an
// error, 2 a wrong date or grouping.
int runSalesReport(const QString& file, const QString& from, const QString& to, const QString& by,
                   SalesPdfWriter pdf);

} // namespace os
