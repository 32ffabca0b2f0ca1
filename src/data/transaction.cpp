#include "data/transaction.h"

#include "data/connection.h"
#include "data/db_error.h"

namespace os {

namespace {

// Gives a savepoint's name back to its connection however the block ends.
class NameReturn
{
public:
    NameReturn(Connection& conn, const QString& name) : m_conn(conn), m_name(name) {}
    ~NameReturn() { m_conn.releaseSavepointName(m_name); }
    NameReturn(const NameReturn&) = delete;
    NameReturn& operator=(const NameReturn&) = delete;

private:
    Connection& m_conn;
    const QString& m_name;
};

} // namespace

Transaction::Transaction(const QString& dir, const QString& tableName)
    : m_conn(Connection::forTable(dir, tableName))
{
    if (m_conn->inTransaction()) {
        m_savepoint = m_conn->nextSavepointName();
        try {
            m_conn->execPrepared(QStringLiteral("SAVEPOINT ") + m_savepoint);
        } catch (const DbError&) {
            m_conn->releaseSavepointName(m_savepoint);
            throw;
        }
    } else {
        m_conn->exec(QStringLiteral("BEGIN IMMEDIATE"));
    }
}

Transaction::~Transaction()
{
    if (!m_done) {
        try {
            rollback();
        } catch (const DbError&) {
            // The engine already rolled back (e.g. after a failed commit).
        }
    }
}

void Transaction::commit()
{
    if (m_done)
        return;
    if (m_savepoint.isEmpty()) {
        m_conn->exec(QStringLiteral("COMMIT"));
    } else {
        m_conn->execPrepared(QStringLiteral("RELEASE ") + m_savepoint);
        m_conn->releaseSavepointName(m_savepoint);
    }
    m_done = true;
}

void Transaction::rollback()
{
    if (m_done)
        return;
    m_done = true;
    if (m_savepoint.isEmpty()) {
        if (m_conn->inTransaction())
            m_conn->exec(QStringLiteral("ROLLBACK"));
    } else {
        const NameReturn name(*m_conn, m_savepoint);
        m_conn->execPrepared(QStringLiteral("ROLLBACK TO ") + m_savepoint);
        m_conn->execPrepared(QStringLiteral("RELEASE ") + m_savepoint);
    }
}

Savepoint::Savepoint(const QString& dir, const QString& tableName)
    : Savepoint(Connection::forTable(dir, tableName))
{
}

Savepoint::Savepoint(std::shared_ptr<Connection> conn)
    : m_conn(std::move(conn)), m_name(m_conn->nextSavepointName())
{
    try {
        m_conn->execPrepared(QStringLiteral("SAVEPOINT ") + m_name);
    } catch (const DbError&) {
        m_conn->releaseSavepointName(m_name);
        throw;
    }
}

Savepoint::~Savepoint()
{
    if (!m_done) {
        try {
            rollback();
        } catch (const DbError&) {
            // An outer transaction already ended; nothing is left to undo.
        }
    }
}

void Savepoint::release()
{
    if (m_done)
        return;
    m_conn->execPrepared(QStringLiteral("RELEASE ") + m_name);
    m_conn->releaseSavepointName(m_name);
    m_done = true;
}

void Savepoint::rollback()
{
    if (m_done)
        return;
    m_done = true;
    const NameReturn name(*m_conn, m_name);
    m_conn->execPrepared(QStringLiteral("ROLLBACK TO ") + m_name);
    m_conn->execPrepared(QStringLiteral("RELEASE ") + m_name);
}

} // namespace os
