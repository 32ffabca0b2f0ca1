#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <map>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace os {

struct FieldDef;
struct TableDef;
class Statement;

// One SQLite connection per table file, shared by every Table, Query,
// Transaction and Savepoint on that file (a registry keyed by the canonical
// file path; the connection closes when its last user goes), so a transaction covers query and
// table writes alike.
class Connection
{
public:
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The connection of `<dir>/<table>.db` (table names without case). The file
    // must exist and hold the table; a missing file is reported, never created.
    static std::shared_ptr<Connection> forTable(const QString& dir, const QString& tableName);

    sqlite3* handle() const { return m_db; }
    QString filePath() const { return m_path; }
    QString tableName() const { return m_table; } // as stored in the file
    bool inTransaction() const;

    void exec(const QString& sql); // throws DbError with the engine's text
    // Like exec, for the few statements run again and again (the savepoint
    // commands, once per record in a bulk import): prepared once and kept.
    void execPrepared(const QString& sql); // throws DbError
    // The lowest savepoint name no live savepoint on this connection holds,
    // so a savepoint per record reuses one name and its prepared statements.
    // Given back with releaseSavepointName once the savepoint is gone.
    QString nextSavepointName();
    void releaseSavepointName(const QString& name);

    // Attaches the file of another table under a schema name for a query;
    // returns that schema name. Keeps at most the engine's limit attached,
    // detaching the least recently used ones that are free.
    QString attach(const QString& dir, const QString& tableName);

    // The engine's text for the last failure on this connection.
    QString errorText(int rc) const;

private:
    Connection(sqlite3* db, const QString& path, const QString& table);
    sqlite3* m_db = nullptr;
    QString m_path;
    QString m_table;
    QStringList m_liveSavepoints;
    std::map<QString, std::unique_ptr<Statement>> m_prepared;
    QStringList m_attached; // schema names, least recently used first
    QStringList m_attachedPaths;
};

// A prepared statement, finalized on destruction.
class Statement
{
public:
    Statement(sqlite3* db, const QString& sql); // throws DbError
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* handle() const { return m_stmt; }
    void bind(int index, const QVariant& value); // 1-based
    bool step();                                 // true while a row is available; throws DbError
    void reset();
    int columnCount() const;
    QString columnName(int column) const;
    QVariant column(int column) const;                      // raw storage value
    QVariant column(int column, const FieldDef* def) const; // typed by a catalogue column

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// Identifiers always go through here ("TO" and "FROM" are SQL words).
QString quoteIdent(const QString& name);

// The path of `<dir>/<table>.db`: the existing file whose name matches without
// case, else the lower-case name the engine creates.
QString tableFilePath(const QString& dir, const QString& tableName);
bool tableFileExists(const QString& dir, const QString& tableName);

// Creates `<dir>/<table>.db` (owner read/write only) with its columns, the
// primary index "PrimaryIndex" and the secondary indexes in order. Refuses to
// touch an existing file. Throws DbError with the engine's text.
void createTable(const QString& dir, const TableDef& def);

// "COL" [COLLATE NOCASE] [DESC] as the table's indexes and cursors order by it
// (the collation only for text columns, so an index and an ORDER BY agree).
QString indexColumnSql(const TableDef& def, const QString& field, bool descending,
                       bool caseInsensitive);

// The engine's own indexes for fast filters (FilterColumns), CREATE ... IF NOT EXISTS.
QStringList engineIndexSql(const TableDef& def);

// Column names of the table as stored in its file (opened by itself, read only).
QStringList storedColumnNames(const QString& dir, const QString& tableName);

// Value conversion between the program and the stored form: text for Alpha and
// Memo, integers, reals, 0/1 for Logical, ISO-8601 text for Timestamp and Date.
QVariant toStored(const QVariant& value, const FieldDef* def);
QVariant fromStored(const QVariant& stored, const FieldDef* def);

} // namespace os
