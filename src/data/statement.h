#pragma once

#include <QByteArrayView>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

namespace os {

class Connection;
class DbError;
struct FieldDef;

// A prepared statement, finalized on destruction. Values are bound in the
// stored form (stored_values.h); QDateTime and QDate as the text the tables
// hold, so `WHERE IDATE >= :SINCE` compares correctly.
class Statement
{
public:
    Statement(const Connection& conn, const QString& sql); // throws DbError
    // On a connection of the data layer's own (creation, the format check).
    Statement(sqlite3* db, const QString& sql); // throws DbError
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, const QVariant& value); // 1-based
    bool step();                                 // true while a row is available; throws DbError
    void reset();
    // Rows inserted, changed or deleted by the last completed step.
    int changes() const;

    int parameterCount() const;
    QString parameterName(int index) const; // 1-based, with its ':' ("" for '?')

    int columnCount() const;
    QString columnName(int column) const;
    // The table and column a result column is taken straight from ("" for
    // an expression).
    QString columnTable(int column) const;
    QString columnOrigin(int column) const;
    QVariant column(int column) const;                      // raw storage value
    QVariant column(int column, const FieldDef* def) const; // typed by a catalogue column
    // Straight from the engine, for reads that stream many rows (no QVariant
    // per value): whether empty, the UTF-8 text (valid until the next step),
    // the number, the integer.
    bool isNull(int column) const;
    QByteArrayView text(int column) const;
    double real(int column) const;
    qint64 integer(int column) const;
    // The engine's own type of the value (what column() would hand out).
    enum class Storage
    {
        Null,
        Integer,
        Real,
        Text,
        Blob
    };
    Storage storage(int column) const;

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// Identifiers always go through here ("TO" and "FROM" are SQL words).
QString quoteIdent(const QString& name);

// The data layer's own: the engine's failure `rc` on `db` as a DbError with
// the text the user sees (a repeated key as "Key violation.\r..."), and a
// statement run once without results.
DbError engineError(sqlite3* db, int rc);
void execSql(sqlite3* db, const QString& sql); // throws DbError

} // namespace os
