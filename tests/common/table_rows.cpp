#include "common/table_rows.h"

#include "data/table.h"
#include "data/transaction.h"

#include <QDateTime>
#include <QTest>

namespace os::test {

QList<qint64> insertRows(const QString& dir, const QString& table, const QList<QVariantMap>& rows)
{
    QList<qint64> ids;
    Table t(table);
    t.setDirectory(dir);
    t.open();
    Transaction tr(dir, table);
    for (const QVariantMap& row : rows) {
        t.insert();
        for (auto it = row.cbegin(); it != row.cend(); ++it)
            t.setValue(it.key(), it.value());
        if (!t.post()) {
            QTest::qFail("a row was refused", __FILE__, __LINE__);
            return ids;
        }
        ids << t.bookmark();
    }
    tr.commit();
    return ids;
}

QVariantMap orderRow(int inv, const QString& state, const QVariantMap& more)
{
    QVariantMap row{
        {"INV", inv},
        {"CUSTID", 1000 + inv % 50},
        {"ORDERSTATE", state},
        {"METHOD", "Credit Card"},
        {"TOTAL", 10.0 + inv},
        {"NAME", QStringLiteral("Customer %1").arg(inv)},
        {"EMAIL", QStringLiteral("c%1@example.com").arg(inv)},
        {"IDATE", QDateTime(QDate(2022, 1, 1), QTime(9, 0)).addSecs(60 * inv)},
    };
    for (auto it = more.cbegin(); it != more.cend(); ++it)
        row.insert(it.key(), it.value());
    return row;
}

} // namespace os::test
