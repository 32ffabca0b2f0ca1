#include "data/schema.h"

#include "data/catalogue.h"
#include "data/connection.h"
#include "data/db_error.h"
#include "data/statement.h"
#include "data/table_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

namespace {

QString typeSql(const FieldDef& f)
{
    QString type;
    switch (f.type) {
    case FieldType::Alpha:
        type = QStringLiteral("VARCHAR(%1)").arg(f.size);
        break;
    case FieldType::Memo:
        type = QStringLiteral("TEXT");
        break;
    case FieldType::Long:
        type = QStringLiteral("INTEGER");
        break;
    case FieldType::Short:
        type = QStringLiteral("SMALLINT");
        break;
    // The engine assigns it; AUTOINCREMENT never hands out a number again.
    case FieldType::Autoinc:
        type = QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
        break;
    case FieldType::Money:
    case FieldType::Number:
        type = QStringLiteral("REAL");
        break;
    case FieldType::Logical:
        type = QStringLiteral("BOOLEAN");
        break; // numeric affinity: 0/1
    case FieldType::Timestamp:
        type = QStringLiteral("TEXT");
        break; // ISO-8601 text sorts
    case FieldType::Date:
        type = QStringLiteral("TEXT");
        break;
    }
    return type;
}

QString columnSql(const FieldDef& f)
{
    return quoteIdent(f.name) + QLatin1Char(' ') + typeSql(f);
}

// A single quoted SQL text.
QString sqlText(const QString& text)
{
    QString q = text;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

// The unique primary index lets any number of rows with an empty key pass
// (SQLite holds NULLs distinct). An empty key value is a value like any
// other: a second row with the same empty key is refused with the text a
// repeated key gets. Triggers, not a unique index over the empty values, so
// that a table that already holds such rows still opens and its rows can be
// edited; only a new or re-keyed row is checked. A key with an Autoinc
// column is unique by itself.
QStringList emptyKeyGuardSql(const TableDef& def)
{
    if (def.primaryKey.isEmpty())
        return {};
    QStringList columns, anyEmpty, changed, same, names;
    for (const QString& k : def.primaryKey) {
        const FieldDef* f = def.field(k);
        if (!f || f->type == FieldType::Autoinc)
            return {};
        const QString col = quoteIdent(f->name);
        columns << col;
        anyEmpty << QStringLiteral("NEW.%1 IS NULL").arg(col);
        changed << QStringLiteral("NEW.%1 IS NOT OLD.%1").arg(col);
        same << QStringLiteral("%1 IS NEW.%1").arg(col);
        names << def.name + QLatin1Char('.') + f->name;
    }
    const QString table = quoteIdent(def.name);
    const QString refuse =
        QStringLiteral("SELECT RAISE(ABORT, %1) WHERE EXISTS (SELECT 1 FROM %2 WHERE %3")
            .arg(sqlText(QStringLiteral("UNIQUE constraint failed: ") +
                         names.join(QStringLiteral(", "))),
                 table, same.join(QStringLiteral(" AND ")));
    return {
        QStringLiteral("CREATE TRIGGER IF NOT EXISTS \"os_PrimaryIndex_insert\" BEFORE INSERT ON "
                       "%1 WHEN %2 BEGIN %3); END")
            .arg(table, anyEmpty.join(QStringLiteral(" OR ")), refuse),
        QStringLiteral("CREATE TRIGGER IF NOT EXISTS \"os_PrimaryIndex_update\" BEFORE UPDATE OF "
                       "%1 ON %2 WHEN (%3) AND (%4) BEGIN %5 AND rowid <> NEW.rowid); END")
            .arg(columns.join(QStringLiteral(", ")), table, anyEmpty.join(QStringLiteral(" OR ")),
                 changed.join(QStringLiteral(" OR ")), refuse),
    };
}

} // namespace

QString indexColumnSql(const TableDef& def, const QString& field, bool descending,
                       bool caseInsensitive)
{
    const FieldDef* f = def.field(field);
    QString s = quoteIdent(f ? f->name : field);
    if (caseInsensitive && f && isTextType(f->type))
        s += QStringLiteral(" COLLATE NOCASE");
    if (descending)
        s += QStringLiteral(" DESC");
    return s;
}

QStringList engineObjectSql(const TableDef& def)
{
    QStringList out;
    const QString table = quoteIdent(def.name);
    for (const QString& fc : filterColumns(def)) {
        for (const IndexDef& ix : def.indexes) {
            QStringList cols{quoteIdent(fc) + QStringLiteral(" COLLATE NOCASE")};
            for (const QString& f : ix.fields)
                cols << indexColumnSql(def, f, ix.descending, ix.caseInsensitive);
            out << QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                       .arg(quoteIdent(QStringLiteral("os_%1_%2").arg(fc, ix.name)), table,
                            cols.join(QStringLiteral(", ")));
        }
    }
    // The sales figures read a range of order dates with the state, total,
    // customer and method from this index alone, never the table.
    // (An older orders layout, as the repair utility meets it, lacks some of
    // these columns: it gets the index once it is upgraded.)
    const auto hasAll = [&def](std::initializer_list<const char*> names) {
        for (const char* n : names)
            if (!def.field(QLatin1String(n)))
                return false;
        return true;
    };
    if (def.name == QLatin1String("orders") &&
        hasAll({"IDATE", "ORDERSTATE", "TOTAL", "CUSTID", "METHOD"}))
        out << QStringLiteral("CREATE INDEX IF NOT EXISTS os_SALES ON %1 (IDATE, ORDERSTATE, "
                              "TOTAL, CUSTID, METHOD)")
                   .arg(table);
    out << emptyKeyGuardSql(def);
    return out;
}

void createTable(const QString& dir, const TableDef& def)
{
    if (tableFileExists(dir, def.name))
        throw DbError(QStringLiteral("Table already exists: %1").arg(tableFilePath(dir, def.name)));
    const QString path = QDir(dir).filePath(def.fileName());
    // Built under a temporary name and linked into place when complete, so a
    // crash never leaves a half-made table that would pass for an existing one.
    const QString work = path + QStringLiteral("-new");
    const QByteArray native = QFile::encodeName(path);
    const QByteArray workNative = QFile::encodeName(work);
    auto fail = [&](const QString& why) {
        return DbError(QStringLiteral("Cannot create table %1.\r%2").arg(path, why));
    };
    QFile::remove(work); // a leftover of an interrupted creation
    // Owner only: the tables hold card numbers. The log and shared-memory
    // companions take the same mode from the table file.
    const int fd = ::open(workNative.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        throw fail(QString::fromLocal8Bit(std::strerror(errno)));
    ::fchmod(fd, 0600);

    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(workNative.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    try {
        if (rc != SQLITE_OK)
            throw engineError(db, rc);
        // Nobody else sees the file yet: no journal, one sync at the end.
        execSql(db, QStringLiteral("PRAGMA journal_mode=OFF"));
        execSql(db, QStringLiteral("PRAGMA synchronous=OFF"));
        execSql(db, QStringLiteral("BEGIN"));
        QStringList cols;
        for (const FieldDef& f : def.fields)
            cols << columnSql(f);
        execSql(db, QStringLiteral("CREATE TABLE %1 (%2)")
                        .arg(quoteIdent(def.name), cols.join(QStringLiteral(", "))));
        if (!def.primaryKey.isEmpty()) {
            QStringList k;
            for (const QString& f : def.primaryKey)
                k << quoteIdent(f);
            execSql(db, QStringLiteral("CREATE UNIQUE INDEX \"PrimaryIndex\" ON %1 (%2)")
                            .arg(quoteIdent(def.name), k.join(QStringLiteral(", "))));
        }
        for (const IndexDef& ix : def.indexes) {
            QStringList k;
            for (const QString& f : ix.fields)
                k << indexColumnSql(def, f, ix.descending, ix.caseInsensitive);
            execSql(db, QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                            .arg(quoteIdent(ix.name), quoteIdent(def.name),
                                 k.join(QStringLiteral(", "))));
        }
        for (const QString& sql : engineObjectSql(def))
            execSql(db, sql);
        execSql(db, QStringLiteral("COMMIT"));
        // Write-ahead log from the first real use on (kept in the file header).
        execSql(db, QStringLiteral("PRAGMA journal_mode=WAL"));
        rc = sqlite3_close(db);
        db = nullptr;
        if (rc != SQLITE_OK)
            throw DbError(QString::fromUtf8(sqlite3_errstr(rc)));
        if (::fsync(fd) != 0)
            throw DbError(QString::fromLocal8Bit(std::strerror(errno)));
        // link() refuses to replace a file that appeared meanwhile.
        if (::link(workNative.constData(), native.constData()) != 0)
            throw DbError(QString::fromLocal8Bit(std::strerror(errno)));
    } catch (const DbError& e) {
        sqlite3_close_v2(db);
        ::close(fd);
        QFile::remove(work);
        QFile::remove(work + QStringLiteral("-wal"));
        QFile::remove(work + QStringLiteral("-shm"));
        throw fail(e.text());
    }
    ::close(fd);
    QFile::remove(work);
}

QString declaredType(const FieldDef& f)
{
    // The constraints of an Autoinc column are not part of its type.
    return f.type == FieldType::Autoinc ? QStringLiteral("INTEGER") : typeSql(f);
}

QStringList storedColumnNames(const QString& dir, const QString& tableName)
{
    const QString path = tableFilePath(dir, tableName);
    if (!QFileInfo::exists(path))
        throw DbError(missingTableText(path));
    // An ordinary read-write connection, like every other: it folds in a log
    // a killed or full-disk writer left behind. The main file alone may be
    // half-checkpointed and read as damaged although every commit is safe
    // in the log. Closing it (the last connection) folds the log in.
    narrowToOwner(path);
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    QStringList names;
    try {
        if (rc != SQLITE_OK)
            throw engineError(db, rc);
        sqlite3_busy_timeout(db, 2000);
        sqlite3_extended_result_codes(db, 1);
        Statement st(db, QStringLiteral("SELECT name FROM pragma_table_info(?1)"));
        st.bind(1, bareTableName(tableName));
        while (st.step())
            names << st.column(0).toString();
    } catch (const DbError& e) {
        const DbError failure = openFailError(db, rc, path, e.text());
        sqlite3_close_v2(db);
        throw failure;
    }
    sqlite3_close_v2(db);
    if (names.isEmpty())
        throw DbError(missingTableText(path));
    return names;
}

} // namespace os
