#include "data/query.h"

#include "data/catalogue.h"
#include "data/connection.h"
#include "data/db_error.h"
#include "data/statement.h"

namespace os {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

struct TableRef
{
    int start;
    int length;
    QString table; // without ".db"
};

// Finds the table references written as files (orders.db, "form_letters.db")
// outside string literals and comments.
QList<TableRef> findTableRefs(const QString& sql)
{
    QList<TableRef> refs;
    const int n = int(sql.size());
    int i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('\'')) {
            ++i;
            while (i < n) {
                if (sql.at(i) == QLatin1Char('\'')) {
                    if (i + 1 < n && sql.at(i + 1) == QLatin1Char('\'')) {
                        i += 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            ++i;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql.at(i + 1) == QLatin1Char('-')) {
            while (i < n && sql.at(i) != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql.at(i + 1) == QLatin1Char('*')) {
            const int end = sql.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c == QLatin1Char('"')) {
            const int end = sql.indexOf(QLatin1Char('"'), i + 1);
            if (end < 0)
                return refs;
            const QString inner = sql.mid(i + 1, end - i - 1);
            if (inner.endsWith(QLatin1String(".db"), Qt::CaseInsensitive) && inner.size() > 3)
                refs << TableRef{i, end - i + 1, inner.left(inner.size() - 3)};
            i = end + 1;
        } else if (isWordChar(c)) {
            const int start = i;
            while (i < n && isWordChar(sql.at(i)))
                ++i;
            if (i + 3 <= n &&
                sql.mid(i, 3).compare(QLatin1String(".db"), Qt::CaseInsensitive) == 0 &&
                (i + 3 == n || !isWordChar(sql.at(i + 3))) &&
                (start == 0 || sql.at(start - 1) != QLatin1Char(':'))) {
                refs << TableRef{start, i + 3 - start, sql.mid(start, i - start)};
                i += 3;
            }
        } else {
            ++i;
        }
    }
    return refs;
}

} // namespace

Query::Query(QObject* parent) : QObject(parent) {}

Query::~Query() = default;

void Query::setDirectory(const QString& dir)
{
    if (dir != m_dir)
        close();
    m_dir = dir;
}

void Query::setSql(const QString& sql)
{
    close();
    m_sql = sql;
}

void Query::setParam(const QString& name, const QVariant& value)
{
    QString key = name.toUpper();
    if (key.startsWith(QLatin1Char(':')))
        key.remove(0, 1);
    m_params.insert(key, value);
}

QVariant Query::param(const QString& name) const
{
    return m_params.value(name.toUpper());
}

void Query::clearParams()
{
    m_params.clear();
}

QString Query::translate(std::shared_ptr<Connection>& conn) const
{
    const QList<TableRef> refs = findTableRefs(m_sql);
    if (refs.isEmpty())
        throw DbError(QStringLiteral("No table named in query: %1").arg(m_sql));
    // The connection of the first table named; the others are attached to it.
    conn = Connection::forTable(m_dir, refs.first().table);
    QString out;
    int pos = 0;
    for (const TableRef& r : refs) {
        out += m_sql.mid(pos, r.start - pos);
        const QString schema = conn->attach(m_dir, r.table);
        const TableDef* def = findTableDef(r.table);
        const QString name = def ? def->name : r.table.toLower();
        out += schema == QLatin1String("main")
                   ? quoteIdent(name)
                   : quoteIdent(schema) + QLatin1Char('.') + quoteIdent(name);
        pos = r.start + r.length;
    }
    out += m_sql.mid(pos);
    return out;
}

void Query::bindParams(Statement& st) const
{
    const int count = st.parameterCount();
    for (int i = 1; i <= count; ++i) {
        QString name = st.parameterName(i);
        if (name.size() > 1)
            name.remove(0, 1); // ':' '@' '$'
        const QString key = name.toUpper();
        if (!m_params.contains(key))
            throw DbError(QStringLiteral("No value for parameter '%1'.").arg(name));
        st.bind(i, m_params.value(key));
    }
}

void Query::open()
{
    close();
    m_translated = translate(m_conn);
    m_stmt = std::make_unique<Statement>(*m_conn, m_translated);
    bindParams(*m_stmt);
    const int cols = m_stmt->columnCount();
    for (int i = 0; i < cols; ++i) {
        m_columns << m_stmt->columnName(i);
        const QString table = m_stmt->columnTable(i);
        const QString origin = m_stmt->columnOrigin(i);
        const TableDef* def = table.isEmpty() ? nullptr : findTableDef(table);
        m_columnDefs << (def && !origin.isEmpty() ? def->field(origin) : nullptr);
    }
    m_active = true;
    try {
        fetchOne();
    } catch (const DbError&) {
        close();
        throw;
    }
    m_row = m_rows.isEmpty() ? -1 : 0;
    m_eof = m_rows.isEmpty();
    emit currentChanged();
}

bool Query::fetchOne()
{
    if (m_finished || !m_stmt)
        return false;
    if (!m_stmt->step()) {
        m_finished = true;
        m_stmt->reset(); // lets go of the read snapshot at once
        return false;
    }
    QVariantList row;
    row.reserve(m_columns.size());
    for (int i = 0; i < m_columns.size(); ++i)
        row << m_stmt->column(i, m_columnDefs.at(i));
    m_rows << row;
    return true;
}

void Query::exec()
{
    close();
    std::shared_ptr<Connection> conn;
    const QString sql = translate(conn);
    Statement st(*conn, sql);
    bindParams(st);
    while (st.step()) {
    }
    m_rowsAffected = st.changes();
}

void Query::close()
{
    const bool was = m_active;
    m_stmt.reset();
    m_conn.reset();
    m_columns.clear();
    m_columnDefs.clear();
    m_rows.clear();
    m_row = -1;
    m_eof = true;
    m_finished = false;
    m_active = false;
    if (was)
        emit currentChanged();
}

void Query::first()
{
    if (!m_active)
        throw DbError(QStringLiteral("Cannot perform this operation on a closed query."));
    m_row = m_rows.isEmpty() ? -1 : 0;
    m_eof = m_rows.isEmpty();
    emit currentChanged();
}

void Query::next()
{
    if (!m_active || m_row < 0)
        return;
    if (m_row + 1 < m_rows.size() || fetchOne()) {
        ++m_row;
        emit currentChanged();
    } else {
        m_eof = true;
    }
}

void Query::prior()
{
    if (m_row > 0) {
        --m_row;
        m_eof = false;
        emit currentChanged();
    }
}

bool Query::isEmpty() const
{
    return m_rows.isEmpty();
}

int Query::recordCount()
{
    if (!m_active)
        return 0;
    Statement st(*m_conn, QStringLiteral("SELECT COUNT(*) FROM (%1)").arg(m_translated));
    bindParams(st);
    st.step();
    return int(st.column(0).toLongLong());
}

QVariant Query::value(int column) const
{
    if (m_row < 0 || m_row >= m_rows.size() || column < 0 || column >= m_columns.size())
        return {};
    return m_rows.at(m_row).at(column);
}

QVariant Query::value(const QString& column) const
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns.at(i).compare(column, Qt::CaseInsensitive) == 0)
            return value(i);
    }
    throw DbError(QStringLiteral("Field '%1' not found.").arg(column));
}

} // namespace os
