#pragma once

#include "sales/sales_figures.h"

#include <QRect>
#include <QString>
#include <QStringList>

class QChart;
class QPainter;

namespace os {

// The Sales window's charts, built from the figures alone so that the window
// and the printed report show the same pictures.

// Revenue per period as bars (left axis, money) and the order count as a
// line (right axis).
QChart* makeRevenueChart(const QList<PeriodSales>& periods, SalesGrouping grouping);

// A pie of `parts` by order count, titled `title`; "No orders" when empty.
QChart* makeShareChart(const QString& title, const QList<NamedSales>& parts);

// "1 Dec 2026 – 31 Dec 2026" in the locale's short date format.
QString salesRangeText(const QDate& from, const QDate& to);

// The totals beside the same period a year before, one line each:
// "Orders: 12 (a year before: 10)", "Revenue: $1,234.50 (a year before: $99.00)".
QStringList salesTotalsLines(const SalesFigures& figures);

// "$1,234.50": the program's money format.
QString salesMoneyText(qint64 cents);

// The one-page report: title, range, totals, the charts, the best customers.
void paintSalesReport(QPainter& painter, const QRect& page, const SalesFigures& figures,
                      SalesGrouping grouping);

// The report as a PDF file (A4); throws os::Error when it cannot be written.
void writeSalesReportPdf(const SalesFigures& figures, SalesGrouping grouping, const QString& file);

} // namespace os
