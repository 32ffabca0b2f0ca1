#include "data/connection.h"

#include "data/catalogue.h"
#include "data/db_error.h"
#include "data/schema.h"
#include "data/statement.h"
#include "data/table_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <sqlite3.h>

namespace os {

namespace {

// Canonical file path -> the live connection on it.
QHash<QString, std::weak_ptr<Connection>>& registry()
{
    static QHash<QString, std::weak_ptr<Connection>> registry;
    return registry;
}

// Settings every connection to a table file gets: write-ahead log (a killed
// process leaves the committed rows), a short wait on a lock held elsewhere.
void configure(sqlite3* db)
{
    sqlite3_busy_timeout(db, 2000);
    sqlite3_extended_result_codes(db, 1);
    registerFoldCase(db);
    execSql(db, QStringLiteral("PRAGMA journal_mode=WAL"));
    execSql(db, QStringLiteral("PRAGMA synchronous=NORMAL"));
}

} // namespace

QString bareTableName(const QString& tableName)
{
    QString n = tableName.trimmed();
    if (n.size() >= 2 && n.startsWith(QLatin1Char('"')) && n.endsWith(QLatin1Char('"')))
        n = n.mid(1, n.size() - 2);
    if (n.endsWith(QLatin1String(".db"), Qt::CaseInsensitive))
        n.chop(3);
    return n;
}

QString missingTableText(const QString& path)
{
    return QStringLiteral("Table does not exist: %1").arg(path);
}

QString openFailText(const QString& path, const QString& engineText)
{
    return QStringLiteral("Cannot open table %1.\r%2").arg(path, engineText);
}

QString tableFilePath(const QString& dir, const QString& tableName)
{
    const QString file = bareTableName(tableName) + QStringLiteral(".db");
    const QDir d(dir);
    const QString exact = d.filePath(file.toLower());
    if (QFileInfo::exists(exact))
        return exact;
    // Names are case-insensitive: a file written as ORDERS.DB is the same table.
    const QStringList entries = d.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& e : entries) {
        if (e.compare(file, Qt::CaseInsensitive) == 0)
            return d.filePath(e);
    }
    return exact;
}

bool tableFileExists(const QString& dir, const QString& tableName)
{
    return QFileInfo::exists(tableFilePath(dir, tableName));
}

Connection::Connection(sqlite3* db, const QString& path, const QString& table)
    : m_db(db), m_path(path), m_table(table)
{
}

Connection::~Connection()
{
    m_prepared.clear(); // finalized before the connection closes
    sqlite3_close_v2(m_db);
}

std::shared_ptr<Connection> Connection::forTable(const QString& dir, const QString& tableName)
{
    const QString path = tableFilePath(dir, tableName);
    const QFileInfo info(path);
    if (!info.exists())
        throw DbError(missingTableText(path));
    const QString key = info.canonicalFilePath();
    auto& reg = registry();
    if (auto live = reg.value(key).lock())
        return live;

    // Card numbers and addresses: a file others can read is narrowed first.
    narrowToOwner(key);
    // Read-write, never immutable and never a read-only probe: the first
    // connection folds in a log a killed or full-disk writer left behind, so
    // the file reads as its last commit did. (SQLite opens a write-protected
    // file read-only by itself.)
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(QFile::encodeName(key).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        const DbError e = engineError(db, rc);
        const DbError failure = openFailError(db, rc, path, e.text());
        sqlite3_close_v2(db);
        throw failure;
    }
    QString stored;
    try {
        configure(db);
        Statement st(
            db,
            QStringLiteral(
                "SELECT name FROM sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE"));
        st.bind(1, bareTableName(tableName));
        if (st.step())
            stored = st.column(0).toString();
    } catch (const DbError& e) {
        const DbError failure = openFailError(db, SQLITE_ERROR, path, e.text());
        sqlite3_close_v2(db);
        throw failure;
    }
    if (stored.isEmpty()) {
        sqlite3_close_v2(db);
        throw DbError(missingTableText(path));
    }
    std::shared_ptr<Connection> conn(new Connection(db, path, stored));
    conn->ensureEngineObjects();
    reg.insert(key, conn);
    return conn;
}

void Connection::ensureEngineObjects()
{
    // Tables made before the engine kept an object get it on first open;
    // a read-only file simply goes without.
    const TableDef* def = findTableDef(m_table);
    if (!def || sqlite3_db_readonly(m_db, "main") == 1)
        return;
    for (const QString& sql : engineObjectSql(*def)) {
        try {
            exec(sql);
        } catch (const DbError&) {
        }
    }
}

bool Connection::inTransaction() const
{
    return sqlite3_get_autocommit(m_db) == 0;
}

void Connection::exec(const QString& sql)
{
    execSql(m_db, sql);
}

void Connection::execPrepared(const QString& sql)
{
    std::unique_ptr<Statement>& st = m_prepared[sql];
    if (!st)
        st = std::make_unique<Statement>(m_db, sql);
    st->step(); // resets itself when it throws
    st->reset();
}

QString Connection::nextSavepointName()
{
    for (int n = 1;; ++n) {
        QString name = QStringLiteral("os_sp%1").arg(n);
        if (!m_liveSavepoints.contains(name)) {
            m_liveSavepoints.append(name);
            return name;
        }
    }
}

void Connection::releaseSavepointName(const QString& name)
{
    m_liveSavepoints.removeOne(name);
}

QString Connection::attach(const QString& dir, const QString& tableName)
{
    const QString path = tableFilePath(dir, tableName);
    const QFileInfo info(path);
    if (!info.exists())
        throw DbError(missingTableText(path));
    const QString canonical = info.canonicalFilePath();
    if (canonical == QFileInfo(m_path).canonicalFilePath())
        return QStringLiteral("main");
    const int at = m_attachedPaths.indexOf(canonical);
    if (at >= 0) {
        // most recently used goes last
        m_attached.move(at, m_attached.size() - 1);
        m_attachedPaths.move(at, m_attachedPaths.size() - 1);
        return m_attached.last();
    }
    const int limit = sqlite3_limit(m_db, SQLITE_LIMIT_ATTACHED, -1);
    for (int i = 0; i < m_attached.size() && m_attached.size() >= limit;) {
        try {
            exec(QStringLiteral("DETACH DATABASE %1").arg(quoteIdent(m_attached.at(i))));
            m_attached.removeAt(i);
            m_attachedPaths.removeAt(i);
        } catch (const DbError&) {
            ++i; // still in use by an open query
        }
    }
    const QString bare = bareTableName(tableName);
    QString schema = QStringLiteral("t_") + bare.toLower();
    for (int n = 2; m_attached.contains(schema); ++n)
        schema = QStringLiteral("t_%1_%2").arg(bare.toLower()).arg(n);
    {
        Statement st(m_db, QStringLiteral("ATTACH DATABASE ?1 AS %1").arg(quoteIdent(schema)));
        st.bind(1, canonical);
        try {
            st.step();
        } catch (const DbError& e) {
            throw openFailError(m_db, SQLITE_ERROR, path, e.text());
        }
    }
    bool present = false;
    try {
        Statement st(
            m_db,
            QStringLiteral(
                "SELECT 1 FROM %1.sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE")
                .arg(quoteIdent(schema)));
        st.bind(1, bare);
        present = st.step();
    } catch (const DbError& e) {
        const DbError failure = openFailError(m_db, SQLITE_ERROR, path, e.text());
        execSql(m_db, QStringLiteral("DETACH DATABASE %1").arg(quoteIdent(schema)));
        throw failure;
    }
    if (!present) {
        execSql(m_db, QStringLiteral("DETACH DATABASE %1").arg(quoteIdent(schema)));
        throw DbError(missingTableText(path));
    }
    // The main file's setting holds for an attached one too: a write through
    // this connection commits without a sync of the log, as on its own. The
    // engine refuses the change inside a transaction: the file then keeps
    // the engine's default, which only syncs more.
    try {
        execSql(m_db, QStringLiteral("PRAGMA %1.synchronous=NORMAL").arg(quoteIdent(schema)));
    } catch (const DbError&) {
    }
    m_attached << schema;
    m_attachedPaths << canonical;
    return schema;
}

} // namespace os
