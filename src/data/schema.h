#pragma once

#include <QString>
#include <QStringList>

namespace os {

struct TableDef;

// Creates `<dir>/<table>.db` (owner read/write only) with its columns, the
// primary index "PrimaryIndex" and the secondary indexes in order, then the
// engine's own objects. Refuses to touch an existing file. Throws DbError
// with the engine's text.
void createTable(const QString& dir, const TableDef& def);

// "COL" [COLLATE NOCASE] [DESC] as the table's indexes and cursors order by it
// (the collation only for text columns, so an index and an ORDER BY agree).
QString indexColumnSql(const TableDef& def, const QString& field, bool descending,
                       bool caseInsensitive);

// The engine's own objects, named os_*, each CREATE ... IF NOT EXISTS: the
// indexes for fast filters (filterColumns) and the guard that makes an empty
// key value count as a value in the primary key. Made with the table, and for
// older files when a connection first opens them.
QStringList engineObjectSql(const TableDef& def);

// The column's type as the file declares it ("VARCHAR(50)", "INTEGER").
struct FieldDef;
QString declaredType(const FieldDef& f);

// Column names of the table as stored in its file (opened by itself with a
// connection of its own, which recovers a log left behind; nothing else is
// changed).
QStringList storedColumnNames(const QString& dir, const QString& tableName);

} // namespace os
