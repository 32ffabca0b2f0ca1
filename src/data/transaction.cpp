#include "data/transaction.h"

#include "data/connection.h"
#include "data/db_error.h"

namespace os {

Transaction::Transaction(const QString& dir, const QString& tableName)
    : m_conn(Connection::forTable(dir, tableName))
{
    if (m_conn->inTransaction()) {
        m_savepoint = m_conn->nextSavepointName();
        m_conn->exec(QStringLiteral("SAVEPOINT ") + m_savepoint);
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
    if (m_savepoint.isEmpty())
        m_conn->exec(QStringLiteral("COMMIT"));
    else
        m_conn->exec(QStringLiteral("RELEASE ") + m_savepoint);
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
        m_conn->exec(QStringLiteral("ROLLBACK TO ") + m_savepoint);
        m_conn->exec(QStringLiteral("RELEASE ") + m_savepoint);
    }
}

Savepoint::Savepoint(const QString& dir, const QString& tableName)
    : m_conn(Connection::forTable(dir, tableName)), m_name(m_conn->nextSavepointName())
{
    m_conn->exec(QStringLiteral("SAVEPOINT ") + m_name);
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
    m_conn->exec(QStringLiteral("RELEASE ") + m_name);
    m_done = true;
}

void Savepoint::rollback()
{
    if (m_done)
        return;
    m_done = true;
    m_conn->exec(QStringLiteral("ROLLBACK TO ") + m_name);
    m_conn->exec(QStringLiteral("RELEASE ") + m_name);
}

} // namespace os
