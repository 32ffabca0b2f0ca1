#include "customers/purchase_history.h"

#include "base/text_utils.h"
#include "data/query.h"

#include <QLocale>

namespace os {

namespace {

QDateTime dateOf(const QVariant& v)
{
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    return QDateTime::fromString(v.toString(), Qt::ISODate);
}

} // namespace

PurchaseFigures readPurchaseFigures(const QString& dir, qint64 custId)
{
    PurchaseFigures f;
    Query q;
    q.setDirectory(dir);
    q.setSql(
        QStringLiteral("SELECT COUNT(*) AS N, SUM(TOTAL) as TOTALSALES, MIN(IDATE) AS FIRSTDATE, "
                       "MAX(IDATE) AS LASTDATE from orders.db WHERE CUSTID=:MYID"));
    q.setParam(QStringLiteral("MYID"), custId);
    q.open();
    f.orders = q.value(QStringLiteral("N")).toInt();
    f.total = q.value(QStringLiteral("TOTALSALES"));
    f.firstDate = dateOf(q.value(QStringLiteral("FIRSTDATE")));
    f.lastDate = dateOf(q.value(QStringLiteral("LASTDATE")));
    q.close();
    return f;
}

QString averageText(const PurchaseFigures& figures, ProfileVariant variant)
{
    if (figures.orders == 0)
        return variant == ProfileVariant::CustomersView ? QStringLiteral("00.00")
                                                        : QStringLiteral("?");
    return FormatMoney(figures.total.toDouble() / figures.orders);
}

QString totalText(const PurchaseFigures& figures)
{
    if (figures.total.isNull())
        return QString();
    return FormatMoney(figures.total.toDouble());
}

QString orderDateText(const QDateTime& when)
{
    if (!when.isValid())
        return QString();
    return QLocale::system().toString(when.date(), QLocale::ShortFormat);
}

} // namespace os
