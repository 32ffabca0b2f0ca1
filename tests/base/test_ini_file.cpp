#include "base/ini_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "common/file_utils.h"

#include <sys/stat.h>

using namespace os;

namespace {

using test::readAll;
using test::unixMode;
using test::writeAll;

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString file(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void missingFileStartsEmptyAndIsCreated()
    {
        IniFile ini(file("new.ini"));
        QVERIFY(!ini.load());
        QVERIFY(!ini.contains("A", "k"));
        ini.setValue("A", "k1", "v1");
        ini.setValue("B", "k2", "v2");
        ini.setValue("A", "k3", "v3");
        QVERIFY(ini.save());
        QCOMPARE(readAll(file("new.ini")), QByteArray("[A]\nk1=v1\nk3=v3\n[B]\nk2=v2\n"));
        QCOMPARE(unixMode(file("new.ini")), 0600);
    }

    void otherLinesAreKeptAndKeysKeepTheirPlace()
    {
        const QByteArray original = "; written by hand\n"
                                    "stray=before any section\n"
                                    "\n"
                                    "[MainC]\n"
                                    "  CompanyName = Acme  \n"
                                    "; a comment inside\n"
                                    "Custom=keep me\n"
                                    "this line is garbage\n"
                                    "\n"
                                    "; leads into the next section\n"
                                    "[Other]\n"
                                    "x=1\n";
        QVERIFY(writeAll(file("keep.ini"), original));
        IniFile ini(file("keep.ini"));
        QVERIFY(ini.load());
        QCOMPARE(ini.value("mainc", "companyname", "?"), QStringLiteral("Acme"));
        QCOMPARE(ini.value("MAINC", "stray", "none"), QStringLiteral("none"));
        QCOMPARE(ini.value("MAINC", "this line is garbage", "none"), QStringLiteral("none"));
        QCOMPARE(ini.keys("MAINC"), QStringList({"CompanyName", "Custom"}));

        // Setting a key to the value it has changes nothing, not even spacing.
        ini.setValue("MAINC", "COMPANYNAME", "Acme");
        QCOMPARE(ini.text().toUtf8(), original);

        ini.setValue("MAINC", "COMPANYNAME", "Widgets Ltd");
        ini.setValue("MAINC", "NewKey", "n");
        ini.setValue("NEW", "a", "b");
        QVERIFY(ini.save());
        QCOMPARE(readAll(file("keep.ini")), QByteArray("; written by hand\n"
                                                       "stray=before any section\n"
                                                       "\n"
                                                       "[MainC]\n"
                                                       "CompanyName=Widgets Ltd\n"
                                                       "; a comment inside\n"
                                                       "Custom=keep me\n"
                                                       "NewKey=n\n"
                                                       "this line is garbage\n"
                                                       "\n"
                                                       "; leads into the next section\n"
                                                       "[Other]\n"
                                                       "x=1\n"
                                                       "[NEW]\n"
                                                       "a=b\n"));
    }

    void firstOfRepeatedNamesWins()
    {
        QVERIFY(writeAll(file("dup.ini"), "[S]\nk=first\nK=second\n[s]\nk=third\nonly=here\n"));
        IniFile ini(file("dup.ini"));
        QVERIFY(ini.load());
        QCOMPARE(ini.value("S", "k", "?"), QStringLiteral("first"));
        QVERIFY(!ini.contains("S", "only")); // the later [s] is never consulted
        ini.setValue("s", "K", "changed");
        QCOMPARE(ini.text(), QStringLiteral("[S]\nk=changed\nK=second\n[s]\nk=third\nonly=here\n"));
    }

    void truncatedAndBrokenLinesAreTolerated()
    {
        QVERIFY(writeAll(file("cut.ini"), "[A]\nk=1\n[B\nj=2\n[C]\nSMTPPORT=2"));
        IniFile ini(file("cut.ini"));
        QVERIFY(ini.load());
        QCOMPARE(ini.value("C", "SMTPPORT", "?"), QStringLiteral("2"));
        // "[B" is not a section header; its key counts to [A].
        QVERIFY(!ini.containsSection("B"));
        QCOMPARE(ini.value("A", "j", "?"), QStringLiteral("2"));
        ini.setValue("C", "more", "x");
        QCOMPARE(ini.text(), QStringLiteral("[A]\nk=1\n[B\nj=2\n[C]\nSMTPPORT=2\nmore=x\n"));
    }

    void windowsLineBreaksAndCodePageAreRead()
    {
        QVERIFY(writeAll(file("win.ini"), "[A]\r\nCity=M\xFCnchen\r\n"));
        IniFile ini(file("win.ini"));
        QVERIFY(ini.load());
        // Not UTF-8 (a lone 0xFC): read as Latin-1, written back as UTF-8.
        QCOMPARE(ini.value("A", "City", "?"), QStringLiteral("M\u00fcnchen"));
        ini.setValue("A", "Zip", "80331");
        QVERIFY(ini.save());
        QCOMPARE(readAll(file("win.ini")),
                 QByteArray("[A]\r\nCity=M\xC3\xBCnchen\r\nZip=80331\r\n"));

        QVERIFY(writeAll(file("bom.ini"), "\xEF\xBB\xBF[A]\r\nCity=M\xC3\xBCnchen\r\n"));
        IniFile bom(file("bom.ini"));
        QVERIFY(bom.load());
        QCOMPARE(bom.sections(), QStringList({"A"}));
        QCOMPARE(bom.value("a", "city", "?"), QStringLiteral("M\u00fcnchen"));
    }

    void aValueCannotStartANewLine()
    {
        IniFile ini(file("inject.ini"));
        ini.setValue("MAINC", "CompanyName", "Acme\r\n[SECINFO]\nSecRef=0");
        QVERIFY(ini.save());
        IniFile back(file("inject.ini"));
        QVERIFY(back.load());
        QCOMPARE(back.sections(), QStringList({"MAINC"}));
        QCOMPARE(back.value("MAINC", "CompanyName", "?"),
                 QStringLiteral("Acme  [SECINFO] SecRef=0"));
    }

    void saveTightensPermissions()
    {
        QVERIFY(writeAll(file("open.ini"), "[A]\nk=1\n"));
        QFile::setPermissions(file("open.ini"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ReadGroup |
                                                    QFileDevice::ReadOther);
        IniFile ini(file("open.ini"));
        QVERIFY(ini.load());
        ini.setValue("A", "k", "2");
        QVERIFY(ini.save());
        QCOMPARE(unixMode(file("open.ini")), 0600);
    }

    void failedSaveReportsAndLeavesNoFile()
    {
        // The directory does not exist (and cannot: a file stands in its way).
        QVERIFY(writeAll(file("blocker"), "x"));
        IniFile ini(file("blocker/zr.ini"));
        ini.setValue("A", "k", "v");
        QVERIFY(!ini.save());
        QVERIFY(!ini.errorString().isEmpty());
        QCOMPARE(readAll(file("blocker")), QByteArray("x"));
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "test_ini_file.moc"
