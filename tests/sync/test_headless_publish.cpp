// `ordersentinel --session "Publish Options & Configurations" [--dry-run]`:
// the real executable against the real store simulator.
#include "base/settings.h"
#include "common/store_sim.h"
#include "common/temp_home.h"
#include "data/query.h"

#include <QProcess>
#include <QTest>

using namespace os;
using namespace os::test;

namespace {

const QString kPublish = QStringLiteral("Publish Options & Configurations");

struct Run
{
    int exitCode = -1;
    QStringList out; // stdout rows
    QString err;
};

Run run(const QString& home, const QStringList& args, const QByteArray& input = {})
{
    QProcess p;
    p.start(QStringLiteral(OS_PROGRAM_EXE), QStringList{QStringLiteral("--home"), home} + args);
    Run r;
    if (!p.waitForStarted(10000))
        return r;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.err = QString::fromUtf8(p.readAllStandardError());
    r.out =
        QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return r;
}

} // namespace

class TestHeadlessPublish : public QObject
{
    Q_OBJECT
private slots:
    void dryRunPublishDryRun();
};

void TestHeadlessPublish::dryRunPublishDryRun()
{
    TempHome home;
    StoreSim sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
    settings() = Settings();
    settings().VendixManagerURL = sim.url();
    QVERIFY(SaveSettings());
    const QStringList dryRun{QStringLiteral("--session"), kPublish, QStringLiteral("--dry-run")};

    // Nothing published yet: every field is new. No password is read.
    Run r = run(home.home(), dryRun);
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains(QStringLiteral("Added\tCONFIG_company_name: Your Company Name")));
    for (const QString& row : r.out)
        QVERIFY2(row.startsWith(QLatin1String("Added\t")), qPrintable(row));
    QCOMPARE(sim.commands(), QStringList());

    // The example addresses of a new installation are not published unasked.
    r = run(home.home(), {QStringLiteral("--session"), kPublish}, "secret1\n");
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QLatin1String(
                 "Error: These settings still hold example values: URL to the cgi-bin on your web "
                 "site, https location to the cgi-bin, Location of Home Page, Web Site Store "
                 "Entrance, Location of Policies Page, Affiliate location, Order Notification "
                 "e-mail, Information e-mail, Webmaster e-mail, Billing e-mail. Nothing was "
                 "published; give --allow-example-values to publish them anyway.\n")),
             qPrintable(r.err));
    QCOMPARE(sim.commands(), QStringList());

    r = run(home.home(),
            {QStringLiteral("--session"), kPublish, QStringLiteral("--allow-example-values")},
            "secret1\n");
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains(
        QStringLiteral("Function\tConnecting to Vendix to update general configs....")));
    QCOMPARE(sim.commands(), QStringList{"genconfigs="});

    r = run(home.home(), dryRun);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QStringList());

    settings().CompanyName = QStringLiteral("Acme & Sons");
    QVERIFY(SaveSettings());
    r = run(home.home(), dryRun);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QStringList{"Changed\tCONFIG_company_name: Your Company Name -> Acme & Sons"});

    // A table the publish would refuse: the same error, exit code 1.
    Query q;
    q.setDirectory(home.dataDir());
    q.setSql(QStringLiteral("INSERT INTO coupons.db (CODE, DISCOUNT) VALUES ('A^B', 0.1)"));
    q.exec();
    r = run(home.home(), dryRun);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QLatin1String("Error: The coupons table cannot be published: in row 1 "
                                          "(A^B) the column CODE holds \"^\"")),
             qPrintable(r.err));

    // Only publishing has a dry run.
    r = run(home.home(), {QStringLiteral("--session"), QStringLiteral("Poll Server"),
                          QStringLiteral("--dry-run")});
    QCOMPARE(r.exitCode, 2);
    QCOMPARE(sim.commands(), QStringList{"genconfigs="});
}

QTEST_GUILESS_MAIN(TestHeadlessPublish)
#include "test_headless_publish.moc"
