#pragma once

#include <QString>

#include <memory>

namespace os {

class Connection;

// A transaction on the connection of one table file (shared by every Table
// and Query on that file in that directory). Rolls back unless committed.
// Opened inside another transaction it becomes a savepoint of it.
class Transaction
{
public:
    Transaction(const QString& dir, const QString& tableName); // throws DbError
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();   // throws DbError
    void rollback(); // explicit roll-back; the destructor then does nothing

private:
    std::shared_ptr<Connection> m_conn;
    QString m_savepoint; // set when nested in an outer transaction
    bool m_done = false;
};

// A savepoint on the connection of one table file: rolls back to itself (and
// is released) unless released first. Work done before it is kept.
class Savepoint
{
public:
    Savepoint(const QString& dir, const QString& tableName); // throws DbError
    // On a connection the caller already holds: no file lookup, for a
    // savepoint per record in a bulk import.
    explicit Savepoint(std::shared_ptr<Connection> conn); // throws DbError
    ~Savepoint();
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;

    void release();  // keeps the work; throws DbError
    void rollback(); // undoes the work since the savepoint and releases it

private:
    std::shared_ptr<Connection> m_conn;
    QString m_name;
    bool m_done = false;
};

} // namespace os
