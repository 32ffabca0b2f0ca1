#include "orders/order_export.h"

#include "base/error.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/text_utils.h"
#include "data/catalogue.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "orders/order_columns.h"
#include "orders/order_filter.h"
#include "sync/headless.h"

#include <QIODevice>
#include <QSaveFile>

#include <cstdio>

namespace os {

namespace {

// RFC 4180: a value holding a comma, a quote or a line break is quoted, its
// quotes doubled.
void appendField(QByteArray& out, QByteArrayView value)
{
    bool quote = false;
    for (char c : value) {
        if (c == ',' || c == '"' || c == '\n' || c == '\r') {
            quote = true;
            break;
        }
    }
    if (!quote) {
        out.append(value);
        return;
    }
    out.append('"');
    for (char c : value) {
        if (c == '"')
            out.append('"');
        out.append(c);
    }
    out.append('"');
}

void write(QIODevice& out, QByteArray& buffer)
{
    if (out.write(buffer) != buffer.size())
        throw Error(QStringLiteral("Cannot write the export: %1").arg(out.errorString()));
    buffer.clear();
}

} // namespace

qint64 ExportOrders(const Table& orders, QIODevice& out)
{
    enum class Kind
    {
        Text,
        Integer,
        Money
    };
    QStringList fields;
    QList<Kind> kinds;
    QByteArray buffer;
    bool firstColumn = true;
    for (const OrderColumn& c : orderColumns()) {
        const FieldDef* f = orders.def().field(QLatin1String(c.field));
        fields << f->name;
        kinds << (f->type == FieldType::Money ? Kind::Money
                  : isIntegerType(f->type)    ? Kind::Integer
                                              : Kind::Text);
        if (!firstColumn)
            buffer.append(',');
        firstColumn = false;
        appendField(buffer, QByteArray(c.title));
    }
    buffer.append("\r\n");

    qint64 rows = 0;
    const int n = int(fields.size());
    orders.scan(fields, [&](const Table::Cells& cells) {
        for (int i = 0; i < n; ++i) {
            if (i > 0)
                buffer.append(',');
            if (cells.isNull(i))
                continue;
            switch (kinds.at(i)) {
            case Kind::Money:
                buffer.append(FormatDecimal(cells.number(i), 2).toLatin1());
                break;
            case Kind::Integer:
                buffer.append(QByteArray::number(cells.integer(i)));
                break;
            case Kind::Text:
                // Dates are stored as ISO-8601 text already.
                appendField(buffer, cells.text(i));
                break;
            }
        }
        buffer.append("\r\n");
        ++rows;
        if (buffer.size() >= (1 << 16))
            write(out, buffer);
    });
    write(out, buffer);
    return rows;
}

qint64 ExportOrdersToFile(const Table& orders, const QString& file)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("Cannot write \"%1\". %2").arg(file, out.errorString()));
    const qint64 rows = ExportOrders(orders, out);
    if (!out.commit())
        throw Error(QStringLiteral("Cannot write \"%1\". %2").arg(file, out.errorString()));
    return rows;
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
