#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>

namespace os {

class Connection;
class Statement;

// Moves rows, one by one and by key, from one table file into another with
// the same columns: a read of the row by its key, then its copy into the
// target and its removal from the source in one transaction with one commit.
// The statements are prepared once, for a run over many rows (the outbox
// moving sent letters into sent items).
//
// The transaction is on the target's connection with the source attached;
// the engine commits the files in that order, so a process killed inside the
// commit leaves the row in both tables, never in neither.
class RowMover
{
public:
    // `columns` are copied; `keyField` is the source's Autoinc key.
    RowMover(const QString& sourceDir, const QString& sourceTable, const QString& keyField,
             const QString& targetDir, const QString& targetTable,
             const QStringList& columns); // throws DbError
    ~RowMover();
    RowMover(const RowMover&) = delete;
    RowMover& operator=(const RowMover&) = delete;

    // The row's columns as the source file holds them (the order of
    // `columns`); nothing when no row has the key.
    std::optional<QVariantList> read(qint64 key); // throws DbError
    // Writes `stored` (as read() gave it) into the target and deletes the
    // key from the source, in one commit. False when the source no longer
    // held the key: the copy is written all the same.
    bool move(qint64 key, const QVariantList& stored); // throws DbError

private:
    std::shared_ptr<Connection> m_conn;
    std::unique_ptr<Statement> m_read;
    std::unique_ptr<Statement> m_insert;
    std::unique_ptr<Statement> m_delete;
    int m_columns = 0;
};

} // namespace os
