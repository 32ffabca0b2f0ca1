// The connection settings dialogs and the change-password dialog, offscreen.
#include "base/ini_file.h"
#include "base/settings.h"
#include "common/scripted_messages.h"
#include "common/temp_home.h"
#include "gui/app/help_window.h"
#include "gui/settings/change_password.h"
#include "gui/settings/manager_connection.h"
#include "gui/settings/security_stuff.h"
#include "gui/settings/web_docs_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

using namespace os;
using namespace os::test;

namespace {

// What the settings file holds: the record reloaded from it.
Settings reloaded()
{
    settings() = Settings();
    LoadSettings();
    return settings();
}

} // namespace

class TestConnectionDialogs : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void netConnectionFillsAndStores();
    void netConnectionPortLimitsAndCancel();
    void netConnectionHelloNotice();
    void webDocsEnablingRule();
    void webDocsSecureOnlyQuestion();
    void webDocsSecureOnlyAlreadyStored();
    void webDocsStoreDomainWriteFailure();
    void webDocsStoreCharset();
    void spoofPreventionSuggestedExpression();
    void spoofPreventionGetAndPostWarning();
    void changePasswordOkRule();
    void changePasswordKeyFilter();
    void changePasswordPastedText();
    void changePasswordResult();

private:
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<ScriptedMessages> m_messages;
};

void TestConnectionDialogs::init()
{
    m_home = std::make_unique<TempHome>();
    m_messages = std::make_unique<ScriptedMessages>();
    settings() = Settings();
}

void TestConnectionDialogs::cleanup()
{
    closeHelpWindow();
    m_messages.reset();
    m_home.reset();
}

void TestConnectionDialogs::netConnectionFillsAndStores()
{
    settings().VendixManagerURL = QStringLiteral("https://shop.example/cgi-bin/ordersentinel.cgi");
    settings().IGNORE_INVALID_CERT = false;
    settings().SMTPServer = QStringLiteral("mail.shop.example");
    settings().SMTPPORT = 25;
    settings().SMTPhello = QString();

    TManagerConnection dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Ordersentinel Net Connection Settings"));
    QCOMPARE(dialog.URLEdit->text(),
             QStringLiteral("https://shop.example/cgi-bin/ordersentinel.cgi"));
    QVERIFY(!dialog.IgnoreCertBox->isChecked());
    QCOMPARE(dialog.SMTPServerEdit->text(), QStringLiteral("mail.shop.example"));
    QCOMPARE(dialog.PortSpin->value(), 25);

    dialog.URLEdit->setText(QStringLiteral("http://127.0.0.1:8080/ordersentinel.cgi"));
    dialog.IgnoreCertBox->setChecked(true);
    dialog.SMTPServerEdit->setText(QStringLiteral("smtp.other.example"));
    dialog.PortSpin->selectAll();
    QTest::keyClicks(dialog.PortSpin, QStringLiteral("587"));
    dialog.HelloEdit->setText(QStringLiteral("desk.shop.example"));
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    const Settings s = reloaded();
    QCOMPARE(s.VendixManagerURL, QStringLiteral("http://127.0.0.1:8080/ordersentinel.cgi"));
    QVERIFY(s.IGNORE_INVALID_CERT);
    QCOMPARE(s.SMTPServer, QStringLiteral("smtp.other.example"));
    QCOMPARE(s.SMTPPORT, 587);
    QCOMPARE(s.SMTPhello, QStringLiteral("desk.shop.example"));
}

void TestConnectionDialogs::netConnectionPortLimitsAndCancel()
{
    TManagerConnection dialog;
    QCOMPARE(dialog.PortSpin->minimum(), 0);
    QCOMPARE(dialog.PortSpin->maximum(), 25000);
    dialog.PortSpin->setValue(30000);
    QCOMPARE(dialog.PortSpin->value(), 25000);
    dialog.PortSpin->setValue(25000);
    QTest::keyClick(dialog.PortSpin, Qt::Key_Up);
    QCOMPARE(dialog.PortSpin->value(), 25000);

    // Cancel stores nothing.
    dialog.URLEdit->setText(QStringLiteral("http://changed.example/"));
    QTest::mouseClick(dialog.CancelBtn, Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(settings().VendixManagerURL, Settings().VendixManagerURL);
    QCOMPARE(settings().SMTPPORT, 25);
    QVERIFY(!QFile::exists(settingsFile()));
}

void TestConnectionDialogs::netConnectionHelloNotice()
{
    TManagerConnection dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(dialog.HelloEdit, Qt::LeftButton);
    QCOMPARE(m_messages->texts(),
             QStringList{"This field should be left blank in almost all cases. This is for "
                         "advanced usage only. If "
                         "you are not sure what to put in this field, then leave it empty."});
    // Other fields say nothing.
    QTest::mouseClick(dialog.SMTPServerEdit, Qt::LeftButton);
    QCOMPARE(m_messages->texts().size(), 1);
}

void TestConnectionDialogs::webDocsEnablingRule()
{
    settings().UseSSL = true;
    settings().SSLOnly = true;
    settings().SSLCGIBINLocation = QStringLiteral("https://secure.example/cgi-bin");
    TWebDocsForm dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Web Documents"));
    QCOMPARE(dialog.Pages->count(), 2);
    QCOMPARE(dialog.Pages->tabText(0), QStringLiteral("CGI Location (Vital Configs)"));
    QCOMPARE(dialog.Pages->tabText(1), QStringLiteral("Web Pages"));
    QVERIFY(dialog.SSLCGIBINEdit->isEnabled());
    QVERIFY(dialog.SSLOnlyBox->isEnabled());

    // Unchecking disables but keeps the values.
    dialog.UseSSLBox->click();
    QVERIFY(!dialog.SSLCGIBINEdit->isEnabled());
    QVERIFY(!dialog.SSLOnlyBox->isEnabled());
    QCOMPARE(dialog.SSLCGIBINEdit->text(), QStringLiteral("https://secure.example/cgi-bin"));
    QVERIFY(dialog.SSLOnlyBox->isChecked());

    dialog.CGIBINEdit->setText(QStringLiteral("http://plain.example/cgi-bin"));
    dialog.HomePageEdit->setText(QStringLiteral("http://plain.example/"));
    dialog.StoreEntranceEdit->setText(QStringLiteral("http://plain.example/store/"));
    dialog.PoliciesEdit->setText(QStringLiteral("http://plain.example/policies/"));
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);

    const Settings s = reloaded();
    QVERIFY(!s.UseSSL);
    QCOMPARE(s.SSLCGIBINLocation, QStringLiteral("https://secure.example/cgi-bin"));
    QVERIFY(s.SSLOnly);
    QCOMPARE(s.CGIBINLocation, QStringLiteral("http://plain.example/cgi-bin"));
    QCOMPARE(s.Home_page, QStringLiteral("http://plain.example/"));
    QCOMPARE(s.store_entrance, QStringLiteral("http://plain.example/store/"));
    QCOMPARE(s.policies_page, QStringLiteral("http://plain.example/policies/"));
    QCOMPARE(m_messages->texts(), QStringList());
}

void TestConnectionDialogs::webDocsSecureOnlyQuestion()
{
    const QString question = QStringLiteral("Some shoppers on your web site may not be able to "
                                            "checkout online. Click \"Yes\" for more information; "
                                            "click \"No\" to continue what you are doing. ");
    settings().UseSSL = true;
    settings().SSLOnly = false;
    TWebDocsForm dialog;
    QVERIFY(!dialog.SSLOnlyBox->isChecked());

    m_messages->queueAnswer(Answer::No);
    dialog.SSLOnlyBox->click();
    QCOMPARE(m_messages->texts(), QStringList{question});
    QVERIFY(dialog.SSLOnlyBox->isChecked());
    QVERIFY(!THelpWindow::current());

    dialog.SSLOnlyBox->click(); // unchecking asks nothing
    QCOMPARE(m_messages->texts().size(), 1);

    m_messages->queueAnswer(Answer::Yes);
    dialog.SSLOnlyBox->click();
    QCOMPARE(m_messages->texts(), (QStringList{question, question}));
    QVERIFY(dialog.SSLOnlyBox->isChecked());
    QVERIFY(THelpWindow::current());
    QCOMPARE(THelpWindow::current()->browser()->source(), helpTopicUrl(61));

    // Cancel stores nothing.
    QTest::mouseClick(dialog.CancelBtn, Qt::LeftButton);
    QVERIFY(!settings().SSLOnly);
}

void TestConnectionDialogs::webDocsSecureOnlyAlreadyStored()
{
    settings().UseSSL = true;
    settings().SSLOnly = true;
    TWebDocsForm dialog;
    dialog.SSLOnlyBox->click(); // off
    dialog.SSLOnlyBox->click(); // on again: stored as true, so no question
    QVERIFY(dialog.SSLOnlyBox->isChecked());
    QCOMPARE(m_messages->texts(), QStringList());
}

void TestConnectionDialogs::spoofPreventionSuggestedExpression()
{
    settings().storeDomain = QStringLiteral(".myshop.example");
    settings().SecURL = QStringLiteral("^custom$");
    settings().SecRef = true;
    settings().SecGet = false;
    settings().SecPost = true;
    TSecurityStuff dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Advanced Spoof Prevention"));
    QCOMPARE(dialog.SecURLEdit->text(), QStringLiteral("^custom$"));
    QVERIFY(dialog.SecRefBox->isChecked());
    QVERIFY(!dialog.SecGetBox->isChecked());
    QVERIFY(dialog.SecPostBox->isChecked());

    QTest::mouseClick(dialog.SuggestLink, Qt::LeftButton);
    // The leading full stop of the domain is dropped.
    QCOMPARE(dialog.SecURLEdit->text(),
             QStringLiteral("^https?://([a-zA-Z0-9\\-\\.]*\\.)?myshop\\.example/"));

    dialog.SecRefBox->click();
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    const Settings s = reloaded();
    QCOMPARE(s.SecURL, QStringLiteral("^https?://([a-zA-Z0-9\\-\\.]*\\.)?myshop\\.example/"));
    QVERIFY(!s.SecRef);
    QVERIFY(!s.SecGet);
    QVERIFY(s.SecPost);
}

void TestConnectionDialogs::webDocsStoreDomainWriteFailure()
{
    // An installation file that cannot be written (a directory stands in its place).
    QVERIFY(QDir().mkpath(installationFile() + QStringLiteral("/x")));
    TWebDocsForm dialog;
    dialog.show();
    dialog.StoreDomainEdit->setText(QStringLiteral("myshop.test"));
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QCOMPARE(m_messages->texts().size(), 1);
    QVERIFY2(m_messages->texts().first().startsWith("The settings could not be saved to \"" +
                                                    QDir::toNativeSeparators(installationFile()) +
                                                    "\": "),
             qPrintable(m_messages->texts().first()));
    QCOMPARE(settings().storeDomain, QStringLiteral("myshop.test"));

    // Once the cause is gone, OK saves it.
    QVERIFY(QDir(installationFile()).removeRecursively());
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    settings() = Settings();
    LoadSettings();
    QCOMPARE(settings().storeDomain, QStringLiteral("myshop.test"));
}

void TestConnectionDialogs::webDocsStoreCharset()
{
    {
        TWebDocsForm dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.StoreCharsetBox->currentText(), QStringLiteral("windows-1252"));
        // The field's mnemonic, an arrow, Enter: the dialog's OK.
        QTest::keyClick(&dialog, Qt::Key_C, Qt::AltModifier);
        QVERIFY(dialog.StoreCharsetBox->hasFocus());
        QTest::keyClick(dialog.StoreCharsetBox, Qt::Key_Down);
        QCOMPARE(dialog.StoreCharsetBox->currentText(), QStringLiteral("utf-8"));
        QTest::keyClick(dialog.StoreCharsetBox, Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QCOMPARE(m_messages->texts(), QStringList());
    IniFile ini(installationFile());
    QVERIFY(ini.load());
    QCOMPARE(ini.value(QStringLiteral("Installation"), QStringLiteral("StoreCharset"), QString()),
             QStringLiteral("utf-8"));
    settings() = Settings();
    LoadSettings();
    QCOMPARE(settings().storeCharset, StoreCharset::Utf8);

    // Shown again as stored; Escape keeps it.
    TWebDocsForm again;
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QCOMPARE(again.StoreCharsetBox->currentText(), QStringLiteral("utf-8"));
    QTest::keyClick(&again, Qt::Key_C, Qt::AltModifier);
    QTest::keyClick(again.StoreCharsetBox, Qt::Key_Up);
    QTest::keyClick(again.StoreCharsetBox, Qt::Key_Escape);
    QCOMPARE(again.result(), int(QDialog::Rejected));
    settings() = Settings();
    LoadSettings();
    QCOMPARE(settings().storeCharset, StoreCharset::Utf8);
}

void TestConnectionDialogs::spoofPreventionGetAndPostWarning()
{
    const QString warning = QStringLiteral(
        "Rejecting both GET and POST requests will prevent Vendix from accepting items.");
    settings().SecGet = false;
    settings().SecPost = false;
    TSecurityStuff dialog;
    dialog.SecGetBox->click();
    QCOMPARE(m_messages->texts(), QStringList());
    dialog.SecPostBox->click();
    QCOMPARE(m_messages->texts(), QStringList{warning});
    // The boxes stay as they are.
    QVERIFY(dialog.SecGetBox->isChecked());
    QVERIFY(dialog.SecPostBox->isChecked());
    dialog.SecGetBox->click(); // now only POST: nothing
    QCOMPARE(m_messages->texts().size(), 1);
    dialog.SecGetBox->click(); // both again
    QCOMPARE(m_messages->texts(), (QStringList{warning, warning}));
}

void TestConnectionDialogs::changePasswordOkRule()
{
    TChangePassword dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Change Password"));
    QCOMPARE(dialog.NewPassEdit->echoMode(), QLineEdit::Password);
    QCOMPARE(dialog.ConfirmPassEdit->echoMode(), QLineEdit::Password);
    QVERIFY(!dialog.OKBtn->isEnabled());

    QTest::keyClicks(dialog.NewPassEdit, QStringLiteral("ab12c"));
    QVERIFY(!dialog.OKBtn->isEnabled());
    QTest::keyClicks(dialog.ConfirmPassEdit, QStringLiteral("ab12C")); // differs in case
    QVERIFY(!dialog.OKBtn->isEnabled());
    QTest::keyClick(dialog.ConfirmPassEdit, Qt::Key_Backspace);
    QTest::keyClicks(dialog.ConfirmPassEdit, QStringLiteral("c"));
    QVERIFY(dialog.OKBtn->isEnabled());

    // Four equal characters are too few.
    dialog.NewPassEdit->clear();
    dialog.ConfirmPassEdit->clear();
    QTest::keyClicks(dialog.NewPassEdit, QStringLiteral("ab_1"));
    QTest::keyClicks(dialog.ConfirmPassEdit, QStringLiteral("ab_1"));
    QVERIFY(!dialog.OKBtn->isEnabled());
    QCOMPARE(m_messages->beeps(), 0);
}

void TestConnectionDialogs::changePasswordKeyFilter()
{
    TChangePassword dialog;
    QTest::keyClicks(dialog.NewPassEdit, QStringLiteral("ab-c d.e"));
    QCOMPARE(dialog.NewPassEdit->text(), QStringLiteral("abcde"));
    QCOMPARE(m_messages->beeps(), 3);
    QTest::keyClick(dialog.NewPassEdit, Qt::Key_Backspace);
    QCOMPARE(dialog.NewPassEdit->text(), QStringLiteral("abcd"));
    QTest::keyClicks(dialog.ConfirmPassEdit, QStringLiteral("Z9_"));
    QKeyEvent accented(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QStringLiteral("\u00e9"));
    QApplication::sendEvent(dialog.ConfirmPassEdit, &accented);
    QCOMPARE(dialog.ConfirmPassEdit->text(), QStringLiteral("Z9_"));
    QCOMPARE(m_messages->beeps(), 4);

    // Characters typed with Alt, Meta or Ctrl+Alt (AltGr) are typed all the
    // same: the same filter, the same beep.
    QTest::keyClick(dialog.ConfirmPassEdit, '-', Qt::AltModifier);
    QTest::keyClick(dialog.ConfirmPassEdit, '.', Qt::MetaModifier);
    QTest::keyClick(dialog.ConfirmPassEdit, '@', Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(dialog.ConfirmPassEdit, '{', Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(dialog.ConfirmPassEdit->text(), QStringLiteral("Z9_"));
    QCOMPARE(m_messages->beeps(), 8);
    QTest::keyClick(dialog.ConfirmPassEdit, 'q', Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(dialog.ConfirmPassEdit->text(), QStringLiteral("Z9_q"));
    // Ctrl chords are shortcuts, not typing: select all, then a typed key replaces it.
    QTest::keyClick(dialog.ConfirmPassEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(dialog.ConfirmPassEdit, QStringLiteral("x"));
    QCOMPARE(dialog.ConfirmPassEdit->text(), QStringLiteral("x"));
    QCOMPARE(m_messages->beeps(), 8);
}

void TestConnectionDialogs::changePasswordPastedText()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("a-b c"));
    if (clipboard->text() != QLatin1String("a-b c"))
        QSKIP("no clipboard on this platform");
    TChangePassword dialog;
    QTest::keyClick(dialog.NewPassEdit, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(dialog.ConfirmPassEdit, Qt::Key_V, Qt::ControlModifier);
    // Pasted text is checked for length and equality only.
    QCOMPARE(dialog.NewPassEdit->text(), QStringLiteral("a-b c"));
    QVERIFY(dialog.OKBtn->isEnabled());
    QCOMPARE(m_messages->beeps(), 0);
}

void TestConnectionDialogs::changePasswordResult()
{
    {
        TChangePassword dialog;
        QTest::keyClicks(dialog.NewPassEdit, QStringLiteral("Fresh_pass7"));
        QTest::keyClicks(dialog.ConfirmPassEdit, QStringLiteral("Fresh_pass7"));
        QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
        QVERIFY(dialog.confirmed());
        QCOMPARE(dialog.newPassword(), QStringLiteral("Fresh_pass7"));
    }
    {
        TChangePassword dialog;
        QTest::keyClicks(dialog.NewPassEdit, QStringLiteral("Fresh_pass7"));
        QTest::keyClicks(dialog.ConfirmPassEdit, QStringLiteral("Fresh_pass7"));
        QTest::mouseClick(dialog.CancelBtn, Qt::LeftButton);
        QVERIFY(!dialog.confirmed());
    }
}

QTEST_MAIN(TestConnectionDialogs)
#include "test_connection_dialogs.moc"
