#include "data/connection.h"

#include "data/catalogue.h"
#include "data/db_error.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QUrl>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os {

namespace {

// Canonical file path -> the live connection on it.
QHash<QString, std::weak_ptr<Connection>>& registry()
{
    static QHash<QString, std::weak_ptr<Connection>> registry;
    return registry;
}

QString bareName(const QString& tableName)
{
    QString n = tableName.trimmed();
    if (n.size() >= 2 && n.startsWith(QLatin1Char('"')) && n.endsWith(QLatin1Char('"')))
        n = n.mid(1, n.size() - 2);
    if (n.endsWith(QLatin1String(".db"), Qt::CaseInsensitive))
        n.chop(3);
    return n;
}

QString engineText(sqlite3* db, int rc)
{
    QString msg =
        db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    const int ext = db ? sqlite3_extended_errcode(db) : rc;
    if (ext == SQLITE_CONSTRAINT_UNIQUE || ext == SQLITE_CONSTRAINT_PRIMARYKEY)
        return QStringLiteral("Key violation.\r") + msg;
    return msg;
}

void execOn(sqlite3* db, const QString& sql)
{
    char* err = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        QString text = engineText(db, rc);
        sqlite3_free(err);
        throw DbError(text);
    }
}

// Settings every connection to a table file gets: write-ahead log (a killed
// process leaves the committed rows), a short wait on a lock held elsewhere.
void configure(sqlite3* db)
{
    sqlite3_busy_timeout(db, 2000);
    sqlite3_extended_result_codes(db, 1);
    execOn(db, QStringLiteral("PRAGMA journal_mode=WAL"));
    execOn(db, QStringLiteral("PRAGMA synchronous=NORMAL"));
}

QString missingText(const QString& path)
{
    return QStringLiteral("Table does not exist: %1").arg(path);
}

QString openFailText(const QString& path, const QString& engine)
{
    return QStringLiteral("Cannot open table %1.\r%2").arg(path, engine);
}

QString timestampText(const QDateTime& dt)
{
    return dt.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}
QString dateText(const QDate& d)
{
    return d.toString(QStringLiteral("yyyy-MM-dd"));
}

QString fieldName(const FieldDef* def)
{
    return def ? def->name : QString();
}

} // namespace

QString quoteIdent(const QString& name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString tableFilePath(const QString& dir, const QString& tableName)
{
    const QString file = bareName(tableName) + QStringLiteral(".db");
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
        throw DbError(missingText(path));
    const QString key = info.canonicalFilePath();
    auto& reg = registry();
    if (auto live = reg.value(key).lock())
        return live;

    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(QFile::encodeName(key).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        const QString text = openFailText(path, engineText(db, rc));
        sqlite3_close_v2(db);
        throw DbError(text);
    }
    QString stored;
    try {
        configure(db);
        Statement st(
            db,
            QStringLiteral(
                "SELECT name FROM sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE"));
        st.bind(1, bareName(tableName));
        if (st.step())
            stored = st.column(0).toString();
    } catch (const DbError& e) {
        sqlite3_close_v2(db);
        throw DbError(openFailText(path, e.text()));
    }
    if (stored.isEmpty()) {
        sqlite3_close_v2(db);
        throw DbError(missingText(path));
    }
    std::shared_ptr<Connection> conn(new Connection(db, path, stored));
    reg.insert(key, conn);
    return conn;
}

bool Connection::inTransaction() const
{
    return sqlite3_get_autocommit(m_db) == 0;
}

void Connection::exec(const QString& sql)
{
    execOn(m_db, sql);
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

QString Connection::errorText(int rc) const
{
    return engineText(m_db, rc);
}

QString Connection::attach(const QString& dir, const QString& tableName)
{
    const QString path = tableFilePath(dir, tableName);
    const QFileInfo info(path);
    if (!info.exists())
        throw DbError(missingText(path));
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
    QString schema = QStringLiteral("t_") + bareName(tableName).toLower();
    for (int n = 2; m_attached.contains(schema); ++n)
        schema = QStringLiteral("t_%1_%2").arg(bareName(tableName).toLower()).arg(n);
    {
        Statement st(m_db, QStringLiteral("ATTACH DATABASE ?1 AS %1").arg(quoteIdent(schema)));
        st.bind(1, canonical);
        try {
            st.step();
        } catch (const DbError& e) {
            throw DbError(openFailText(path, e.text()));
        }
    }
    bool present = false;
    try {
        Statement st(
            m_db,
            QStringLiteral(
                "SELECT 1 FROM %1.sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE")
                .arg(quoteIdent(schema)));
        st.bind(1, bareName(tableName));
        present = st.step();
    } catch (const DbError& e) {
        execOn(m_db, QStringLiteral("DETACH DATABASE %1").arg(quoteIdent(schema)));
        throw DbError(openFailText(path, e.text()));
    }
    if (!present) {
        execOn(m_db, QStringLiteral("DETACH DATABASE %1").arg(quoteIdent(schema)));
        throw DbError(missingText(path));
    }
    m_attached << schema;
    m_attachedPaths << canonical;
    return schema;
}

// ---- Statement ----

Statement::Statement(sqlite3* db, const QString& sql) : m_db(db)
{
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &m_stmt, nullptr);
    if (rc != SQLITE_OK) {
        const QString text = engineText(db, rc);
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        throw DbError(text);
    }
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

void Statement::bind(int index, const QVariant& value)
{
    int rc = SQLITE_OK;
    if (value.isNull()) {
        rc = sqlite3_bind_null(m_stmt, index);
    } else {
        switch (value.typeId()) {
        case QMetaType::Bool:
            rc = sqlite3_bind_int(m_stmt, index, value.toBool() ? 1 : 0);
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::ULongLong:
            rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
            break;
        case QMetaType::QDateTime: {
            const QByteArray t = timestampText(value.toDateTime()).toUtf8();
            rc = sqlite3_bind_text(m_stmt, index, t.constData(), int(t.size()), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QDate: {
            const QByteArray t = dateText(value.toDate()).toUtf8();
            rc = sqlite3_bind_text(m_stmt, index, t.constData(), int(t.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray t = value.toString().toUtf8();
            rc = sqlite3_bind_text(m_stmt, index, t.constData(), int(t.size()), SQLITE_TRANSIENT);
        }
        }
    }
    if (rc != SQLITE_OK)
        throw DbError(engineText(m_db, rc));
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const QString text = engineText(m_db, rc);
    sqlite3_reset(m_stmt);
    throw DbError(text);
}

void Statement::reset()
{
    sqlite3_reset(m_stmt);
}

int Statement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

QString Statement::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
}

QVariant Statement::column(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(m_stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, column));
    case SQLITE_TEXT:
        return QVariant(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column)),
                              sqlite3_column_bytes(m_stmt, column)));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(m_stmt, column)),
                                   sqlite3_column_bytes(m_stmt, column)));
    default:
        return QVariant();
    }
}

QVariant Statement::column(int column, const FieldDef* def) const
{
    return fromStored(this->column(column), def);
}

// ---- values ----

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
        return timestampText(dt);
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
        return dateText(d);
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

// ---- creation ----

namespace {

QString columnSql(const FieldDef& f)
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
    return quoteIdent(f.name) + QLatin1Char(' ') + type;
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

QStringList engineIndexSql(const TableDef& def)
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
            throw DbError(engineText(db, rc));
        // Nobody else sees the file yet: no journal, one sync at the end.
        execOn(db, QStringLiteral("PRAGMA journal_mode=OFF"));
        execOn(db, QStringLiteral("PRAGMA synchronous=OFF"));
        execOn(db, QStringLiteral("BEGIN"));
        QStringList cols;
        for (const FieldDef& f : def.fields)
            cols << columnSql(f);
        execOn(db, QStringLiteral("CREATE TABLE %1 (%2)")
                       .arg(quoteIdent(def.name), cols.join(QStringLiteral(", "))));
        if (!def.primaryKey.isEmpty()) {
            QStringList k;
            for (const QString& f : def.primaryKey)
                k << quoteIdent(f);
            execOn(db, QStringLiteral("CREATE UNIQUE INDEX \"PrimaryIndex\" ON %1 (%2)")
                           .arg(quoteIdent(def.name), k.join(QStringLiteral(", "))));
        }
        for (const IndexDef& ix : def.indexes) {
            QStringList k;
            for (const QString& f : ix.fields)
                k << indexColumnSql(def, f, ix.descending, ix.caseInsensitive);
            execOn(db, QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                           .arg(quoteIdent(ix.name), quoteIdent(def.name),
                                k.join(QStringLiteral(", "))));
        }
        for (const QString& sql : engineIndexSql(def))
            execOn(db, sql);
        execOn(db, QStringLiteral("COMMIT"));
        // Write-ahead log from the first real use on (kept in the file header).
        execOn(db, QStringLiteral("PRAGMA journal_mode=WAL"));
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

QStringList storedColumnNames(const QString& dir, const QString& tableName)
{
    const QString path = tableFilePath(dir, tableName);
    if (!QFileInfo::exists(path))
        throw DbError(missingText(path));
    sqlite3* db = nullptr;
    // Immutable: the check leaves no lock, log or shared-memory file behind.
    const QByteArray uri = QByteArrayLiteral("file:") +
                           QUrl::fromLocalFile(path).toEncoded(QUrl::RemoveScheme) +
                           QByteArrayLiteral("?mode=ro&immutable=1");
    const int rc =
        sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    QStringList names;
    try {
        if (rc != SQLITE_OK)
            throw DbError(engineText(db, rc));
        sqlite3_busy_timeout(db, 2000);
        Statement st(db, QStringLiteral("SELECT name FROM pragma_table_info(?1)"));
        st.bind(1, bareName(tableName));
        while (st.step())
            names << st.column(0).toString();
    } catch (const DbError& e) {
        sqlite3_close_v2(db);
        throw DbError(openFailText(path, e.text()));
    }
    sqlite3_close_v2(db);
    if (names.isEmpty())
        throw DbError(missingText(path));
    return names;
}

} // namespace os
