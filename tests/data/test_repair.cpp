// The Ordersentinel Database Repair Utility (`--repair`) through the real
// executable: an older layout upgraded with every row, a damaged page
// salvaged, the program refused while the utility runs.
#include "common/file_utils.h"
#include "common/program_run.h"
#include "common/scripted_messages.h"
#include "common/temp_home.h"

#include "data/catalogue.h"
#include "data/connection.h"
#include "data/db_error.h"
#include "data/main_data_mod.h"
#include "data/query.h"
#include "data/schema.h"
#include "data/statement.h"
#include "data/table.h"
#include "data/transaction.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace os;
using namespace os::test;

namespace {

using Run = os::test::ProgramRun;

Run runProgram(const QStringList& args, const QProcessEnvironment& env = {})
{
    return os::test::runProgram(QStringLiteral(OS_PROGRAM_EXE), args, env, 240000);
}

QVariantList column(const QString& dir, const QString& sql)
{
    Query q;
    q.setDirectory(dir);
    q.setSql(sql);
    q.open();
    QVariantList values;
    for (; !q.eof(); q.next())
        values.append(q.value(0));
    return values;
}

QString number(qint64 n)
{
    return QLocale::c().toString(n);
}

struct Page
{
    qint64 offset = -1;
    int cells = 0;
};

// The leaf pages of table rows in a table file, as the file format lays
// them out (flag 0x0D), page 1 (the schema) left out.
QList<Page> tableLeafPages(const QString& path)
{
    const QByteArray bytes = readAll(path);
    auto byte = [&bytes](qint64 i) { return int(static_cast<unsigned char>(bytes.at(i))); };
    qint64 pageSize = (byte(16) << 8) | byte(17);
    if (pageSize == 1)
        pageSize = 65536;
    QList<Page> pages;
    for (qint64 at = pageSize; at + pageSize <= bytes.size(); at += pageSize) {
        if (byte(at) == 0x0D)
            pages.append({at, (byte(at + 3) << 8) | byte(at + 4)});
    }
    return pages;
}

} // namespace

class TestRepair : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempHome> m_home;

    QString data() const { return m_home->dataDir(); }
    QStringList repairArgs() const
    {
        return {QStringLiteral("--home"), m_home->home(), QStringLiteral("--repair")};
    }
    // The folder the utility copied the files into, from its Backup row.
    static QString backupFolder(const Run& r)
    {
        const QString prefix = QStringLiteral("Backup\tThe table files as they were: ");
        for (const QString& row : r.out) {
            if (row.startsWith(prefix))
                return row.mid(prefix.size());
        }
        return {};
    }

private slots:
    void init()
    {
        m_home = std::make_unique<TempHome>();
        TMainDataMod::CreateMissingTables(data());
    }
    void cleanup() { m_home.reset(); }

    void upgradesTheOlderLayoutWithEveryRow()
    {
        // The older orders layout: the date in DATE, no COUPON column, no
        // secondary indexes; and a to-do table without its index.
        QVERIFY(QFile::remove(data() + QStringLiteral("/orders.db")));
        TableDef old = *findTableDef(QStringLiteral("orders"));
        old.fields[old.fieldIndex(QStringLiteral("IDATE"))] = FieldDef{"DATE", FieldType::Date, 0};
        old.fields.removeAt(old.fieldIndex(QStringLiteral("COUPON")));
        old.indexes.clear();
        createTable(data(), old);
        {
            auto conn = Connection::forTable(data(), QStringLiteral("orders"));
            conn->exec(QStringLiteral(
                "INSERT INTO orders (INV, DATE, NAME, TOTAL, ORDERSTATE) VALUES "
                "(7, '2019-03-04', 'Ann', 12.5, 'New'), (8, NULL, 'Bob', 3, 'Void'), "
                "(9, '2020-02-29', 'Cé', 0, 'Complete')"));
        }
        const QByteArray oldBytes = readAll(data() + QStringLiteral("/orders.db"));
        {
            // The program itself refuses it and names the utility.
            ScriptedMessages shown;
            TMainDataMod dm;
            QVERIFY_THROWS_EXCEPTION(OldTableLayout, dm.OpenCompanyDatabase(data()));
        }

        const Run r = runProgram(repairArgs());
        QCOMPARE(r.err, QString());
        QVERIFY2(r.out.contains(QStringLiteral(
                     "Upgraded\torders.db: 3 rows in the current layout; dates moved from DATE "
                     "to IDATE; columns added: COUPON; indexes made anew")),
                 qPrintable(r.out.join(QLatin1Char('\n'))));
        QVERIFY(r.out.contains(QStringLiteral("Check\tcustomers.db: sound, 0 rows")));
        QCOMPARE(r.out.last(), QStringLiteral("Done\tEvery table file is sound."));
        QCOMPARE(r.code, 0);

        // Every row, its date in IDATE, in the layout the program opens.
        QCOMPARE(storedColumnNames(data(), QStringLiteral("orders")),
                 findTableDef(QStringLiteral("orders"))->fieldNames());
        ScriptedMessages shown;
        TMainDataMod dm;
        QString error;
        QVERIFY2(dm.OpenCompanyDatabase(data(), &error), qPrintable(error));
        Table& orders = *dm.ORDERs;
        QVERIFY(orders.locate(QStringLiteral("INV"), 7));
        QCOMPARE(orders.value(QStringLiteral("IDATE")).toDateTime(),
                 QDateTime(QDate(2019, 3, 4), QTime(0, 0)));
        QCOMPARE(orders.value(QStringLiteral("NAME")).toString(), QStringLiteral("Ann"));
        QCOMPARE(orders.value(QStringLiteral("TOTAL")).toDouble(), 12.5);
        QVERIFY(orders.value(QStringLiteral("COUPON")).isNull());
        QVERIFY(orders.locate(QStringLiteral("INV"), 8));
        QVERIFY(orders.value(QStringLiteral("IDATE")).isNull());
        QVERIFY(orders.locate(QStringLiteral("INV"), 9));
        QCOMPARE(orders.value(QStringLiteral("IDATE")).toDateTime(),
                 QDateTime(QDate(2020, 2, 29), QTime(0, 0)));
        QCOMPARE(orders.value(QStringLiteral("NAME")).toString(), QStringLiteral("Cé"));
        dm.CloseCompanyDatabase();

        // The file as it was is in the copies.
        const QString copies = backupFolder(r);
        QVERIFY(copies.startsWith(m_home->path(QStringLiteral("backups/ordersentinel-repair-"))));
        QCOMPARE(unixMode(copies), 0700);
        QCOMPARE(readAll(copies + QStringLiteral("/orders.db")), oldBytes);

        // A second run finds nothing to mend.
        const Run again = runProgram(repairArgs());
        QCOMPARE(again.code, 0);
        QVERIFY(again.out.contains(QStringLiteral("Check\torders.db: sound, 3 rows")));
        QVERIFY(!again.out.join(QLatin1Char('\n')).contains(QStringLiteral("Upgraded")));

        // A wrong command line changes nothing.
        const Run wrong =
            runProgram(repairArgs() << QStringLiteral("--keep") << QStringLiteral("2"));
        QCOMPARE(wrong.code, 2);
        QVERIFY2(wrong.err.startsWith(QStringLiteral("ordersentinel: --keep needs --backup\n")),
                 qPrintable(wrong.err));
        QCOMPARE(wrong.out, QStringList());
    }

    void salvagesADamagedPage()
    {
        constexpr int kRows = 3000;
        {
            Transaction tx(data(), QStringLiteral("orders"));
            auto conn = Connection::forTable(data(), QStringLiteral("orders"));
            Statement insert(
                *conn, QStringLiteral("INSERT INTO orders (INV, NAME, NOTES) VALUES (?, ?, ?)"));
            for (int i = 1; i <= kRows; ++i) {
                insert.reset();
                insert.bind(1, i);
                insert.bind(2, QStringLiteral("Buyer %1").arg(i));
                insert.bind(3, QString(200, QLatin1Char('n')));
                insert.step();
            }
            tx.commit();
        } // the last connection folds the log into the file
        const QString path = data() + QStringLiteral("/orders.db");
        QCOMPARE(QFileInfo(path + QStringLiteral("-wal")).size(), 0);

        // A page of rows in the middle of the table is overwritten.
        const QList<Page> leaves = tableLeafPages(path);
        QVERIFY(leaves.size() > 20);
        const Page hit = leaves.at(leaves.size() / 2);
        QVERIFY(hit.cells > 0);
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(hit.offset));
            QCOMPARE(f.write(QByteArray(4096, char(0xA5))), 4096);
        }
        const QByteArray damaged = readAll(path);
        {
            ScriptedMessages shown;
            TMainDataMod dm;
            QString error;
            // The program does not get far with it.
            const bool opened = dm.OpenCompanyDatabase(data(), &error);
            if (opened)
                QVERIFY_THROWS_EXCEPTION(
                    DbError, column(data(), QStringLiteral("SELECT NOTES FROM orders.db")));
        }

        const Run r = runProgram(repairArgs());
        QCOMPARE(r.err, QString());
        const QString all = r.out.join(QLatin1Char('\n'));
        QVERIFY2(
            r.out.filter(QRegularExpression(QStringLiteral("^Check\torders.db: damaged \\(.+\\)$")))
                    .size() == 1,
            qPrintable(all));
        const QStringList salvaged = r.out.filter(QStringLiteral("Salvaged\t"));
        QVERIFY2(salvaged.size() == 1, qPrintable(all));
        const QRegularExpressionMatch m =
            QRegularExpression(
                QStringLiteral("^Salvaged\torders.db: %1 rows saved, %2 lost; the "
                               "damaged file is kept as (orders\\.db\\.damaged-[-_0-9]+)$")
                    .arg(number(kRows - hit.cells), number(hit.cells)))
                .match(salvaged.first());
        QVERIFY2(m.hasMatch(), qPrintable(salvaged.first()));
        QVERIFY(r.out.contains(
            QStringLiteral(
                "Error\torders.db: %1 rows could not be read; a backup may still hold them.")
                .arg(number(hit.cells))));
        QCOMPARE(r.out.last(),
                 QStringLiteral("Done\tSome table files could not be mended in full; the copies "
                                "of how they were are in %1")
                     .arg(backupFolder(r)));
        QCOMPARE(r.code, 1);

        // The damaged file kept aside as it was; the copy taken first too.
        QCOMPARE(readAll(data() + QLatin1Char('/') + m.captured(1)), damaged);
        QCOMPARE(readAll(backupFolder(r) + QStringLiteral("/orders.db")), damaged);

        // The rows saved are whole; the ones lost are the page's, one run of them.
        const QVariantList invs =
            column(data(), QStringLiteral("SELECT INV FROM orders.db ORDER BY INV"));
        QCOMPARE(invs.size(), kRows - hit.cells);
        QCOMPARE(
            column(data(), QStringLiteral("SELECT count(*) FROM orders.db WHERE NAME = 'Buyer ' "
                                          "|| INV AND length(NOTES) = 200")),
            QVariantList({kRows - hit.cells}));
        int gaps = 0;
        for (int i = 1; i < invs.size(); ++i)
            gaps += invs.at(i).toInt() != invs.at(i - 1).toInt() + 1;
        QCOMPARE(gaps + (invs.first().toInt() != 1) + (invs.last().toInt() != kRows), 1);
        {
            Statement check(*Connection::forTable(data(), QStringLiteral("orders")),
                            QStringLiteral("PRAGMA integrity_check"));
            QVERIFY(check.step());
            QCOMPARE(check.column(0).toString(), QStringLiteral("ok"));
        }
        ScriptedMessages shown;
        TMainDataMod dm;
        QString error;
        QVERIFY2(dm.OpenCompanyDatabase(data(), &error), qPrintable(error));
    }

    // While the utility runs it holds the program's locks: the program is
    // refused with the message that names it.
    void holdsTheProgramLockWhileItRuns()
    {
        QTemporaryDir locks;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORDERSENTINEL_LOCK_DIR"), locks.path());

        // A writer keeps customers.db busy, so the utility waits there.
        auto writer = Connection::forTable(data(), QStringLiteral("customers"));
        writer->exec(QStringLiteral("BEGIN IMMEDIATE"));
        QProcess repair;
        repair.setProcessEnvironment(env);
        repair.start(QStringLiteral(OS_PROGRAM_EXE), repairArgs());
        QVERIFY(repair.waitForStarted(20000));
        QByteArray out;
        while (!out.contains("Check\tcustomers.db: sound, 0 rows\n") &&
               repair.state() == QProcess::Running) {
            repair.waitForReadyRead(60000);
            out += repair.readAllStandardOutput();
        }
        QVERIFY2(repair.state() == QProcess::Running, out.constData());

        const Run refused = runProgram(
            {QStringLiteral("--home"), m_home->home(), QStringLiteral("--send-outbox")}, env);
        QCOMPARE(refused.err,
                 QStringLiteral("Error: Ordersentinel is already running or the database repair "
                                "utility is open!\n"));
        QCOMPARE(refused.code, 1);
        const Run second = runProgram(repairArgs(), env);
        QCOMPARE(second.err, refused.err);
        QCOMPARE(second.code, 1);

        writer->exec(QStringLiteral("ROLLBACK"));
        writer.reset();
        QVERIFY(repair.waitForFinished(240000));
        out += repair.readAllStandardOutput();
        QCOMPARE(repair.exitCode(), 0);
        QVERIFY2(out.endsWith("Done\tEvery table file is sound.\n"), out.constData());
    }
};

QTEST_GUILESS_MAIN(TestRepair)
#include "test_repair.moc"
