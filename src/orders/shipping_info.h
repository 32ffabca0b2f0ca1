#pragma once

#include <QDate>
#include <QList>
#include <QString>

namespace os {

// One row of an order's shipping log (shipped_info.db).
struct ShippingRecord
{
    QDate date;
    QString service;
    QString method;
    QString tracking;
    QString comment;
};

// The order's shipping records in entry order (ID). Throws DbError.
QList<ShippingRecord> shippingRecords(const QString& dataDir, qint64 inv);

// The text that replaces %io_shipping_info_structure% in a shipping letter:
// a line of 55 "-", then per record "DATE: " and the locale's short date,
// "SERVICE: ", "METHOD: ", "TRACKING: ", "COMMENT: ", the comment on a line
// of its own, and the line of dashes again. Every line, the last one too,
// ends with CR LF. Empty without records.
QString ShippingInfoBlock(const QList<ShippingRecord>& records);

} // namespace os
