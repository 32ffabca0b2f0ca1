#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>

namespace os {

struct FieldDef;

// Value conversion between the program and the stored form: text for Alpha and
// Memo, integers, reals, 0/1 for Logical, ISO-8601 text for Timestamp and Date.
// An empty text is an empty column (NULL). Throws DbError for a value of the
// wrong kind ("'x' is not a valid integer value for field INV.").
QVariant toStored(const QVariant& value, const FieldDef* def);
QVariant fromStored(const QVariant& stored, const FieldDef* def);

// The stored texts of a time stamp and a date; both sort in time order.
QString storedTimestamp(const QDateTime& when);
QString storedDate(const QDate& day);

} // namespace os
