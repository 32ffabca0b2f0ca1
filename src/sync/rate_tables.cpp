#include "sync/rate_tables.h"

#include "data/catalogue.h"
#include "data/table.h"

namespace os {

const QList<RateTableFormat>& rateTableFormats()
{
    static const QList<RateTableFormat> formats = [] {
        const QString function = QStringLiteral("Function");
        const QString trouble = QStringLiteral("Internal Trouble");
        QList<RateTableFormat> f;
        f << RateTableFormat{QStringLiteral("taxes"),
                             {QStringLiteral("CODE"), QStringLiteral("DT"), QStringLiteral("TT"),
                              QStringLiteral("P"), QStringLiteral("TS")},
                             QStringLiteral(":TAX:"),
                             QStringLiteral("taxstring"),
                             QStringLiteral("Building Taxes Post Data..."),
                             function,
                             QStringLiteral("Error when building taxes table!")};
        f << RateTableFormat{
            QStringLiteral("currency_conversion"),
            {QStringLiteral("CURSTRING"), QStringLiteral("CURSYM"), QStringLiteral("CONVERSION")},
            QStringLiteral(":CURCON:"),
            QStringLiteral("currencyconversion"),
            QStringLiteral("Building Currency Conversion Post Data..."),
            function,
            QStringLiteral("Error when building Currency Conversion table!")};
        f << RateTableFormat{QStringLiteral("smarttaxes"),
                             {QStringLiteral("TAXCODE"), QStringLiteral("DISPLAY"),
                              QStringLiteral("PERCENTAGE"), QStringLiteral("TAXABLE"),
                              QStringLiteral("CONDITION")},
                             QStringLiteral(":SMARTTAXITEM:"),
                             QStringLiteral("smarttaxstring"),
                             QString(), // the smart taxes are built without a start line
                             trouble,
                             QStringLiteral("Error when building Smart Taxes table!")};
        f << RateTableFormat{QStringLiteral("shipit"),
                             {QStringLiteral("WEIGHT"), QStringLiteral("FEE")},
                             QStringLiteral(":SHIPIT:"),
                             QStringLiteral("shipitstring"),
                             QStringLiteral("Building Shipping Post Data..."),
                             function,
                             QStringLiteral("Error when building Shipping Post Data")};
        f << RateTableFormat{QStringLiteral("gift"),
                             {QStringLiteral("GIFTDELNAME"), QStringLiteral("GIFTFEE")},
                             QStringLiteral(":GIFT:"),
                             QStringLiteral("gifts_data"),
                             QStringLiteral("Building Gifts Post Data..."),
                             trouble,
                             QStringLiteral("Error when building Gift table!")};
        f << RateTableFormat{QStringLiteral("coupons"),
                             {QStringLiteral("CODE"), QStringLiteral("DISCOUNT")},
                             QStringLiteral(":COUPON:"),
                             QStringLiteral("couponsstring"),
                             QStringLiteral("Building Coupons Post Data..."),
                             trouble,
                             QStringLiteral("Error when building Coupons table!")};
        f << RateTableFormat{QStringLiteral("shipitext"),
                             {QStringLiteral("DESCRIPTION"), QStringLiteral("FLATFEE"),
                              QStringLiteral("PERCENTAGE")},
                             QStringLiteral(":NEXTSHIPITEXT:"),
                             QStringLiteral("shipitextstring"),
                             QStringLiteral("Building Weight Extensions Post Data..."),
                             function,
                             QStringLiteral("Error when building Weight Extensions table!")};
        return f;
    }();
    return formats;
}

const RateTableFormat* rateTableFormat(const QString& table)
{
    const TableDef* def = findTableDef(table);
    if (!def)
        return nullptr;
    for (const RateTableFormat& f : rateTableFormats()) {
        if (f.table == def->name)
            return &f;
    }
    return nullptr;
}

QStringList rateTableSeparators()
{
    QStringList out{QString::fromLatin1(RateColumnSeparator)};
    for (const RateTableFormat& f : rateTableFormats())
        out << f.terminator;
    return out;
}

QString rateTextSeparator(const QString& text)
{
    // Most texts hold neither character a separator starts with.
    if (!text.contains(QLatin1Char('^')) && !text.contains(QLatin1Char(':')))
        return {};
    QString found;
    qsizetype foundAt = -1;
    for (const QString& separator : rateTableSeparators()) {
        const qsizetype at = text.indexOf(separator, 0, Qt::CaseInsensitive);
        if (at >= 0 && (foundAt < 0 || at < foundAt)) {
            found = separator;
            foundAt = at;
        }
    }
    return found;
}

QString separatorInColumnText(const RateTableFormat& format, qsizetype column, const QString& text)
{
    const QString separator = rateTextSeparator(text);
    if (!separator.isEmpty())
        return separator;
    // The store finds the first terminator: the last column's end and the
    // terminator written after it must not form one sooner.
    if (column == format.columns.size() - 1 && text.contains(QLatin1Char(':'))) {
        const QString record = text + format.terminator;
        if (record.indexOf(format.terminator, 0, Qt::CaseInsensitive) < text.size())
            return format.terminator;
    }
    return {};
}

std::optional<SeparatorInColumn> separatorInRow(const Table& table)
{
    const RateTableFormat* format = rateTableFormat(table.tableName());
    if (!format)
        return std::nullopt;
    const TableDef& def = table.def();
    for (qsizetype i = 0; i < format->columns.size(); ++i) {
        const QString& column = format->columns.at(i);
        const FieldDef* field = def.field(column);
        if (!field || !isTextType(field->type))
            continue;
        const QString separator = separatorInColumnText(*format, i, table.value(column).toString());
        if (!separator.isEmpty())
            return SeparatorInColumn{column, separator};
    }
    return std::nullopt;
}

QString separatorRefusalText(const QString& column, const QString& separator)
{
    return QStringLiteral("%1 may not contain \"%2\": the store uses it to separate the records "
                          "and columns of its rate tables.")
        .arg(column, separator);
}

} // namespace os
