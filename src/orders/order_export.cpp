#include "orders/order_export.h"

#include "base/error.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/text_utils.h"
#include "data/catalogue.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "data/table_csv.h"
#include "orders/order_columns.h"
#include "orders/order_filter.h"
#include "sync/headless.h"

#include <QIODevice>
#include <QSaveFile>

#include <cstdio>

namespace os {

namespace {

QList<CsvColumn> exportColumns()
{
    QList<CsvColumn> columns;
    for (const OrderColumn& c : orderColumns())
        columns << CsvColumn{QLatin1String(c.field), QLatin1String(c.title)};
    return columns;
}

} // namespace

qint64 ExportOrders(const Table& orders, QIODevice& out)
{
    return exportCsv(orders, exportColumns(), out);
}

qint64 ExportOrdersToFile(const Table& orders, const QString& file)
{
    return exportCsvToFile(orders, exportColumns(), file);
}

int runExportOrders(const QString& file, const QString& state)
{
    const QString typed = state.isEmpty() ? QLatin1String(kAllEntry) : state;
    const std::optional<QString> entry = stateEntryFor(typed);
    if (!entry) {
        std::fprintf(stderr, "Unknown order state \"%s\". The states are:\n",
                     typed.toLocal8Bit().constData());
        for (const QString& e : filterEntries()) {
            if (e != QLatin1String(kCustomEntry))
                std::fprintf(stderr, "  %s\n", e.toLocal8Bit().constData());
        }
        return 2;
    }

    ErrorCountingMessages counting;
    try {
        TMainDataMod data;
        if (!openCompanyDatabaseReporting(data, AppPaths::dataDir()))
            return 1; // the failure has been shown
        applyStateFilter(*data.ORDERs, *entry);
        const qint64 rows = ExportOrdersToFile(*data.ORDERs, file);
        printLogRow(QStringLiteral("Export"),
                    QStringLiteral("%1 orders written to %2").arg(rows).arg(file));
    } catch (const ProgramTermination& t) {
        return t.code();
    } catch (const Error& e) {
        messages().error(e.text());
        return 1;
    }
    return counting.errors() == 0 ? 0 : 1;
}

} // namespace os
