// The editors of the Options menu that edit the settings record and the card
// list: payment options, company information, colours, the account discount,
// each read back from the files on disk.
#include "common/file_utils.h"
#include "common/gui/gui_helpers.h"
#include "common/scripted_messages.h"
#include "common/temp_home.h"

#include "base/ini_file.h"
#include "base/settings.h"
#include "data/main_data_mod.h"
#include "gui/app/help_window.h"
#include "gui/app/main_form.h"
#include "gui/storeconfig/all_account_discount.h"
#include "gui/storeconfig/colors_form.h"
#include "gui/storeconfig/company_info_form.h"
#include "gui/storeconfig/options_cc_form.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <memory>

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

// The value of a key as the file holds it.
QString inFile(const char* section, const char* key)
{
    IniFile ini(settingsFile());
    ini.load();
    return ini.value(QLatin1String(section), QLatin1String(key)).value_or(QStringLiteral("?"));
}

// A window made and shown, as the menu command does it.
template <class Dialog> std::unique_ptr<Dialog> opened()
{
    auto dialog = std::make_unique<Dialog>();
    dialog->show();
    if (!QTest::qWaitForWindowExposed(dialog.get()))
        qWarning("window not exposed");
    return dialog;
}

bool closedWith(const QDialog& dialog, QDialog::DialogCode code)
{
    return !dialog.isVisible() && dialog.result() == code;
}

QStringList items(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

} // namespace

class TestSettingsEditors : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void optionsMenuOpensEveryEditor();

    void paymentOptionsOpenAndStore();
    void paymentOptionsEnablingRules();
    void paymentOptionsCvvFollowsTheSavedChoice();
    void paymentOptionsFeeNotANumber();
    void paymentOptionsCardListWriteFails();
    void paymentOptionsCancel();

    void companyInformation();
    void colorsKeepAnUnlistedColour();
    void colorsImageWarningOnEveryClick();

    void accountDiscount_data();
    void accountDiscount();
    void accountDiscountNotANumber();

private:
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<ScriptedMessages> m_messages;
};

void TestSettingsEditors::init()
{
    m_home = std::make_unique<TempHome>();
    m_messages = std::make_unique<ScriptedMessages>();
    settings() = Settings();
}

void TestSettingsEditors::cleanup()
{
    closeHelpWindow();
    m_messages.reset();
    m_home.reset();
}

void TestSettingsEditors::optionsMenuOpensEveryEditor()
{
    TMainForm form;
    form.show();
    TMainDataMod dm;
    form.openDatabaseCommand();
    m_messages->clear();

    // A new installation's settings file is written at start; Escape stores nothing more.
    const auto fileText = [] {
        QFile f(settingsFile());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray before = fileText();
    const QList<QPair<QStringList, QString>> editors = {
        {{"OptionsMenuAction", "CompanyInformationItem"}, "Company Information"},
        {{"OptionsMenuAction", "StylesAndColorsItem"}, "Colors and Appearance"},
        {{"OptionsMenuAction", "PaymentTypesItem"}, "Payment Options"},
        {{"OptionsMenuAction", "AllAccountDiscountItem"}, "All Account Discount"},
    };
    for (const auto& [path, caption] : editors) {
        QString seen;
        whenModal([&seen](QWidget* w) {
            seen = w->windowTitle();
            // Escape closes every editor without storing.
            QTest::keyClick(w, Qt::Key_Escape);
        });
        QVERIFY(fire(&form, path));
        QCOMPARE(seen, caption);
    }
    QCOMPARE(fileText(), before);
    QCOMPARE(m_messages->texts(), QStringList());
}

void TestSettingsEditors::paymentOptionsOpenAndStore()
{
    QVERIFY(!QFile::exists(m_home->path("data/ccitems.txt")));
    settings().CODFEE = 6;
    settings().CodOrders = false;
    settings().PurchaseOrder = true;
    auto dialog = opened<TOPTIONS_CC_FORM>();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Payment Options"));
    QCOMPARE(dialog->Pages->tabText(0), QStringLiteral("General Methods"));
    QCOMPARE(dialog->Pages->tabText(1), QStringLiteral("Card Processing Methods"));
    QCOMPARE(dialog->Pages->currentIndex(), 0);
    QCOMPARE(dialog->CardList->count(), 0);
    QCOMPARE(dialog->CODFeeEdit->text(), QStringLiteral("6.00"));
    QVERIFY(dialog->PurchaseOrderBox->isChecked());
    QVERIFY(!dialog->CodOrdersBox->isChecked());
    QVERIFY(dialog->LocalBtn->isChecked()); // nothing stored but the default

    // A card typed and added with the button, one with Enter; the field is
    // cleared and "Add" disabled after each.
    QVERIFY(!dialog->AddBtn->isEnabled());
    QTest::keyClicks(dialog->CardEdit, QStringLiteral("Visa"));
    QVERIFY(dialog->AddBtn->isEnabled());
    QTest::mouseClick(dialog->AddBtn, Qt::LeftButton);
    QVERIFY(dialog->CardEdit->text().isEmpty());
    QVERIFY(!dialog->AddBtn->isEnabled());
    QTest::keyClicks(dialog->CardEdit, QStringLiteral("MasterCard"));
    QTest::keyClick(dialog->CardEdit, Qt::Key_Return);
    QVERIFY(dialog->isVisible()); // Enter added the card, it did not close the window
    QTest::keyClicks(dialog->CardEdit, QStringLiteral("Diners"));
    QTest::keyClick(dialog->CardEdit, Qt::Key_Return);
    QCOMPARE(items(dialog->CardList), QStringList({"Visa", "MasterCard", "Diners"}));
    // A double click removes an entry; so does Delete on the selected one.
    QListWidgetItem* master = dialog->CardList->item(1);
    QTest::mouseClick(dialog->CardList->viewport(), Qt::LeftButton, {},
                      dialog->CardList->visualItemRect(master).center());
    QTest::mouseDClick(dialog->CardList->viewport(), Qt::LeftButton, {},
                       dialog->CardList->visualItemRect(master).center());
    QCOMPARE(items(dialog->CardList), QStringList({"Visa", "Diners"}));
    dialog->CardList->setCurrentRow(1);
    QTest::keyClick(dialog->CardList, Qt::Key_Delete);
    QCOMPARE(items(dialog->CardList), QStringList({"Visa"}));

    dialog->CodOrdersBox->click();
    dialog->CODFeeEdit->setText(QStringLiteral("7.5"));
    dialog->Pages->setCurrentIndex(1);
    dialog->RealtimeBtn->click();
    dialog->AskCVVBox->click();
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    QVERIFY(closedWith(*dialog, QDialog::Accepted));

    QCOMPARE(readAll(m_home->path("data/ccitems.txt")), QByteArray("Visa\r\n"));
    QCOMPARE(unixMode(m_home->path("data/ccitems.txt")), 0600);
    QCOMPARE(inFile("MAINC", "CODFEE"), QStringLiteral("7.50"));
    const Settings s = reloaded();
    QCOMPARE(s.CODFEE, 7.5);
    QVERIFY(s.CodOrders);
    QVERIFY(s.PurchaseOrder);
    QVERIFY(s.CC_Rtime);
    QVERIFY(!s.CC_Local);
    QVERIFY(!s.CC_Remote);
    QVERIFY(s.AskCVV);
    QCOMPARE(m_messages->texts(), QStringList());

    // The list opens as written; removing every card writes an empty file.
    auto again = opened<TOPTIONS_CC_FORM>();
    QCOMPARE(items(again->CardList), QStringList({"Visa"}));
    QVERIFY(again->RealtimeBtn->isChecked());
    again->CardList->setCurrentRow(0);
    QTest::keyClick(again->CardList, Qt::Key_Delete);
    QTest::keyClick(again->CODFeeEdit, Qt::Key_Return); // Enter in a field is OK
    QVERIFY(closedWith(*again, QDialog::Accepted));
    QVERIFY(QFile::exists(m_home->path("data/ccitems.txt")));
    QCOMPARE(readAll(m_home->path("data/ccitems.txt")), QByteArray());
}

void TestSettingsEditors::paymentOptionsEnablingRules()
{
    settings().AcceptCC = true;
    settings().CC_Rtime = true;
    settings().CC_Local = false;
    settings().AskCCPhone = true;
    auto dialog = opened<TOPTIONS_CC_FORM>();
    QVERIFY(dialog->AskCVVBox->isEnabled());
    QTest::keyClicks(dialog->CardEdit, QStringLiteral("Amex"));

    // Not accepting cards greys out everything about them, values kept.
    dialog->AcceptCCBox->click();
    for (QWidget* w :
         QList<QWidget*>{dialog->CardList, dialog->CardEdit, dialog->AddBtn, dialog->RemoteBtn,
                         dialog->RealtimeBtn, dialog->LocalBtn, dialog->CardsByPhoneBox,
                         dialog->AskCCPhoneBox, dialog->AskCVVBox})
        QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    QVERIFY(dialog->ChecksByMailBox->isEnabled());
    QVERIFY(dialog->CODFeeEdit->isEnabled());
    dialog->AcceptCCBox->click();
    QVERIFY(dialog->CardList->isEnabled());
    QVERIFY(dialog->AddBtn->isEnabled()); // the field still holds "Amex"
    QVERIFY(dialog->AskCVVBox->isEnabled());

    // Off again and OK: cards refused, the other card settings as shown.
    dialog->AcceptCCBox->click();
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    QVERIFY(closedWith(*dialog, QDialog::Accepted));
    const Settings s = reloaded();
    QVERIFY(!s.AcceptCC);
    QVERIFY(s.CC_Rtime);
    QVERIFY(s.AskCCPhone);
    QVERIFY(s.CardsByPhone);
}

void TestSettingsEditors::paymentOptionsCvvFollowsTheSavedChoice()
{
    // Saved: manual processing. The CVV box follows the choices made now...
    settings().CC_Local = true;
    auto dialog = opened<TOPTIONS_CC_FORM>();
    QVERIFY(!dialog->AskCVVBox->isEnabled());
    dialog->RealtimeBtn->click();
    QVERIFY(dialog->AskCVVBox->isEnabled());
    dialog->RemoteBtn->click();
    QVERIFY(!dialog->AskCVVBox->isEnabled());
    dialog->RealtimeBtn->click();
    dialog->LocalBtn->click();
    QVERIFY(!dialog->AskCVVBox->isEnabled());
    // ...but accepting cards again asks the saved choice, not the shown one.
    dialog->RealtimeBtn->click();
    dialog->AcceptCCBox->click();
    dialog->AcceptCCBox->click();
    QVERIFY(!dialog->AskCVVBox->isEnabled());
    dialog->reject();

    // Saved: remote processing. Choosing it again changes nothing.
    settings().CC_Local = false;
    settings().CC_Remote = true;
    auto remote = opened<TOPTIONS_CC_FORM>();
    QVERIFY(remote->RemoteBtn->isChecked());
    QVERIFY(!remote->AskCVVBox->isEnabled());
    remote->RealtimeBtn->click();
    QVERIFY(remote->AskCVVBox->isEnabled());
    remote->RemoteBtn->click();
    QVERIFY(remote->AskCVVBox->isEnabled());
}

void TestSettingsEditors::paymentOptionsFeeNotANumber()
{
    QVERIFY(writeAll(m_home->path("data/ccitems.txt"), "Visa\r\n"));
    for (const QString& typed : {QStringLiteral("7,50"), QStringLiteral("abc"), QString()}) {
        auto dialog = opened<TOPTIONS_CC_FORM>();
        QTest::keyClicks(dialog->CardEdit, QStringLiteral("Amex"));
        QTest::mouseClick(dialog->AddBtn, Qt::LeftButton);
        dialog->CodOrdersBox->click();
        dialog->CODFeeEdit->setText(typed);
        dialog->Pages->setCurrentIndex(1);
        QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);

        // Named, nothing stored, the window open on the fee.
        QCOMPARE(m_messages->texts(),
                 QStringList{"C.O.D. fee: '" + typed + "' is not a valid floating point value"});
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->Pages->currentIndex(), 0);
        QVERIFY(!settings().CodOrders);
        QCOMPARE(settings().CODFEE, 6.0);
        QVERIFY(!QFile::exists(settingsFile()));
        QCOMPARE(readAll(m_home->path("data/ccitems.txt")), QByteArray("Visa\r\n"));
        m_messages->clear();

        // Corrected, it goes through.
        dialog->CODFeeEdit->setText(QStringLiteral("8.25"));
        QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
        QVERIFY(closedWith(*dialog, QDialog::Accepted));
        QCOMPARE(reloaded().CODFEE, 8.25);
        QCOMPARE(readAll(m_home->path("data/ccitems.txt")), QByteArray("Visa\r\nAmex\r\n"));
        QVERIFY(QFile::remove(settingsFile()));
        QVERIFY(writeAll(m_home->path("data/ccitems.txt"), "Visa\r\n"));
        settings() = Settings();
    }
}

void TestSettingsEditors::paymentOptionsCardListWriteFails()
{
    const QByteArray old = "Visa\r\nMasterCard\r\n";
    QVERIFY(writeAll(m_home->path("data/ccitems.txt"), old));
    auto dialog = opened<TOPTIONS_CC_FORM>();
    // A list longer than the room left on the disk.
    for (int i = 0; i < 40; ++i) {
        QTest::keyClicks(dialog->CardEdit, QStringLiteral("Card number %1").arg(i));
        QTest::keyClick(dialog->CardEdit, Qt::Key_Return);
    }
    dialog->CodOrdersBox->click();
    withFullDisk([&] { QTest::mouseClick(dialog->OKBtn, Qt::LeftButton); }, 64);

    const QStringList texts = m_messages->texts();
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts.first().startsWith("Cannot write file \"" + m_home->path("data/ccitems.txt") +
                                      "\". "),
             qPrintable(texts.first()));
    QVERIFY(texts.first().size() > 30); // the system's reason follows
    QCOMPARE(readAll(m_home->path("data/ccitems.txt")), old);
    QCOMPARE(QDir(m_home->path("data")).entryList({"ccitems*"}, QDir::Files),
             QStringList{"ccitems.txt"});
    QVERIFY(dialog->isVisible());
    QVERIFY(!settings().CodOrders);
    QVERIFY(!QFile::exists(settingsFile()));

    // With room again the same OK writes both.
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    QVERIFY(closedWith(*dialog, QDialog::Accepted));
    QVERIFY(reloaded().CodOrders);
    QVERIFY(readAll(m_home->path("data/ccitems.txt")).endsWith("Card number 39\r\n"));
}

void TestSettingsEditors::paymentOptionsCancel()
{
    QVERIFY(writeAll(m_home->path("data/ccitems.txt"), "Visa\nDiscover"));
    auto dialog = opened<TOPTIONS_CC_FORM>();
    QCOMPARE(items(dialog->CardList), QStringList({"Visa", "Discover"}));
    dialog->CardList->setCurrentRow(0);
    QTest::keyClick(dialog->CardList, Qt::Key_Delete);
    dialog->ChecksByMailBox->click();
    QTest::mouseClick(dialog->CancelBtn, Qt::LeftButton);
    QVERIFY(closedWith(*dialog, QDialog::Rejected));
    QVERIFY(settings().ChecksByMail);
    QVERIFY(!QFile::exists(settingsFile()));
    QCOMPARE(readAll(m_home->path("data/ccitems.txt")), QByteArray("Visa\nDiscover"));
}

void TestSettingsEditors::companyInformation()
{
    auto dialog = opened<TCompanyInfoForm>();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Company Information"));
    QCOMPARE(dialog->CompanyNameEdit->text(), QStringLiteral("Your Company Name"));
    QCOMPARE(dialog->BillingEdit->text(), QStringLiteral("billing@yourdomain.com"));

    // Typed as a merchant does: the name emptied, the others replaced.
    dialog->CompanyNameEdit->selectAll();
    QTest::keyClick(dialog->CompanyNameEdit, Qt::Key_Delete);
    const QList<QPair<QLineEdit*, QString>> typed = {
        {dialog->StreetEdit, "1 Harbour Road"},
        {dialog->CityEdit, "Portsmouth"},
        {dialog->StateEdit, "NH"},
        {dialog->ZipEdit, "03801"},
        {dialog->PhoneEdit, "603-555-0100"},
        {dialog->TollFreeEdit, "888-555-0100"},
        {dialog->OrderEmailEdit, "orders@shop.example"},
        {dialog->InfoMailEdit, "info@shop.example"},
        {dialog->WebMasterEdit, "web@shop.example"},
        {dialog->BillingEdit, "Billing & Accounts <b@shop.example>"}};
    for (const auto& [edit, text] : typed) {
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    // A settings file that cannot be written is named and the window stays.
    withFullDisk([&] { QTest::keyClick(dialog->BillingEdit, Qt::Key_Return); }, 256);
    QCOMPARE(m_messages->texts().size(), 1);
    QVERIFY(m_messages->texts().first().startsWith("The settings could not be saved to \"" +
                                                   QDir::toNativeSeparators(settingsFile())));
    QVERIFY(dialog->isVisible());
    QVERIFY(!QFile::exists(settingsFile()));
    m_messages->clear();
    QTest::keyClick(dialog->BillingEdit, Qt::Key_Return);
    QVERIFY(closedWith(*dialog, QDialog::Accepted));

    QCOMPARE(inFile("MAINC", "CompanyName"), QString());
    const Settings s = reloaded();
    QCOMPARE(s.CompanyName, QString());
    QCOMPARE(s.CompanyStreet, QStringLiteral("1 Harbour Road"));
    QCOMPARE(s.CompanyCity, QStringLiteral("Portsmouth"));
    QCOMPARE(s.CompanyState, QStringLiteral("NH"));
    QCOMPARE(s.CompanyZip, QStringLiteral("03801"));
    QCOMPARE(s.CompanyPhone, QStringLiteral("603-555-0100"));
    QCOMPARE(s.TollFree, QStringLiteral("888-555-0100"));
    QCOMPARE(s.OrderEmail, QStringLiteral("orders@shop.example"));
    QCOMPARE(s.infoMail, QStringLiteral("info@shop.example"));
    QCOMPARE(s.WEbMasterEmail, QStringLiteral("web@shop.example"));
    QCOMPARE(s.BillingMail, QStringLiteral("Billing & Accounts <b@shop.example>"));

    // Cancel stores nothing; Help opens topic 11.
    auto again = opened<TCompanyInfoForm>();
    again->CompanyNameEdit->setText(QStringLiteral("Other"));
    QTest::mouseClick(again->HelpBtn, Qt::LeftButton);
    QVERIFY(THelpWindow::current());
    QCOMPARE(THelpWindow::current()->browser()->source(), helpTopicUrl(11));
    QTest::mouseClick(again->CancelBtn, Qt::LeftButton);
    QVERIFY(closedWith(*again, QDialog::Rejected));
    QCOMPARE(reloaded().CompanyName, QString());
}

void TestSettingsEditors::colorsKeepAnUnlistedColour()
{
    settings().BGColor = 0x996633; // #336699, none of the named colours
    settings().LinkColor = 255;
    auto dialog = opened<TColorsForm>();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Colors and Appearance"));
    QCOMPARE(dialog->BGColorBox->currentText(), QStringLiteral("#336699"));
    QCOMPARE(dialog->TextColorBox->currentText(), QStringLiteral("Black"));
    QCOMPARE(dialog->LinkColorBox->currentText(), QStringLiteral("Red"));
    QCOMPARE(dialog->ALinkColorBox->currentText(), QStringLiteral("Gray"));
    QCOMPARE(dialog->VLinkColorBox->currentText(), QStringLiteral("Navy"));
    QCOMPARE(dialog->LinkColorBox->count(), 16); // a listed colour adds nothing

    // The link colour picked with the keyboard: Red, then Lime.
    dialog->LinkColorBox->setFocus();
    QTest::keyClick(dialog->LinkColorBox, Qt::Key_Down);
    QCOMPARE(dialog->LinkColorBox->currentText(), QStringLiteral("Lime"));
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    QVERIFY(closedWith(*dialog, QDialog::Accepted));
    QCOMPARE(inFile("MAINC", "LinkColor"), QStringLiteral("65280"));
    QCOMPARE(inFile("MAINC", "BGColor"), QString::number(0x996633));

    // Cancel keeps what was saved.
    auto again = opened<TColorsForm>();
    QCOMPARE(again->BGColorBox->currentText(), QStringLiteral("#336699"));
    again->BGColorBox->setCurrentIndex(0);
    QTest::keyClick(again->BGColorBox, Qt::Key_Escape);
    QVERIFY(closedWith(*again, QDialog::Rejected));
    QCOMPARE(reloaded().BGColor, 0x996633);
}

void TestSettingsEditors::colorsImageWarningOnEveryClick()
{
    const QString warning = QStringLiteral(
        "Background images may cause security problems in a secure area if you do not have "
        "your own digital certificate; it is recommended that you leave this blank.");
    auto dialog = opened<TColorsForm>();
    QTest::mouseClick(dialog->BGImageEdit, Qt::LeftButton);
    QTest::mouseClick(dialog->BGImageEdit, Qt::LeftButton);
    QCOMPARE(m_messages->texts(), QStringList({warning, warning}));
    QTest::keyClicks(dialog->BGImageEdit, QStringLiteral("/images/paper.gif"));
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    QCOMPARE(reloaded().BGImagePath, QStringLiteral("/images/paper.gif"));
}

void TestSettingsEditors::accountDiscount_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("stored");
    QTest::addColumn<QString>("written");
    QTest::newRow("percent") << "5" << 0.05 << "0.05000";
    QTest::newRow("fraction") << "0.5" << 0.5 << "0.50000";
    QTest::newRow("one") << "1" << 1.0 << "1.00000";
    QTest::newRow("fifteen") << "15" << 0.15 << "0.15000";
}

void TestSettingsEditors::accountDiscount()
{
    QFETCH(QString, typed);
    QFETCH(double, stored);
    QFETCH(QString, written);
    auto dialog = opened<TAllAccountDiscount>();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("All Account Discount"));
    QCOMPARE(dialog->DiscountEdit->text(), QStringLiteral("0.03000"));
    dialog->DiscountEdit->selectAll();
    QTest::keyClicks(dialog->DiscountEdit, typed);
    QTest::keyClick(dialog->DiscountEdit, Qt::Key_Return);
    QVERIFY(closedWith(*dialog, QDialog::Accepted));
    QCOMPARE(inFile("MAINC", "AllAccountsDiscount"), written);
    QCOMPARE(reloaded().AllAccountsDiscount, stored);
}

void TestSettingsEditors::accountDiscountNotANumber()
{
    auto dialog = opened<TAllAccountDiscount>();
    dialog->DiscountEdit->setText(QStringLiteral("five"));
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    QCOMPARE(m_messages->texts(), QStringList{"All Account Discount Conversion Error!"});
    QVERIFY(closedWith(*dialog, QDialog::Rejected));
    QCOMPARE(settings().AllAccountsDiscount, 0.03);
    QVERIFY(!QFile::exists(settingsFile()));

    auto cancelled = opened<TAllAccountDiscount>();
    cancelled->DiscountEdit->setText(QStringLiteral("0.2"));
    QTest::mouseClick(cancelled->CancelBtn, Qt::LeftButton);
    QVERIFY(closedWith(*cancelled, QDialog::Rejected));
    QCOMPARE(settings().AllAccountsDiscount, 0.03);
    QVERIFY(!QFile::exists(settingsFile()));
}

QTEST_MAIN(TestSettingsEditors)
#include "test_settings_editors.moc"
