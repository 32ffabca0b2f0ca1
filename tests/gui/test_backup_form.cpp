// "&File" > "Back Up Company Database...": the real main window offscreen,
// real table files, the backup run by the window's own buttons and keys.
#include "common/gui/gui_helpers.h"
#include "common/gui/program_fixture.h"

#include "common/file_utils.h"
#include "common/scripted_messages.h"
#include "common/temp_home.h"

#include "base/ini_file.h"
#include "base/paths.h"
#include "data/backup.h"
#include "data/main_data_mod.h"
#include "data/query.h"
#include "gui/app/backup_form.h"
#include "gui/app/main_form.h"
#include "gui/app/message_box.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include <memory>

using namespace os;
using os::test::fire;
using os::test::whenModal;

class TestBackupForm : public test::ProgramFixture
{
    Q_OBJECT

    // Opens the window from the File menu and runs `work` on it while it is up.
    void withBackupForm(const std::function<void(TBackupForm*)>& work)
    {
        bool ran = false;
        whenModal([&](QWidget* w) {
            auto* form = qobject_cast<TBackupForm*>(w);
            QVERIFY(form);
            QVERIFY(QTest::qWaitForWindowActive(form));
            ran = true;
            work(form);
            if (form->isVisible())
                QTest::keyClick(form, Qt::Key_Escape);
        });
        QVERIFY(fire(m_form.get(), {"FileMenuAction", "BackupItem"}));
        QVERIFY(ran);
    }

    // Enter on the Back Up button, then waits for the backup's end.
    static bool backUp(TBackupForm* form)
    {
        QSignalSpy ended(form, &TBackupForm::finished);
        form->BackupBtn->setFocus();
        QTest::keyClick(form->BackupBtn, Qt::Key_Return);
        return (ended.size() == 1 || ended.wait(120000)) && ended.first().first().toBool();
    }

private slots:
    void initTestCase() { installWindowServices(); }

    void init()
    {
        newHome();
        TMainDataMod::CreateMissingTables(AppPaths::dataDir());
        QVERIFY(test::writeAll(AppPaths::dataFile(QStringLiteral("ccitems.txt")), "Visa\r\n"));
        showProgram(false);
        m_messages->clear();
    }

    void cleanup() { closeProgram(); }

    void backUpTypedFolderKeepingTheNewest()
    {
        const QString dest = m_home->path(QStringLiteral("my backups"));
        QString first;
        withBackupForm([&](TBackupForm* form) {
            // The folder proposed at first is the home's backups folder.
            QCOMPARE(form->FolderEdit->text(),
                     QDir::toNativeSeparators(m_home->path(QStringLiteral("backups"))));
            QCOMPARE(form->focusWidget(), form->FolderEdit);
            form->FolderEdit->selectAll();
            QTest::keyClicks(form->FolderEdit, dest);
            QVERIFY(backUp(form));
            first = form->lastBackup();
            QCOMPARE(m_messages->texts(),
                     QStringList({QStringLiteral("The company database is backed up in\r") +
                                  QDir::toNativeSeparators(first)}));
            QCOMPARE(form->ProgressBar->value(), form->ProgressBar->maximum());
            QCOMPARE(form->CloseBtn->text(), QStringLiteral("&Close"));
        });
        QCOMPARE(CompanyBackup::completeBackups(dest), QStringList({QFileInfo(first).fileName()}));
        QCOMPARE(test::readAll(first + QStringLiteral("/ccitems.txt")), QByteArray("Visa\r\n"));
        QCOMPARE(test::unixMode(first + QStringLiteral("/orders.db")), 0600);

        // The window remembers the folder; "keep the newest 1" removes the first backup.
        m_messages->clear();
        QString second;
        withBackupForm([&](TBackupForm* form) {
            QCOMPARE(form->FolderEdit->text(), QDir::toNativeSeparators(dest));
            QCOMPARE(form->KeepSpin->text(), QStringLiteral("all"));
            form->KeepSpin->setFocus();
            QTest::keyClick(form->KeepSpin, Qt::Key_Up);
            QCOMPARE(form->KeepSpin->value(), 1);
            // Two backups in one second get distinct names, so the newest is the second.
            QVERIFY(backUp(form));
            second = form->lastBackup();
            QCOMPARE(m_messages->texts(),
                     QStringList({QStringLiteral("The company database is backed up in\r") +
                                  QDir::toNativeSeparators(second) +
                                  QStringLiteral("\r\rOlder backups removed: 1")}));
        });
        QCOMPARE(CompanyBackup::completeBackups(dest), QStringList({QFileInfo(second).fileName()}));
        IniFile ini(m_home->path(QStringLiteral("ordersentinel.ini")));
        QVERIFY(ini.load());
        QCOMPARE(ini.value(QStringLiteral("Backup"), QStringLiteral("Keep"), QString()),
                 QStringLiteral("1"));
    }

    // The invoice pages always go with the tables; the kept store replies
    // when the box is ticked; a table that cannot be read costs only
    // itself and is named.
    void invoicesRepliesAndABadTable()
    {
        QVERIFY(test::writeAll(AppPaths::dataFile(QStringLiteral("html/1001inv.html")),
                               "<html>1001</html>"));
        QVERIFY(QDir().mkpath(m_home->path(QStringLiteral("retrievals"))));
        QVERIFY(test::writeAll(m_home->path(QStringLiteral("retrievals/2026-01-01.reply")),
                               "DataSuccess"));
        const QString bad = AppPaths::dataFile(QStringLiteral("coupons.db"));
        QVERIFY(test::writeAll(bad, QByteArray(4096, 'z')));
        const QString dest = m_home->path(QStringLiteral("b"));
        QString made;
        withBackupForm([&](TBackupForm* form) {
            QVERIFY(!form->RepliesCheck->isChecked());
            QVERIFY(!form->FullCheckCheck->isChecked());
            form->FolderEdit->selectAll();
            QTest::keyClicks(form->FolderEdit, dest);
            // Tab past Browse and the count to the boxes; Space ticks them.
            for (int i = 0; i < 3; ++i)
                QTest::keyClick(form->focusWidget(), Qt::Key_Tab);
            QCOMPARE(form->focusWidget(), form->RepliesCheck);
            QTest::keyClick(form->RepliesCheck, Qt::Key_Space);
            QVERIFY(form->RepliesCheck->isChecked());
            QTest::keyClick(form->RepliesCheck, Qt::Key_Tab);
            QCOMPARE(form->focusWidget(), form->FullCheckCheck);
            QTest::keyClick(form->FullCheckCheck, Qt::Key_Space);
            QVERIFY(form->FullCheckCheck->isChecked());
            QVERIFY(!backUp(form));
            made = form->lastBackup();
            QCOMPARE(m_messages->texts(),
                     QStringList({QStringLiteral("The company database is backed up in\r%1\r\r"
                                                 "except:\r\rCannot back up coupons.db.\rfile is "
                                                 "not a database")
                                      .arg(QDir::toNativeSeparators(made))}));
            QCOMPARE(form->StatusLabel->text(),
                     QStringLiteral("Backed up in %1, without 1 of its table files.")
                         .arg(QDir::toNativeSeparators(made)));
        });
        QCOMPARE(CompanyBackup::completeBackups(dest), QStringList({QFileInfo(made).fileName()}));
        QVERIFY(!QFileInfo::exists(made + QStringLiteral("/coupons.db")));
        QVERIFY(QFileInfo::exists(made + QStringLiteral("/orders.db")));
        QCOMPARE(test::readAll(made + QStringLiteral("/html/1001inv.html")),
                 QByteArray("<html>1001</html>"));
        QCOMPARE(test::unixMode(made + QStringLiteral("/html")), 0700);
        QCOMPARE(test::unixMode(made + QStringLiteral("/html/1001inv.html")), 0600);
        QCOMPARE(test::readAll(made + QStringLiteral("/retrievals/2026-01-01.reply")),
                 QByteArray("DataSuccess"));
        // The boxes are remembered.
        withBackupForm([&](TBackupForm* form) {
            QVERIFY(form->RepliesCheck->isChecked());
            QVERIFY(form->FullCheckCheck->isChecked());
        });
    }

    void failureIsShownAndNothingIsLeft()
    {
        // No folder: asked for one, nothing started.
        withBackupForm([&](TBackupForm* form) {
            form->FolderEdit->clear();
            QTest::keyClick(form->FolderEdit, Qt::Key_Return);
            QCOMPARE(m_messages->texts(),
                     QStringList({QStringLiteral("Choose the folder that gets the backup.")}));
            QVERIFY(!form->running());
            QCOMPARE(form->focusWidget(), form->FolderEdit);

            // A destination that is a file cannot hold a backup folder.
            m_messages->clear();
            const QString file = m_home->path(QStringLiteral("a-file"));
            QVERIFY(test::writeAll(file, "x"));
            QTest::keyClicks(form->FolderEdit, file);
            QSignalSpy ended(form, &TBackupForm::finished);
            QTest::keyClick(form->FolderEdit, Qt::Key_Return);
            QVERIFY(ended.size() == 1 || ended.wait(60000));
            QCOMPARE(ended.first().first().toBool(), false);
            QCOMPARE(m_messages->texts(),
                     QStringList({QStringLiteral("Cannot create directory \"%1\".").arg(file)}));
            QCOMPARE(form->StatusLabel->text(), QStringLiteral("The backup was not made."));
            QVERIFY(form->FolderEdit->isEnabled());
        });
    }
};

QTEST_MAIN(TestBackupForm)
#include "test_backup_form.moc"
