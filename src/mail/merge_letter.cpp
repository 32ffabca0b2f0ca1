#include "mail/merge_letter.h"

#include "base/text_utils.h"
#include "data/query.h"
#include "data/table.h"

#include <QLocale>
#include <QRegularExpression>

namespace os {

namespace {

struct TagDef
{
    const char* tag;
    const char* column;
    TagValue kind;
    bool orderOnly;
};

// In the order of replacement.
const TagDef kTags[] = {
    {"%io_name%", "NAME", TagValue::Text, false},
    {"%io_street%", "STREET", TagValue::Text, false},
    {"%io_city%", "CITY", TagValue::Text, false},
    {"%io_state%", "STATE", TagValue::Text, false},
    {"%io_zip%", "ZIP", TagValue::Text, false},
    {"%io_country%", "COUNTRY", TagValue::Text, false},
    {"%customer_id%", "CUSTID", TagValue::Number, false},
    {"%io_customer_id%", "CUSTID", TagValue::Number, false},
    {"%order_date_time%", "IDATE", TagValue::DateTime, true},
    {"%invoice_number%", "INV", TagValue::Number, true},
    {"%order_total%", "TOTAL", TagValue::Money, true},
    {"%payment_method%", "METHOD", TagValue::Text, true},
    {"%coupon_code%", "COUPON", TagValue::Text, true},
    {"%io_order_date_time%", "IDATE", TagValue::DateTime, true},
    {"%io_invoice_number%", "INV", TagValue::Number, true},
    {"%io_order_total%", "TOTAL", TagValue::Money, true},
    {"%io_payment_method%", "METHOD", TagValue::Text, true},
    {"%io_coupon_code%", "COUPON", TagValue::Text, true},
};

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

QStringList orderTagsIn(const QString& body)
{
    QStringList found;
    for (const TagDef& d : kTags) {
        const QString tag = QLatin1String(d.tag);
        if (d.orderOnly && body.contains(tag, Qt::CaseInsensitive))
            found << tag;
    }
    return found;
}

QString emptyInCustomerLetterText(const QStringList& tags)
{
    QStringList lines;
    for (const QString& tag : tags)
        lines << tag + QStringLiteral(" is empty in a customer letter");
    return lines.join(QLatin1Char('\n'));
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

QString tagValueText(const QVariant& value, TagValue kind, QString (*dateText)(const QDateTime&))
{
    if (value.isNull())
        return QString();
    switch (kind) {
    case TagValue::Text:
        return value.toString();
    case TagValue::Number:
        return QString::number(value.toLongLong());
    case TagValue::Money:
        return FormatMoney(value.toDouble());
    case TagValue::DateTime:
        return dateText(value.toDateTime());
    }
    return QString();
}

QString MergeLetter(const QString& body, const MergeField& source, bool isOrder)
{
    QString text = body;
    for (const TagDef& d : kTags) {
        const QString value = d.orderOnly && !isOrder
                                  ? QString()
                                  : tagValueText(source(QLatin1String(d.column)), d.kind);
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
