#include "data/row_move.h"

#include "data/connection.h"
#include "data/db_error.h"
#include "data/statement.h"
#include "data/transaction.h"

namespace os {

RowMover::RowMover(const QString& sourceDir, const QString& sourceTable, const QString& keyField,
                   const QString& targetDir, const QString& targetTable, const QStringList& columns)
    : m_conn(Connection::forTable(targetDir, targetTable)), m_columns(int(columns.size()))
{
    const QString schema = quoteIdent(m_conn->attach(sourceDir, sourceTable));
    const QString source = schema + QLatin1Char('.') + quoteIdent(bareTableName(sourceTable));
    const QString target = QStringLiteral("main.") + quoteIdent(m_conn->tableName());
    QStringList cols;
    QStringList marks;
    for (const QString& c : columns) {
        cols << quoteIdent(c);
        marks << QStringLiteral("?");
    }
    const QString list = cols.join(QStringLiteral(", "));
    const QString key = quoteIdent(keyField);
    m_read = std::make_unique<Statement>(
        *m_conn, QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?1").arg(list, source, key));
    m_insert = std::make_unique<Statement>(
        *m_conn, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                     .arg(target, list, marks.join(QStringLiteral(", "))));
    m_delete = std::make_unique<Statement>(
        *m_conn, QStringLiteral("DELETE FROM %1 WHERE %2 = ?1").arg(source, key));
}

RowMover::~RowMover()
{
    // Finalized before the connection may close.
    m_read.reset();
    m_insert.reset();
    m_delete.reset();
}

std::optional<QVariantList> RowMover::read(qint64 key)
{
    m_read->bind(1, key);
    std::optional<QVariantList> row;
    if (m_read->step()) {
        QVariantList values;
        values.reserve(m_columns);
        for (int i = 0; i < m_columns; ++i)
            values << m_read->column(i);
        row = std::move(values);
    }
    m_read->reset();
    return row;
}

bool RowMover::move(qint64 key, const QVariantList& stored)
{
    Savepoint transaction(m_conn); // a transaction of its own outside any other
    for (int i = 0; i < m_columns; ++i)
        m_insert->bind(i + 1, stored.value(i));
    m_insert->step();
    m_insert->reset();
    m_delete->bind(1, key);
    m_delete->step();
    const bool held = m_delete->changes() > 0;
    m_delete->reset();
    transaction.release();
    return held;
}

} // namespace os
