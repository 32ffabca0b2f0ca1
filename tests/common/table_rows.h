#pragma once

#include <QList>
#include <QString>
#include <QVariantMap>

namespace os::test {

// Inserts rows (column name to value) into `<dir>/<table>.db` in one
// transaction, through the engine's own table object, and returns the
// bookmarks in insertion order. Fails the running test when a row is refused.
QList<qint64> insertRows(const QString& dir, const QString& table, const QList<QVariantMap>& rows);

// An order as the store sends it: INV, CUSTID, the state, the method, a total
// and a name and e-mail made from the number, IDATE one minute per number
// after 2022-01-01; `more` adds or overrides columns.
QVariantMap orderRow(int inv, const QString& state = QStringLiteral("New"),
                     const QVariantMap& more = {});

} // namespace os::test
