#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <memory>

struct sqlite3;

namespace os {

class Statement;

// One SQLite connection per table file, shared by every Table, Query,
// Transaction and Savepoint on that file (a registry keyed by the canonical
// file path; the connection closes when its last user goes), so a transaction
// covers query and table writes alike.
class Connection
{
public:
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The connection of `<dir>/<table>.db` (table names without case). The file
    // must exist and hold the table; a missing file is reported, never created.
    // A writable file of an older make gets the engine's own objects here.
    static std::shared_ptr<Connection> forTable(const QString& dir, const QString& tableName);

    sqlite3* handle() const { return m_db; } // for the data layer's own statements
    QString filePath() const { return m_path; }
    QString tableName() const { return m_table; } // as stored in the file
    // True while a transaction is open. After a storage failure the engine
    // may have rolled it back on its own: this tells.
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

private:
    Connection(sqlite3* db, const QString& path, const QString& table);
    void ensureEngineObjects();

    sqlite3* m_db = nullptr;
    QString m_path;
    QString m_table;
    QStringList m_liveSavepoints;
    std::map<QString, std::unique_ptr<Statement>> m_prepared;
    QStringList m_attached; // schema names, least recently used first
    QStringList m_attachedPaths;
};

// The path of `<dir>/<table>.db`: the existing file whose name matches without
// case, else the lower-case name the engine creates.
QString tableFilePath(const QString& dir, const QString& tableName);
bool tableFileExists(const QString& dir, const QString& tableName);

// The table's name as written in a query or a file name: quotes and ".db" off.
QString bareTableName(const QString& tableName);

// The texts of a table file that is missing or cannot be opened.
QString missingTableText(const QString& path);
QString openFailText(const QString& path, const QString& engineText);

} // namespace os
