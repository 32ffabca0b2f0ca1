#include "orders/order_filter.h"

#include "data/table.h"

namespace os {

const char* const kAllEntry = "ALL";
const char* const kCustomEntry = "Custom";
const char* const kCustomRefused =
    "This view is not available manually, it is reserved for internal functions.";

const QStringList& filterEntries()
{
    static const QStringList entries = {
        QStringLiteral("New"),
        QStringLiteral("Payment Received"),
        QStringLiteral("Partially Shipped"),
        QStringLiteral("Shipped"),
        QStringLiteral("Status Pending"),
        QStringLiteral("Complete"),
        QStringLiteral("Void"),
        QStringLiteral("AutoVoid"),
        QLatin1String(kAllEntry),
        QLatin1String(kCustomEntry),
    };
    return entries;
}

namespace {

const QStringList kSearchFields = {QStringLiteral("INV"), QStringLiteral("EMAIL"),
                                   QStringLiteral("NAME")};

} // namespace

QString stateFilterText(const QString& state)
{
    return filterEquals(QStringLiteral("ORDERSTATE"), state);
}

void applyStateFilter(Table& orders, const QString& entry)
{
    orders.setSearch(kSearchFields, QString());
    if (entry == QLatin1String(kAllEntry)) {
        orders.setFiltered(false);
        return;
    }
    // A filter already on reads the list again when its text changes; one
    // that was off reads it when turned on: once either way.
    orders.setFilter(stateFilterText(entry));
    orders.setFiltered(true);
}

void ApplyCustomFilter(Table& orders, const QString& column, const QString& value)
{
    orders.setSearch(kSearchFields, QString());
    orders.setFilter(filterEquals(column, value));
    orders.setFiltered(true);
}

bool findOrders(Table& orders, const QString& text)
{
    if (text.trimmed().isEmpty())
        return false;
    orders.setFiltered(false);
    orders.setSearch(kSearchFields, text.trimmed());
    return true;
}

std::optional<QString> stateEntryFor(const QString& typed)
{
    for (const QString& e : filterEntries()) {
        if (e == QLatin1String(kCustomEntry))
            continue;
        if (e.compare(typed.trimmed(), Qt::CaseInsensitive) == 0)
            return e;
    }
    return std::nullopt;
}

} // namespace os
