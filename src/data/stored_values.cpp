#include "data/stored_values.h"

#include "data/catalogue.h"
#include "data/db_error.h"

namespace os {

namespace {

QString fieldName(const FieldDef* def)
{
    return def ? def->name : QString();
}

} // namespace

QString storedTimestamp(const QDateTime& when)
{
    return when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

QString storedDate(const QDate& day)
{
    return day.toString(QStringLiteral("yyyy-MM-dd"));
}

QVariant toStored(const QVariant& value, const FieldDef* def)
{
    if (!def)
        return value;
    if (value.isNull())
        return QVariant();
    const bool isText =
        value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray;
    const QString text = isText ? value.toString() : QString();
    // An empty text is an empty column, as the grids enter it.
    // (Text columns first: no trimmed copy of every text value.)
    if (isText && def->type != FieldType::Alpha && def->type != FieldType::Memo &&
        text.trimmed().isEmpty())
        return QVariant();
    auto invalid = [&](const char* kind) {
        return DbError(QStringLiteral("'%1' is not a valid %2 value for field %3.")
                           .arg(value.toString(), QLatin1String(kind), fieldName(def)));
    };
    switch (def->type) {
    case FieldType::Alpha: {
        QString s = value.toString();
        if (s.isEmpty())
            return QVariant();
        // Alpha(n) holds at most n characters.
        if (def->size > 0 && s.size() > def->size)
            s.truncate(def->size);
        return s;
    }
    case FieldType::Memo: {
        const QString s = value.toString();
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    case FieldType::Long:
    case FieldType::Short:
    case FieldType::Autoinc: {
        bool ok = true;
        qlonglong n = 0;
        if (isText)
            n = text.trimmed().toLongLong(&ok);
        else if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
            n = qRound64(value.toDouble());
        else
            n = value.toLongLong(&ok);
        const qlonglong lo = def->type == FieldType::Short ? -32768 : -2147483648LL;
        const qlonglong hi = def->type == FieldType::Short ? 32767 : 2147483647LL;
        if (!ok || n < lo || n > hi)
            throw invalid("integer");
        return n;
    }
    case FieldType::Money:
    case FieldType::Number: {
        bool ok = true;
        const double d = isText ? text.trimmed().toDouble(&ok) : value.toDouble(&ok);
        if (!ok)
            throw invalid("number");
        return d;
    }
    case FieldType::Logical: {
        if (isText) {
            const QString t = text.trimmed().toLower();
            if (t == QLatin1String("true") || t == QLatin1String("1") || t == QLatin1String("t"))
                return 1;
            if (t == QLatin1String("false") || t == QLatin1String("0") || t == QLatin1String("f"))
                return 0;
            throw invalid("logical");
        }
        return value.toBool() ? 1 : 0;
    }
    case FieldType::Timestamp: {
        QDateTime dt;
        if (value.typeId() == QMetaType::QDateTime)
            dt = value.toDateTime();
        else if (value.typeId() == QMetaType::QDate)
            dt = QDateTime(value.toDate(), QTime(0, 0));
        else
            dt = QDateTime::fromString(text.trimmed(), Qt::ISODate);
        if (!dt.isValid())
            throw invalid("timestamp");
        return storedTimestamp(dt);
    }
    case FieldType::Date: {
        QDate d;
        if (value.typeId() == QMetaType::QDate)
            d = value.toDate();
        else if (value.typeId() == QMetaType::QDateTime)
            d = value.toDateTime().date();
        else {
            d = QDate::fromString(text.trimmed().left(10), Qt::ISODate);
        }
        if (!d.isValid())
            throw invalid("date");
        return storedDate(d);
    }
    }
    return value;
}

QVariant fromStored(const QVariant& stored, const FieldDef* def)
{
    if (!def || stored.isNull())
        return stored;
    switch (def->type) {
    case FieldType::Alpha:
    case FieldType::Memo:
        return stored.toString();
    case FieldType::Long:
    case FieldType::Short:
    case FieldType::Autoinc:
        return int(stored.toLongLong());
    case FieldType::Money:
    case FieldType::Number:
        return stored.toDouble();
    case FieldType::Logical:
        return stored.toLongLong() != 0;
    case FieldType::Timestamp: {
        const QDateTime dt = QDateTime::fromString(stored.toString(), Qt::ISODate);
        return dt.isValid() ? QVariant(dt) : stored;
    }
    case FieldType::Date: {
        const QDate d = QDate::fromString(stored.toString().left(10), Qt::ISODate);
        return d.isValid() ? QVariant(d) : stored;
    }
    }
    return stored;
}

} // namespace os
