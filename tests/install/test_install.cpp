// The Linux desktop program as a merchant gets it: installed into a
// temporary prefix with `cmake --install`, started from there with a fresh
// user account (its own XDG_DATA_HOME), and packed as a Debian package.

#include "base/paths.h"
#include "base/settings.h"
#include "common/store_sim.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace os;
using namespace os::test;

namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run run(const QString& program, const QStringList& args,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
        const QByteArray& input = QByteArray(), int timeoutMs = 120000)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    Run r;
    if (!p.waitForStarted(10000))
        return r;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

const QString kNotice = QStringLiteral("Ordersentinel must create databases to function, "
                                       "these databases will be created in the background. This "
                                       "process may take several minutes.");

} // namespace

class TestInstall : public QObject
{
    Q_OBJECT

    QTemporaryDir m_prefix;
    QTemporaryDir m_user; // the merchant's account: home and XDG data folder

    QString installed(const QString& relative) const { return m_prefix.filePath(relative); }
    QString program() const { return installed(QStringLiteral("bin/ordersentinel")); }
    QString userHome() const { return m_user.filePath(QStringLiteral("xdg/ordersentinel")); }

    QProcessEnvironment userEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_user.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_user.filePath(QStringLiteral("xdg")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_prefix.isValid() && m_user.isValid());
        QVERIFY(QDir().mkpath(m_user.filePath(QStringLiteral("home"))));
        const Run r = run(QStringLiteral(OS_CMAKE),
                          {QStringLiteral("--install"), QStringLiteral(OS_BUILD_DIR),
                           QStringLiteral("--prefix"), m_prefix.path()});
        QVERIFY2(r.code == 0, qPrintable(r.err));
    }

    void installsTheProgramItsDesktopEntryAndIcons()
    {
        QVERIFY(QFileInfo(program()).isExecutable());
        const QString entry = installed(QStringLiteral("share/applications/ordersentinel.desktop"));
        const Run valid = run(QStringLiteral("desktop-file-validate"), {entry});
        QVERIFY2(valid.code == 0 && valid.out.isEmpty(), qPrintable(valid.out + valid.err));
        QFile f(entry);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
        QVERIFY(lines.contains(QStringLiteral("Exec=ordersentinel")));
        QVERIFY(lines.contains(QStringLiteral("Icon=ordersentinel")));

        // The repair utility the program's messages name has its own entry.
        const QString repair =
            installed(QStringLiteral("share/applications/ordersentinel-repair.desktop"));
        const Run repairValid = run(QStringLiteral("desktop-file-validate"), {repair});
        QVERIFY2(repairValid.code == 0 && repairValid.out.isEmpty(),
                 qPrintable(repairValid.out + repairValid.err));
        QFile r(repair);
        QVERIFY(r.open(QIODevice::ReadOnly));
        const QStringList repairLines = QString::fromUtf8(r.readAll()).split(QLatin1Char('\n'));
        QVERIFY(repairLines.contains(QStringLiteral("Name=Ordersentinel Database Repair Utility")));
        QVERIFY(repairLines.contains(QStringLiteral("Exec=ordersentinel --repair")));

        const QString icons = installed(QStringLiteral("share/icons/hicolor/"));
        QVERIFY(QFileInfo::exists(icons + QStringLiteral("scalable/apps/ordersentinel.svg")));
        for (int size : {16, 24, 32, 48, 64, 128, 256}) {
            const QString png = icons + QStringLiteral("%1x%1/apps/ordersentinel.png").arg(size);
            const Run kind = run(QStringLiteral("file"), {QStringLiteral("-b"), png});
            QVERIFY2(kind.out.startsWith(QStringLiteral("PNG image data, %1 x %1,").arg(size)),
                     qPrintable(png + QStringLiteral(": ") + kind.out));
        }
        const Run version = run(program(), {QStringLiteral("--version")});
        QCOMPARE(version.out, QStringLiteral("ordersentinel 1.0.0.1\n"));
    }

    void installedProgramKeepsItsHomeInTheUsersData()
    {
        // First start of the window build: the program's own folder is the
        // prefix's bin/, so the home is made in the user's data folder (owner
        // only) before the first-start notice comes up.
        QProcess gui;
        gui.setProcessEnvironment(userEnvironment());
        gui.start(program(), {});
        QVERIFY(gui.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(userHome() + QStringLiteral("/data/html")).isDir(),
                                 60000);
        QCOMPARE(gui.state(), QProcess::Running);
        gui.terminate();
        QVERIFY(gui.waitForFinished(30000));
        QCOMPARE(QFileInfo(userHome()).permissions() & 0x0077, QFileDevice::Permissions());
        QVERIFY(!QFileInfo::exists(installed(QStringLiteral("bin/data"))));

        // The first retrieval, as the "Online" window runs it, from the
        // installed program on that home: the same notice, the tables made,
        // the orders and their invoices kept there.
        StoreSim sim;
        QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
        sim.addOrders(QJsonArray{QJsonObject{}, QJsonObject{}});
        AppPaths::setHome(userHome());
        settings() = Settings();
        settings().VendixManagerURL = sim.url();
        QVERIFY(SaveSettings());
        const Run r = run(program(),
                          {QStringLiteral("--session"), QStringLiteral("Get Orders & Information")},
                          userEnvironment(), sim.password().toUtf8() + "\n");
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.err.split(QLatin1Char('\n')).first(), kNotice);
        QCOMPARE(r.out.count(QStringLiteral("\nOrder\t")), 2);
        QVERIFY(QFileInfo::exists(userHome() + QStringLiteral("/data/orders.db")));
        QCOMPARE(QDir(userHome() + QStringLiteral("/data/html"))
                     .entryList({QStringLiteral("*inv.html")}, QDir::Files)
                     .size(),
                 2);
    }

    void programKeptWithItsDataUsesItsOwnFolder()
    {
        // A copy of the program with a data folder beside it (the layout of
        // a program kept with its company, like the demo home) stays there:
        // its settings name this store, the user's home names another.
        StoreSim sim;
        QVERIFY2(sim.isRunning(), qPrintable(sim.errorString()));
        QVERIFY(QDir().mkpath(installed(QStringLiteral("bin/data/html"))));
        AppPaths::setHome(installed(QStringLiteral("bin")));
        settings() = Settings();
        settings().VendixManagerURL = sim.url();
        QVERIFY(SaveSettings());
        const Run r = run(program(), {QStringLiteral("--session"), QStringLiteral("Poll Server")},
                          userEnvironment(), sim.password().toUtf8() + "\n");
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(sim.commands(), QStringList{QStringLiteral("poll_server")});
    }

    void debianPackageDependsOnTheRuntimePackages()
    {
        QTemporaryDir out;
        const Run r = run(QStringLiteral(OS_CPACK),
                          {QStringLiteral("--config"),
                           QStringLiteral(OS_BUILD_DIR) + QStringLiteral("/CPackConfig.cmake"),
                           QStringLiteral("-B"), out.path()},
                          QProcessEnvironment::systemEnvironment(), {}, 240000);
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        const QString deb = out.filePath(QStringLiteral("ordersentinel_1.0.0.1_amd64.deb"));
        QVERIFY(QFileInfo::exists(deb));
        const Run depends =
            run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Depends")});
        for (const char* package : {"libqt6core6", "libqt6widgets6", "libsqlite3-0", "libcurl4",
                                    "libssl3", "qt6-qpa-plugins"})
            QVERIFY2(depends.out.contains(QLatin1String(package)), qPrintable(depends.out));
        const Run files = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb});
        for (const char* file :
             {"./usr/bin/ordersentinel", "./usr/share/applications/ordersentinel.desktop",
              "./usr/share/applications/ordersentinel-repair.desktop",
              "./usr/share/icons/hicolor/scalable/apps/ordersentinel.svg"})
            QVERIFY2(files.out.contains(QLatin1String(file)), file);
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
