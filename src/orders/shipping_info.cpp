#include "orders/shipping_info.h"

#include "data/query.h"

#include <QLocale>

namespace os {

QList<ShippingRecord> shippingRecords(const QString& dataDir, qint64 inv)
{
    Query q;
    q.setDirectory(dataDir);
    q.setSql(QStringLiteral("SELECT IDATE, SERVICE, METHOD, TRACKINGCODE, SHIPCOMMENT FROM "
                            "shipped_info.db WHERE INV = :INV ORDER BY ID"));
    q.setParam(QStringLiteral("INV"), inv);
    q.open();
    QList<ShippingRecord> records;
    for (; !q.eof(); q.next()) {
        records << ShippingRecord{q.value(0).toDate(), q.value(1).toString(), q.value(2).toString(),
                                  q.value(3).toString(), q.value(4).toString()};
    }
    return records;
}

QString ShippingInfoBlock(const QList<ShippingRecord>& records)
{
    if (records.isEmpty())
        return QString();
    const QString crlf = QStringLiteral("\r\n");
    const QString divider = QString(55, QLatin1Char('-')) + crlf;
    const QLocale locale = QLocale::system();
    QString block = divider;
    for (const ShippingRecord& r : records) {
        const QString date =
            r.date.isValid() ? locale.toString(r.date, QLocale::ShortFormat) : QString();
        block += QStringLiteral("DATE: ") + date + crlf;
        block += QStringLiteral("SERVICE: ") + r.service + crlf;
        block += QStringLiteral("METHOD: ") + r.method + crlf;
        block += QStringLiteral("TRACKING: ") + r.tracking + crlf;
        block += QStringLiteral("COMMENT: ") + crlf;
        block += r.comment + crlf;
        block += divider;
    }
    return block;
}

} // namespace os
