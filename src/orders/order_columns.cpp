#include "orders/order_columns.h"

#include "base/paths.h"

namespace os {

const QList<OrderColumn>& orderColumns()
{
    static const QList<OrderColumn> columns = {
        {"INV", "Invoice"},
        {"CUSTID", "Customer"},
        {"IDATE", "Date"},
        {"TOTAL", "Total"},
        {"LASTMARKED", "Last Marked"},
        {"ORDERSTATE", "Order Status"},
        {"METHOD", "Method"},
        {"NAME", "Name"},
        {"COMPANY", "Company"},
        {"EMAIL", "E-mail"},
        {"PURCHASEORDER", "P.O."},
        {"AFFILIATECODE", "Affiliate"},
        {"COUPON", "Coupon"},
    };
    return columns;
}

QString invoiceFilePath(const QString& dataDir, qint64 inv)
{
    return AppPaths::htmlDirOf(dataDir) + QLatin1Char('/') + QString::number(inv) +
           QStringLiteral("inv.html");
}

} // namespace os
