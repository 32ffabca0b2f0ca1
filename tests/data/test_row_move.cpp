// Moving rows by key from one table file into another in one commit (the
// outbox into sent items): real table files in a temporary home.
#include "common/temp_home.h"
#include "common/throws.h"

#include "data/connection.h"
#include "data/db_error.h"
#include "data/main_data_mod.h"
#include "data/query.h"
#include "data/row_move.h"
#include "data/statement.h"
#include "data/table.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace os;
using namespace os::test;

namespace {

const QStringList kColumns{"IDATE", "TYPE", "SUBJECT", "TO", "FROM", "BODY"};

QStringList column(const QString& dir, const QString& sql)
{
    Query q;
    q.setDirectory(dir);
    q.setSql(sql);
    q.open();
    QStringList values;
    for (; !q.eof(); q.next())
        values << q.value(0).toString();
    return values;
}

} // namespace

class TestRowMove : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void movesTheRowWithItsStoredValues();
    void goneRowKeepsTheCopy();
    void failedCopyLeavesTheRowQueued();
    void damagedFileAttachedTwice();
    void attachInsideATransaction();

private:
    qint64 queue(const QString& subject);
    QString dir() const { return m_home->dataDir(); }

    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<TMainDataMod> m_data;
};

void TestRowMove::init()
{
    m_home = std::make_unique<TempHome>();
    m_data = std::make_unique<TMainDataMod>();
    m_data->OpenCompanyDatabase(dir());
}

void TestRowMove::cleanup()
{
    m_data.reset();
    m_home.reset();
}

qint64 TestRowMove::queue(const QString& subject)
{
    Table out(QStringLiteral("outbox"));
    out.setDirectory(dir());
    out.open();
    out.insert();
    out.setValue(QStringLiteral("IDATE"), QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)));
    out.setValue(QStringLiteral("TYPE"), QStringLiteral("SHIPPING"));
    out.setValue(QStringLiteral("SUBJECT"), subject);
    out.setValue(QStringLiteral("TO"), subject + QStringLiteral("@cust.test"));
    out.setValue(QStringLiteral("FROM"), QStringLiteral("\"Acme\" <info@acme.test>"));
    out.setValue(QStringLiteral("BODY"), QStringLiteral("Dear %1,\r\nmüller €\r\n").arg(subject));
    if (!out.post())
        return 0;
    return out.value(QStringLiteral("ID")).toLongLong();
}

void TestRowMove::movesTheRowWithItsStoredValues()
{
    const qint64 a = queue(QStringLiteral("a"));
    const qint64 b = queue(QStringLiteral("b"));
    QVERIFY(a > 0 && b > a);
    RowMover mover(dir(), QStringLiteral("outbox"), QStringLiteral("ID"), dir(),
                   QStringLiteral("sentitems"), kColumns);
    const std::optional<QVariantList> row = mover.read(b);
    QVERIFY(row);
    QCOMPARE(row->size(), kColumns.size());
    QCOMPARE(row->at(2).toString(), QStringLiteral("b"));
    QCOMPARE(row->at(3).toString(), QStringLiteral("b@cust.test"));
    QCOMPARE(row->at(5).toString(), QStringLiteral("Dear b,\r\nmüller €\r\n"));
    QVERIFY(mover.move(b, *row));
    QCOMPARE(column(dir(), QStringLiteral("SELECT SUBJECT FROM outbox.db")), QStringList{"a"});
    // The copy holds the values as the outbox held them, the date's text too.
    QCOMPARE(column(dir(), QStringLiteral("SELECT SUBJECT || '|' || IDATE || '|' || BODY FROM "
                                          "sentitems.db")),
             QStringList{column(dir(), QStringLiteral("SELECT 'b|' || IDATE || '|Dear b,' || "
                                                      "char(13, 10) || 'müller €' || char(13, "
                                                      "10) FROM outbox.db"))});
    QVERIFY(!mover.read(b));

    // The outbox file attached for the move commits as lightly as on its own.
    auto conn = Connection::forTable(dir(), QStringLiteral("sentitems"));
    const QString schema = conn->attach(dir(), QStringLiteral("outbox"));
    Statement sync(*conn, QStringLiteral("PRAGMA %1.synchronous").arg(quoteIdent(schema)));
    QVERIFY(sync.step());
    QCOMPARE(sync.column(0).toInt(), 1); // NORMAL
    QVERIFY(!conn->inTransaction());
}

void TestRowMove::goneRowKeepsTheCopy()
{
    const qint64 a = queue(QStringLiteral("a"));
    RowMover mover(dir(), QStringLiteral("outbox"), QStringLiteral("ID"), dir(),
                   QStringLiteral("sentitems"), kColumns);
    QVERIFY(!mover.read(a + 1000));
    const std::optional<QVariantList> row = mover.read(a);
    QVERIFY(row);
    // Deleted by another window between the read and the move.
    Table out(QStringLiteral("outbox"));
    out.setDirectory(dir());
    out.open();
    QVERIFY(out.locate(QStringLiteral("ID"), a));
    out.remove();
    QVERIFY(!mover.move(a, *row));
    QCOMPARE(column(dir(), QStringLiteral("SELECT SUBJECT FROM sentitems.db")), QStringList{"a"});
    QVERIFY(column(dir(), QStringLiteral("SELECT SUBJECT FROM outbox.db")).isEmpty());
}

void TestRowMove::failedCopyLeavesTheRowQueued()
{
    const qint64 a = queue(QStringLiteral("a"));
    RowMover mover(dir(), QStringLiteral("outbox"), QStringLiteral("ID"), dir(),
                   QStringLiteral("sentitems"), kColumns);
    const std::optional<QVariantList> row = mover.read(a);
    QVERIFY(row);
    // Sent items refuses the copy: the removal from the outbox is undone with it.
    auto conn = Connection::forTable(dir(), QStringLiteral("sentitems"));
    conn->exec(QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE INSERT ON main.sentitems BEGIN "
                              "SELECT RAISE(ABORT, 'sent items refused the copy'); END"));
    OS_VERIFY_THROWS(DbError, mover.move(a, *row), "sent items refused the copy");
    QVERIFY(!conn->inTransaction());
    QCOMPARE(column(dir(), QStringLiteral("SELECT SUBJECT FROM outbox.db")), QStringList{"a"});
    QVERIFY(column(dir(), QStringLiteral("SELECT SUBJECT FROM sentitems.db")).isEmpty());

    // Once sent items takes rows again, the same mover moves it.
    conn->exec(QStringLiteral("DROP TRIGGER temp.refuse"));
    QVERIFY(mover.move(a, *row));
    QVERIFY(column(dir(), QStringLiteral("SELECT SUBJECT FROM outbox.db")).isEmpty());
    QCOMPARE(column(dir(), QStringLiteral("SELECT SUBJECT FROM sentitems.db")), QStringList{"a"});
}

void TestRowMove::damagedFileAttachedTwice()
{
    // A file that is not a table file is refused, and refused alike the
    // second time: the failed attach leaves nothing attached behind.
    QFile damaged(QDir(dir()).filePath(QStringLiteral("order_history.db")));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(4096, 'x'));
    damaged.close();
    auto conn = Connection::forTable(dir(), QStringLiteral("sentitems"));
    const QString expected =
        QStringLiteral("Cannot open table %1.\rfile is not a database\rThe file is damaged. "
                       "Restore it from a backup, or run the Ordersentinel Database Repair "
                       "Utility (ordersentinel --repair) to save its readable rows.")
            .arg(damaged.fileName());
    OS_VERIFY_THROWS(DbError, conn->attach(dir(), QStringLiteral("order_history")), expected);
    OS_VERIFY_THROWS(DbError, conn->attach(dir(), QStringLiteral("order_history")), expected);
}

void TestRowMove::attachInsideATransaction()
{
    // The engine keeps the synchronous setting inside a transaction: the
    // file is attached all the same, once, and found again by its name.
    queue(QStringLiteral("a"));
    auto conn = Connection::forTable(dir(), QStringLiteral("sentitems"));
    conn->exec(QStringLiteral("BEGIN"));
    conn->exec(QStringLiteral("DELETE FROM sentitems"));
    const QString schema = conn->attach(dir(), QStringLiteral("outbox"));
    QCOMPARE(schema, QStringLiteral("t_outbox"));
    QCOMPARE(conn->attach(dir(), QStringLiteral("outbox")), schema);
    {
        Statement count(*conn, QStringLiteral("SELECT COUNT(*) FROM t_outbox.outbox"));
        QVERIFY(count.step());
        QCOMPARE(count.column(0).toInt(), 1);
    }
    conn->exec(QStringLiteral("COMMIT"));
}

QTEST_GUILESS_MAIN(TestRowMove)
#include "test_row_move.moc"
