#include "mail/merge_letter.h"

#include "base/text_utils.h"
#include "data/query.h"
#include "data/table.h"

#include <QLocale>
#include <QRegularExpression>

namespace os {

namespace {

enum class From
{
    Text,   // the column as text
    Number, // an integer column (INV, CUSTID)
    Money,
    DateTime
};

struct TagDef
{
    const char* tag;
    const char* column;
    From kind;
    bool orderOnly;
};

// In the order of replacement.
const TagDef kTags[] = {
    {"%io_name%", "NAME", From::Text, false},
    {"%io_street%", "STREET", From::Text, false},
    {"%io_city%", "CITY", From::Text, false},
    {"%io_state%", "STATE", From::Text, false},
    {"%io_zip%", "ZIP", From::Text, false},
    {"%io_country%", "COUNTRY", From::Text, false},
    {"%customer_id%", "CUSTID", From::Number, false},
    {"%io_customer_id%", "CUSTID", From::Number, false},
    {"%order_date_time%", "IDATE", From::DateTime, true},
    {"%invoice_number%", "INV", From::Number, true},
    {"%order_total%", "TOTAL", From::Money, true},
    {"%payment_method%", "METHOD", From::Text, true},
    {"%coupon_code%", "COUPON", From::Text, true},
    {"%io_order_date_time%", "IDATE", From::DateTime, true},
    {"%io_invoice_number%", "INV", From::Number, true},
    {"%io_order_total%", "TOTAL", From::Money, true},
    {"%io_payment_method%", "METHOD", From::Text, true},
    {"%io_coupon_code%", "COUPON", From::Text, true},
};

QString valueText(const QVariant& v, From kind)
{
    if (v.isNull())
        return QString();
    switch (kind) {
    case From::Text:
        return v.toString();
    case From::Number:
        return QString::number(v.toLongLong());
    case From::Money:
        return FormatMoney(v.toDouble());
    case From::DateTime:
        return letterDateTime(v.toDateTime());
    }
    return QString();
}

} // namespace

const QStringList& mergeTags()
{
    static const QStringList tags = [] {
        QStringList t;
        for (const TagDef& d : kTags)
            t << QLatin1String(d.tag);
        return t;
    }();
    return tags;
}

QString letterDateTime(const QDateTime& when)
{
    if (!when.isValid())
        return QString();
    const QLocale locale = QLocale::system();
    // The long time format with its seconds, without the time zone.
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(zone);
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(when.time(), timeFormat.trimmed());
}

QString MergeLetter(const QString& body, const MergeField& source, bool isOrder)
{
    QString text = body;
    for (const TagDef& d : kTags) {
        const QString value = d.orderOnly && !isOrder
                                  ? QString()
                                  : valueText(source(QLatin1String(d.column)), d.kind);
        text = ReplaceTag(text, QLatin1String(d.tag), value);
    }
    return text;
}

QString MergeLetter(const QString& body, const Table& source, bool isOrder)
{
    return MergeLetter(
        body,
        [&source](const QString& column) {
            return source.def().fieldIndex(column) < 0 ? QVariant() : source.value(column);
        },
        isOrder);
}

QString MergeLetter(const QString& body, const Query& source, bool isOrder)
{
    return MergeLetter(
        body,
        [&source](const QString& column) {
            return source.columnNames().contains(column, Qt::CaseInsensitive) ? source.value(column)
                                                                              : QVariant();
        },
        isOrder);
}

} // namespace os
