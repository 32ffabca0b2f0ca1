#pragma once

#include <QList>
#include <QString>

namespace os {

// The columns of the orders list, in order: the browser's grid shows them and
// the export writes them, under the same titles.
struct OrderColumn
{
    const char* field;
    const char* title;
};

const QList<OrderColumn>& orderColumns();

// The invoice file of order `inv`: <data directory>/html/<inv>inv.html.
QString invoiceFilePath(const QString& dataDir, qint64 inv);

} // namespace os
