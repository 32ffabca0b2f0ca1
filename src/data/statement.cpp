#include "data/statement.h"

#include "data/connection.h"
#include "data/db_error.h"
#include "data/stored_values.h"

#include <sqlite3.h>

namespace os {

namespace {

// Failures after which a transaction in progress may be gone.
bool isStorageFailure(int rc)
{
    switch (rc & 0xff) {
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_NOMEM:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
        return true;
    default:
        return false;
    }
}

bool isKeyViolation(int extended, const QString& message)
{
    if (extended == SQLITE_CONSTRAINT_UNIQUE || extended == SQLITE_CONSTRAINT_PRIMARYKEY)
        return true;
    // The engine's guard for empty key values raises the same text (schema.cpp).
    return extended == SQLITE_CONSTRAINT_TRIGGER &&
           message.startsWith(QLatin1String("UNIQUE constraint failed: "));
}

} // namespace

DbError engineError(sqlite3* db, int rc)
{
    const QString msg =
        db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    const int extended = db ? sqlite3_extended_errcode(db) : rc;
    const DbError::Kind kind =
        isStorageFailure(extended) ? DbError::Kind::Storage : DbError::Kind::Statement;
    if (isKeyViolation(extended, msg))
        return DbError(QStringLiteral("Key violation.\r") + msg, kind);
    return DbError(msg, kind);
}

void execSql(sqlite3* db, const QString& sql)
{
    char* err = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &err);
    sqlite3_free(err); // the same text as sqlite3_errmsg
    if (rc != SQLITE_OK)
        throw engineError(db, rc);
}

QString quoteIdent(const QString& name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

Statement::Statement(const Connection& conn, const QString& sql) : Statement(conn.handle(), sql) {}

Statement::Statement(sqlite3* db, const QString& sql) : m_db(db)
{
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &m_stmt, nullptr);
    if (rc != SQLITE_OK) {
        const DbError e = engineError(db, rc);
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        throw e;
    }
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

void Statement::bind(int index, const QVariant& value)
{
    auto text = [&](const QString& s) {
        const QByteArray t = s.toUtf8();
        return sqlite3_bind_text(m_stmt, index, t.constData(), int(t.size()), SQLITE_TRANSIENT);
    };
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
        case QMetaType::QDateTime:
            rc = text(storedTimestamp(value.toDateTime()));
            break;
        case QMetaType::QDate:
            rc = text(storedDate(value.toDate()));
            break;
        default:
            rc = text(value.toString());
        }
    }
    if (rc != SQLITE_OK)
        throw engineError(m_db, rc);
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const DbError e = engineError(m_db, rc);
    sqlite3_reset(m_stmt);
    throw e;
}

void Statement::reset()
{
    sqlite3_reset(m_stmt);
}

int Statement::changes() const
{
    return sqlite3_changes(m_db);
}

int Statement::parameterCount() const
{
    return sqlite3_bind_parameter_count(m_stmt);
}

QString Statement::parameterName(int index) const
{
    const char* raw = sqlite3_bind_parameter_name(m_stmt, index);
    return raw ? QString::fromUtf8(raw) : QString();
}

int Statement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

QString Statement::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
}

QString Statement::columnTable(int column) const
{
    const char* table = sqlite3_column_table_name(m_stmt, column);
    return table ? QString::fromUtf8(table) : QString();
}

QString Statement::columnOrigin(int column) const
{
    const char* origin = sqlite3_column_origin_name(m_stmt, column);
    return origin ? QString::fromUtf8(origin) : QString();
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

QByteArrayView Statement::text(int column) const
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return p ? QByteArrayView(p, sqlite3_column_bytes(m_stmt, column)) : QByteArrayView();
}

double Statement::real(int column) const
{
    return sqlite3_column_double(m_stmt, column);
}

qint64 Statement::integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

Statement::Storage Statement::storage(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return Storage::Integer;
    case SQLITE_FLOAT:
        return Storage::Real;
    case SQLITE_TEXT:
        return Storage::Text;
    case SQLITE_BLOB:
        return Storage::Blob;
    default:
        return Storage::Null;
    }
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

} // namespace os
