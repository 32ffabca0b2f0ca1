#include "sales/sales_report.h"

#include "base/error.h"
#include "base/messages.h"
#include "base/paths.h"
#include "data/main_data_mod.h"
#include "sync/headless.h"

#include <QSaveFile>

#include <cstdio>

namespace os {

namespace {

int usageError(const QString& text)
{
    std::fprintf(stderr, "ordersentinel: %s\n", text.toLocal8Bit().constData());
    return 2;
}

} // namespace

bool isPdfName(const QString& file)
{
    return file.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
}

void writeSalesCsvFile(const QList<PeriodSales>& periods, const QString& file)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("Cannot write \"%1\". %2").arg(file, out.errorString()));
    writeSalesCsv(periods, out);
    if (!out.commit())
        throw Error(QStringLiteral("Cannot write \"%1\". %2").arg(file, out.errorString()));
}

int runSalesReport(const QString& file, const QString& from, const QString& to, const QString& by,
                   SalesPdfWriter pdf)
{
    if (from.isEmpty() || to.isEmpty())
        return usageError(QStringLiteral("--sales-report needs --from DATE and --to DATE"));
    const QDate first = QDate::fromString(from, Qt::ISODate);
    if (!first.isValid())
        return usageError(QStringLiteral("--from: not a date (YYYY-MM-DD): %1").arg(from));
    const QDate last = QDate::fromString(to, Qt::ISODate);
    if (!last.isValid())
        return usageError(QStringLiteral("--to: not a date (YYYY-MM-DD): %1").arg(to));
    if (last < first)
        return usageError(QStringLiteral("--to %1 lies before --from %2").arg(to, from));
    const std::optional<SalesGrouping> grouping =
        salesGroupingFor(by.isEmpty() ? QStringLiteral("day") : by);
    if (!grouping)
        return usageError(QStringLiteral("--by: day, week or month, not %1").arg(by));

    ErrorCountingMessages counting;
    try {
        TMainDataMod data;
        if (!openCompanyDatabaseReporting(data, AppPaths::dataDir()))
            return 1; // the failure has been shown
        QString rows;
        if (isPdfName(file)) {
            const SalesFigures figures = readSalesFigures(AppPaths::dataDir(), first, last);
            pdf(figures, *grouping, file);
            rows =
                QStringLiteral("Report of %1 orders written to %2").arg(figures.orders).arg(file);
        } else {
            const QList<PeriodSales> periods = groupSales(
                readDailySales(AppPaths::dataDir(), first, last), first, last, *grouping);
            writeSalesCsvFile(periods, file);
            rows = QStringLiteral("%1 periods written to %2").arg(periods.size()).arg(file);
        }
        printLogRow(QStringLiteral("Sales"), rows);
    } catch (const ProgramTermination& t) {
        return t.code();
    } catch (const Error& e) {
        messages().error(e.text());
        return 1;
    }
    return counting.errors() == 0 ? 0 : 1;
}

} // namespace os
