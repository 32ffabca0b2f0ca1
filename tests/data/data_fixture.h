#pragma once

#include "data/catalogue.h"
#include "data/connection.h"
#include "data/schema.h"
#include "data/statement.h"
#include "data/stored_values.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace os::test {

// Reads a whole file (to prove a table file was not rewritten).
inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

// Runs one SQL text on a table file directly (for set-up and inspection).
inline QVariant scalar(const QString& dir, const QString& table, const QString& sql)
{
    auto conn = Connection::forTable(dir, table);
    Statement st(conn->handle(), sql);
    return st.step() ? st.column(0) : QVariant();
}

} // namespace os::test

// Child modes of the test executable (a process that is killed or runs as
// another user); each returns the process exit code.
int runPostLoopChild(const QString& dir);
int runCreateChild(const QString& dir);
