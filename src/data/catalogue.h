#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace os {

// The company database declared once as data: creation, the format check and
// the grids all read this catalogue.
enum class FieldType
{
    Alpha,
    Memo,
    Long,
    Short,
    Autoinc,
    Money,
    Number,
    Logical,
    Timestamp,
    Date
};

struct FieldDef
{
    QString name;
    FieldType type;
    int size; // characters for Alpha, bytes held in the row for Memo, 0 otherwise
};

struct IndexDef
{
    QString name;
    QStringList fields;
    bool descending;
    bool caseInsensitive;
};

struct TableDef
{
    QString name;            // "orders"; the file is name + ".db"
    QList<FieldDef> fields;  // in stored order
    QStringList primaryKey;  // the unique index "PrimaryIndex"; empty = none (insertion order)
    QList<IndexDef> indexes; // secondary indexes in creation order

    QString fileName() const { return name + QStringLiteral(".db"); }
    int fieldIndex(const QString& field) const;       // case-insensitive; -1 when absent
    const FieldDef* field(const QString& name) const; // case-insensitive; null when absent
    const IndexDef* index(const QString& name) const; // secondary index by name, case-insensitive
    QStringList fieldNames() const;
};

// The tables in creation order: the eighteen of the company database, then
// the order history.
const QList<TableDef>& catalogue();

// "orders", "orders.db", "ORDERS.DB", a quoted "form_letters.db": the table's
// definition, or null when the catalogue has no such table.
const TableDef* findTableDef(const QString& name);

// Column names the engine indexes alongside the catalogue's indexes so that a
// filter on them stays fast (an engine detail, see docs/data.md).
QStringList filterColumns(const TableDef& def);

QString fieldTypeName(FieldType type); // "Alpha", "Long", ...
bool isTextType(FieldType type);       // Alpha, Memo
bool isIntegerType(FieldType type);    // Long, Short, Autoinc
bool isFloatType(FieldType type);      // Money, Number

} // namespace os
