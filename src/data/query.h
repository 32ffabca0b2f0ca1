#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

#include "data/connection.h"

namespace os {

class Connection;
class Statement;
struct FieldDef;

// The program's SQL over the company tables. Table references are written as
// files (`orders.db`, `ORDERS.DB`, `"form_letters.db"`) and run against the
// right table in the right file; `:NAME` parameters are always bound, never
// pasted into the text. A missing table file is reported, never created.
class Query : public QObject
{
    Q_OBJECT
public:
    explicit Query(QObject* parent = nullptr);
    ~Query() override;

    void setDirectory(const QString& dir);
    QString directory() const { return m_dir; }
    void setSql(const QString& sql); // closes the query
    QString sql() const { return m_sql; }
    void setParam(const QString& name, const QVariant& value); // name without ':'
    QVariant param(const QString& name) const;
    void clearParams();

    void open(); // runs a SELECT and moves to its first row; throws DbError
    void exec(); // runs INSERT/UPDATE/DELETE (or any statement); throws DbError
    int rowsAffected() const { return m_rowsAffected; }
    void close();
    bool isOpen() const { return m_active; }

    // Rows are read from the engine as the cursor advances.
    void first();
    void next();
    void prior(); // over the rows already read
    bool eof() const { return m_eof; }
    bool bof() const { return m_row <= 0; }
    bool isEmpty() const;
    int recordCount(); // counted by the engine, the cursor stays

    QStringList columnNames() const { return m_columns; }
    QVariant value(const QString& column) const; // case-insensitive; null = empty
    QVariant value(int column) const;

signals:
    void currentChanged();

private:
    QString translate(std::shared_ptr<Connection>& conn) const;
    void bindParams(Statement& st) const;
    bool fetchOne();
    void closeStatement();

    QString m_dir;
    QString m_sql;
    QHash<QString, QVariant> m_params; // keys upper-cased
    std::shared_ptr<Connection> m_conn;
    std::unique_ptr<Statement> m_stmt;
    QStringList m_columns;
    QList<const FieldDef*> m_columnDefs;
    QList<QVariantList> m_rows; // rows read so far
    int m_row = -1;
    bool m_eof = true;
    bool m_finished = false; // the statement has no more rows
    int m_rowsAffected = 0;
    bool m_active = false;
    QString m_translated;
};

} // namespace os
