// The editors of the Options menu that edit rate tables in a grid (shipping,
// taxes, coupons, gifts, currencies, merchant accounts), driven through their
// grids, buttons and keys, read back from the settings file and the tables.
#include "common/gui/gui_helpers.h"
#include "common/scripted_messages.h"
#include "common/table_rows.h"
#include "common/temp_home.h"

#include "base/settings.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/db_grid.h"
#include "gui/app/help_window.h"
#include "gui/app/main_form.h"
#include "gui/app/message_box.h"
#include "gui/storeconfig/basic_ship_form.h"
#include "gui/storeconfig/coupon_form.h"
#include "gui/storeconfig/currency_conversion_fm.h"
#include "gui/storeconfig/gift_options_form.h"
#include "gui/storeconfig/merchant_account_form.h"
#include "gui/storeconfig/smart_taxes_form.h"
#include "gui/storeconfig/taxes_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTest>

#include <memory>

using namespace os;
using namespace os::test;

namespace {

const QString kPercentage = QStringLiteral(
    "Percentages should be in 0.00 format.\r\rExample: 0.25 would be 25 percent, while 0.025 "
    "would be 2.5 percent.\r\rAnything over 1 is over 100 percent!");
const QString kTaxShippingQuestion = QStringLiteral(
    "Tax the total including the shipping fees?\r\rClick Help for additional information.");

Settings reloaded()
{
    settings() = Settings();
    LoadSettings();
    return settings();
}

template <class Dialog> std::unique_ptr<Dialog> opened()
{
    auto dialog = std::make_unique<Dialog>();
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
    if (!QTest::qWaitForWindowExposed(dialog.get()))
        qWarning("window not exposed");
    return dialog;
}

// A radio button answers a click on its circle or caption, not on the blank
// part of its row: click where the merchant would.
void choose(QAbstractButton* choice)
{
    QTest::mouseClick(choice, Qt::LeftButton, {}, QPoint(8, choice->height() / 2));
}

bool closedWith(const QDialog& dialog, QDialog::DialogCode code)
{
    return !dialog.isVisible() && dialog.result() == code;
}

// Types into whatever has the focus (the grid opens a cell editor on the
// first key), then a key that leaves the cell.
void type(const QString& text)
{
    for (QChar c : text)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
}
void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), k, m);
    QCoreApplication::processEvents();
}
// A row typed cell by cell from the first column: Tab moves to the next.
void typeRow(const QStringList& cells)
{
    for (int i = 0; i < cells.size(); ++i) {
        if (i > 0)
            key(Qt::Key_Tab);
        if (!cells.at(i).isEmpty())
            type(cells.at(i));
    }
}

// The rows of a table file as "A|B|C" texts of the listed columns, in key order.
QStringList rowsOf(Table* table, const QStringList& fields)
{
    QStringList out;
    table->first();
    while (!table->eof()) {
        QStringList cells;
        for (const QString& f : fields)
            cells << table->value(f).toString();
        out << cells.join(QLatin1Char('|'));
        table->next();
    }
    return out;
}

} // namespace

class TestGridEditors : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<ScriptedMessages> m_messages;
    std::unique_ptr<TMainDataMod> m_dm;

private slots:
    void initTestCase() { installWindowServices(); }
    void init()
    {
        m_home = std::make_unique<TempHome>();
        m_messages = std::make_unique<ScriptedMessages>();
        settings() = Settings();
        m_dm = std::make_unique<TMainDataMod>();
        QVERIFY(m_dm->OpenCompanyDatabase(m_home->dataDir()));
        m_messages->clear();
    }
    void cleanup()
    {
        closeHelpWindow();
        m_dm.reset();
        QVERIFY(!m_messages->unexpectedQuestion());
        m_messages.reset();
        m_home.reset();
    }

    void menuOpensTheGridEditors();
    void shippingStoresEveryValue();
    void shippingPercentage_data();
    void shippingPercentage();
    void shippingFeeNotANumber();
    void shippingCustomCodeKept();
    void giftModeAndCombinedPackages();
    void shippingWeightTable();
    void regionalTaxes();
    void regionalTaxesCloseWithIncompleteRow();
    void smartTaxes();
    void coupons();
    void currencyDefaultsSurviveARestart();
    void merchantAccountKeptOnClose();
    void separatorRefused();
};

void TestGridEditors::menuOpensTheGridEditors()
{
    TMainForm form;
    form.show();
    TMainDataMod* dm = m_dm.release(); // the form opens its own company database
    delete dm;
    TMainDataMod own;
    form.openDatabaseCommand();
    m_messages->clear();
    // A new installation's settings file is written at start; closing stores nothing more.
    const auto fileText = [] {
        QFile f(settingsFile());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray before = fileText();
    const QList<QPair<QStringList, QString>> editors = {
        {{"OptionsMenuAction", "TaxesMenuAction", "RegionalTaxesItem"}, "Regional Taxes"},
        {{"OptionsMenuAction", "TaxesMenuAction", "SmartTaxesItem"}, "Smart Taxes"},
        {{"OptionsMenuAction", "ShippingSettingsItem"}, "Shipping Method"},
        {{"OptionsMenuAction", "CurrencyConversionItem"}, "Currency Conversion"},
        {{"OptionsMenuAction", "CouponsItem"}, "Coupons"},
        {{"OptionsMenuAction", "GiftWrappingItem"}, "Gift Options"},
        {{"OptionsMenuAction", "MerchantAccountsItem"}, "Merchant Accounts"},
    };
    for (const auto& [path, caption] : editors) {
        QString seen;
        bool fits = false; // the offscreen screen is 800x600
        whenModal([&seen, &fits](QWidget* w) {
            seen = w->windowTitle();
            fits = w->screen()->availableGeometry().contains(w->frameGeometry());
            w->close();
        });
        QVERIFY2(fire(&form, path), qPrintable(caption));
        QCOMPARE(seen, caption);
        QVERIFY2(fits, qPrintable(caption));
    }
    QCOMPARE(fileText(), before);
    QCOMPARE(m_messages->texts(), QStringList());
    m_dm = std::make_unique<TMainDataMod>(); // for cleanup
}

void TestGridEditors::shippingStoresEveryValue()
{
    settings().ShippingMethod = QStringLiteral("basic");
    settings().basicPerItem_First = 3;
    auto dialog = opened<TBasicShipForm>();
    QVERIFY(dialog->BasicBtn->isChecked());
    QCOMPARE(dialog->FirstItemEdit->text(), QStringLiteral("3.00"));
    QCOMPARE(dialog->BasePercentageEdit->text(), QStringLiteral("0.15000"));
    QVERIFY(!dialog->DefWeightEdit->isEnabled());
    QVERIFY(dialog->ShowExtensionsLink->isVisible());

    // Each choice shows its page and sets the controls that depend on it.
    choose(dialog->LiveBtn);
    QVERIFY(!dialog->BasicBtn->isChecked());
    QCOMPARE(dialog->Pages->currentWidget(), dialog->LivePages);
    QVERIFY(dialog->DefWeightEdit->isEnabled());
    QVERIFY(!dialog->DefaultDisplayEdit->isEnabled());
    QVERIFY(!dialog->ShowExtensionsLink->isVisible());
    QVERIFY(!dialog->UPSUsernameEdit->isEnabled());
    dialog->UseUPSBox->click();
    QVERIFY(dialog->UPSUsernameEdit->isEnabled());
    choose(dialog->NoShippingBtn);
    QVERIFY(!dialog->Pages->isVisible());
    QVERIFY(!dialog->DefWeightEdit->isEnabled());
    QVERIFY(!dialog->ShowExtensionsLink->isVisible());
    choose(dialog->PerItemBtn);
    QVERIFY(dialog->Pages->isVisible());
    QVERIFY(dialog->FirstItemEdit->isVisible());
    QVERIFY(dialog->ShowExtensionsLink->isVisible());
    QVERIFY(!dialog->DefWeightEdit->isEnabled());

    dialog->FirstItemEdit->setText(QStringLiteral("4.5"));
    dialog->SecondItemEdit->setText(QStringLiteral("1"));
    dialog->DefWeightEdit->setText(QStringLiteral("two"));
    dialog->UPSUsernameEdit->setText(QStringLiteral("merchant"));
    dialog->HandlingEdit->setText(QStringLiteral("0.75"));
    QTest::mouseClick(dialog->ShowExtensionsLink, Qt::LeftButton);
    dialog->UseExtensionsBox->click();
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    QVERIFY(closedWith(*dialog, QDialog::Accepted));

    const Settings s = reloaded();
    QCOMPARE(s.ShippingMethod, QStringLiteral("peritem"));
    QVERIFY(s.UseShipping);
    QVERIFY(s.UseShippingExtensions);
    QCOMPARE(s.basicPerItem_First, 4.5);
    QCOMPARE(s.BasicPerItem_Second, 1.0);
    QCOMPARE(s.DefWeight, 1); // not an integer
    QVERIFY(s.USEUPS);
    QCOMPARE(s.UPSUsername, QStringLiteral("merchant"));
    QCOMPARE(s.AddHandling, 0.75);
    QCOMPARE(m_messages->texts(), QStringList());

    // "I Will Not Use Shipping" stores no code; Cancel stores nothing.
    auto again = opened<TBasicShipForm>();
    QVERIFY(again->PerItemBtn->isChecked());
    choose(again->NoShippingBtn);
    QTest::mouseClick(again->CancelBtn, Qt::LeftButton);
    QVERIFY(closedWith(*again, QDialog::Rejected));
    QVERIFY(reloaded().UseShipping);
    auto third = opened<TBasicShipForm>();
    choose(third->NoShippingBtn);
    QTest::mouseClick(third->OKBtn, Qt::LeftButton);
    QVERIFY(!reloaded().UseShipping);
    QCOMPARE(settings().ShippingMethod, QString());
}

void TestGridEditors::shippingPercentage_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("stored");
    QTest::newRow("15 is percent") << "15" << 0.15;
    QTest::newRow("a fraction") << "0.15" << 0.15;
    QTest::newRow("exactly 1") << "1" << 1.0;
    QTest::newRow("four decimals of percent") << "33.3333" << 0.333333;
}

void TestGridEditors::shippingPercentage()
{
    QFETCH(QString, typed);
    QFETCH(double, stored);
    auto dialog = opened<TBasicShipForm>();
    dialog->BasePercentageEdit->setText(typed);
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    QVERIFY(closedWith(*dialog, QDialog::Accepted));
    QCOMPARE(reloaded().Basic_BasePercentage, stored);
}

void TestGridEditors::shippingFeeNotANumber()
{
    settings().USEUSPS = false;
    auto dialog = opened<TBasicShipForm>();
    choose(dialog->BasicWeightBtn);
    dialog->FirstItemEdit->setText(QStringLiteral("3x"));
    dialog->UseUSPSBox->click();
    dialog->HandlingEdit->setText(QStringLiteral("2"));
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);

    // Named, with the page of the field shown; nothing stored, not even the
    // method choice, and the window stays open.
    QCOMPARE(m_messages->texts(),
             QStringList{"First item fee: '3x' is not a valid floating point value"});
    QVERIFY(dialog->isVisible());
    QVERIFY(dialog->FirstItemEdit->isVisible());
    QVERIFY(dialog->FirstItemEdit->hasFocus());
    QVERIFY(!QFile::exists(settingsFile()));
    QCOMPARE(settings().ShippingMethod, QStringLiteral("basic"));
    QVERIFY(!settings().USEUSPS);
    QCOMPARE(settings().AddHandling, 0.0);

    m_messages->clear();
    dialog->FirstItemEdit->setText(QStringLiteral("3"));
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    QVERIFY(closedWith(*dialog, QDialog::Accepted));
    const Settings s = reloaded();
    QCOMPARE(s.ShippingMethod, QStringLiteral("basicshipit"));
    QVERIFY(s.USEUSPS);
    QCOMPARE(s.AddHandling, 2.0);
    QCOMPARE(s.basicPerItem_First, 3.0);
}

void TestGridEditors::shippingCustomCodeKept()
{
    settings().ShippingMethod = QStringLiteral("fedexground");
    auto dialog = opened<TBasicShipForm>();
    for (QRadioButton* b : {dialog->NoShippingBtn, dialog->BasicBtn, dialog->PerItemBtn,
                            dialog->BasicWeightBtn, dialog->AdvWeightBtn, dialog->LiveBtn})
        QVERIFY2(!b->isChecked(), qPrintable(b->text()));
    QCOMPARE(dialog->CustomCodeEdit->text(), QStringLiteral("fedexground"));
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    const Settings s = reloaded();
    QCOMPARE(s.ShippingMethod, QStringLiteral("fedexground"));
    QVERIFY(s.UseShipping);
}

void TestGridEditors::giftModeAndCombinedPackages()
{
    settings().CombineItems = true;
    // Gift mode off leaves the combine setting as it is.
    auto gifts = opened<TGiftOptionsForm>();
    gifts->TaxWrappingBox->click();
    QTest::mouseClick(gifts->OKBtn, Qt::LeftButton);
    QVERIFY(closedWith(*gifts, QDialog::Accepted));
    Settings s = reloaded();
    QVERIFY(s.TaxWrapping);
    QVERIFY(s.CombineItems);

    // Gift mode on clears it.
    auto on = opened<TGiftOptionsForm>();
    on->GiftModeBox->click();
    QTest::mouseClick(on->OKBtn, Qt::LeftButton);
    s = reloaded();
    QVERIFY(s.VendixGiftMode);
    QVERIFY(!s.CombineItems);

    // In gift mode the shipping window shows the box off and disabled.
    settings().CombineItems = true;
    auto shipping = opened<TBasicShipForm>();
    QVERIFY(!shipping->CombineItemsBox->isChecked());
    QVERIFY(!shipping->CombineItemsBox->isEnabled());
    QTest::mouseClick(shipping->OKBtn, Qt::LeftButton);
    QVERIFY(!reloaded().CombineItems);
}

void TestGridEditors::shippingWeightTable()
{
    auto dialog = opened<TBasicShipForm>();
    choose(dialog->AdvWeightBtn);
    QVERIFY(dialog->ShipItGrid->isVisible());
    dialog->ShipItGrid->setFocus();
    key(Qt::Key_Insert);
    typeRow({"5", "7"});
    key(Qt::Key_Return);
    key(Qt::Key_Insert);
    typeRow({"1", "3.5"});
    key(Qt::Key_Return);
    // A weight without its fee is refused; Cancel then keeps the window open.
    key(Qt::Key_Insert);
    typeRow({"9"});
    key(Qt::Key_Return);
    QCOMPARE(m_messages->texts(), QStringList{"Both the weight and the fee must be defined."});
    QTest::mouseClick(dialog->CancelBtn, Qt::LeftButton);
    QVERIFY(dialog->isVisible());
    QCOMPARE(m_messages->texts().size(), 2);
    key(Qt::Key_Escape); // the new row is dropped
    QTest::mouseClick(dialog->CancelBtn, Qt::LeftButton);
    QVERIFY(closedWith(*dialog, QDialog::Rejected));
    // Rows are stored by the grid, whatever the buttons.
    QCOMPARE(rowsOf(m_dm->ShipIt, {"WEIGHT", "FEE"}), QStringList({"1|3.5", "5|7"}));
}

void TestGridEditors::regionalTaxes()
{
    settings().TaxesAsSelect = false;
    auto dialog = opened<Ttaxesform>();
    QCOMPARE(dialog->OKBtn->text(), QStringLiteral("&Done"));
    QVERIFY(!dialog->CancelBtn);
    QVERIFY(dialog->TaxableDefaultBox->isChecked());
    dialog->DBGrid1->setFocus();
    key(Qt::Key_Insert);
    typeRow({"ca", "California", "Orders shipped to California", "6"});
    key(Qt::Key_Tab);
    // The "Tax Shipping" cell is answered by its question: Help opens the
    // topic and leaves the value, Yes sets it.
    m_messages->queueAnswer(Answer::Help);
    key(Qt::Key_Space);
    QVERIFY(THelpWindow::current());
    QCOMPARE(THelpWindow::current()->browser()->source(), helpTopicUrl(14));
    QApplication::setActiveWindow(dialog.get());
    dialog->DBGrid1->setFocus();
    m_messages->queueAnswer(Answer::Yes);
    key(Qt::Key_Space);
    key(Qt::Key_Return);
    QCOMPARE(m_messages->texts(),
             QStringList({kTaxShippingQuestion, kTaxShippingQuestion,
                          kPercentage + QStringLiteral("\r\rEnter 0.06 for 6%.")}));
    QCOMPARE(dialog->DBGrid1->toolTip(),
             QStringLiteral("Percent: a fraction, for example 0.055 for 5.5%"));
    m_messages->clear();

    // 6 percent typed as a fraction is taken.
    key(Qt::Key_Left);
    key(Qt::Key_F2);
    key(Qt::Key_A, Qt::ControlModifier);
    type("0.06");
    key(Qt::Key_Return);
    QCOMPARE(m_messages->texts(), QStringList());
    dialog->TaxesAsSelectBox->click();
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    QVERIFY(closedWith(*dialog, QDialog::Accepted));
    QVERIFY(reloaded().TaxesAsSelect);
    QVERIFY(!m_dm->Taxes->isOpen()); // closed with the window
    m_dm->Taxes->open();
    QCOMPARE(rowsOf(m_dm->Taxes, {"CODE", "DT", "TT", "P", "TS"}),
             QStringList{"CA|California|Orders shipped to California|0.06|true"});
}

void TestGridEditors::regionalTaxesCloseWithIncompleteRow()
{
    auto dialog = opened<Ttaxesform>();
    dialog->DBGrid1->setFocus();
    key(Qt::Key_Insert);
    typeRow({"ny"});
    dialog->TaxesAsSelectBox->click();
    // Done: the row is refused and the window stays open; nothing is stored.
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    QCOMPARE(m_messages->texts(), QStringList{"The display text can not be null."});
    QVERIFY(dialog->isVisible());
    QVERIFY(!QFile::exists(settingsFile()));
    // So does the title bar's close.
    dialog->close();
    QVERIFY(dialog->isVisible());
    QCOMPARE(m_messages->texts().size(), 2);
    // A new row never answered for shipping is refused as well.
    key(Qt::Key_Tab);
    type("New York");
    key(Qt::Key_Tab);
    type("Orders shipped to New York");
    dialog->close();
    QCOMPARE(m_messages->texts().last(), QStringLiteral("Tax shipping must be true or false!"));
    QVERIFY(dialog->isVisible());
    m_messages->queueAnswer(Answer::No);
    dialog->TaxShippingButtonClick();
    dialog->close();
    QVERIFY(closedWith(*dialog, QDialog::Rejected));
    QVERIFY(!settings().TaxesAsSelect); // closing without Done stores no box
    m_dm->Taxes->open();
    QCOMPARE(rowsOf(m_dm->Taxes, {"CODE", "TS"}), QStringList{"NY|false"});
}

void TestGridEditors::smartTaxes()
{
    insertRows(m_home->dataDir(), "taxes",
               {{{"CODE", "WA"}, {"DT", "W"}, {"TT", "W"}, {"P", 0.1}, {"TS", true}},
                {{"CODE", "CA"}, {"DT", "C"}, {"TT", "C"}, {"P", 0.1}, {"TS", false}}});
    auto dialog = opened<TSmartTaxesForm>();
    dialog->DBGrid1->setFocus();
    key(Qt::Key_Insert);
    typeRow({"cty", "City tax", "0.01", "", ""});
    // The condition's list: exactly the regional codes, in the engine's order.
    key(Qt::Key_F2);
    auto* pick = qobject_cast<QComboBox*>(QApplication::focusWidget()->parentWidget());
    if (!pick)
        pick = qobject_cast<QComboBox*>(QApplication::focusWidget());
    QVERIFY(pick);
    QStringList listed;
    for (int i = 0; i < pick->count(); ++i)
        listed << pick->itemText(i);
    QCOMPARE(listed, QStringList({"CA", "WA"}));
    pick->setCurrentIndex(1);
    key(Qt::Key_Return);
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    QVERIFY(closedWith(*dialog, QDialog::Accepted));
    QCOMPARE(m_messages->texts(), QStringList());
    QVERIFY(!QFile::exists(settingsFile())); // Done only closes
    m_dm->SmartTaxes->open();
    // Never answered: TAXABLE stays empty.
    QCOMPARE(rowsOf(m_dm->SmartTaxes, {"TAXCODE", "DISPLAY", "PERCENTAGE", "TAXABLE", "CONDITION"}),
             QStringList{"CTY|City tax|0.01||WA"});
}

void TestGridEditors::coupons()
{
    settings().AcceptCoupons = true;
    auto dialog = opened<TCouponForm>();
    dialog->DBGrid1->setFocus();
    key(Qt::Key_Insert);
    typeRow({"spring", "0.1"});
    key(Qt::Key_Return);
    key(Qt::Key_Insert);
    typeRow({"SPRING", "0.2"});
    key(Qt::Key_Return);
    QCOMPARE(m_messages->texts().size(), 1);
    QVERIFY2(m_messages->texts().first().startsWith(QStringLiteral("Key violation.\r")),
             qPrintable(m_messages->texts().first()));
    // Done on the refused row keeps the window open; Escape drops the row.
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    QVERIFY(dialog->isVisible());
    key(Qt::Key_Escape);
    // A discount typed as a percentage names the fraction meant.
    key(Qt::Key_Insert);
    typeRow({"summer", "5.5"});
    key(Qt::Key_Return);
    QCOMPARE(m_messages->texts().last(), kPercentage + QStringLiteral("\r\rEnter 0.055 for 5.5%."));
    key(Qt::Key_Escape);
    dialog->AcceptCouponsBox->click();
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    QVERIFY(closedWith(*dialog, QDialog::Accepted));
    QVERIFY(!reloaded().AcceptCoupons);
    m_dm->Coupons->open();
    QCOMPARE(rowsOf(m_dm->Coupons, {"CODE", "DISCOUNT"}), QStringList{"SPRING|0.1"});
}

void TestGridEditors::currencyDefaultsSurviveARestart()
{
    auto dialog = opened<TCurrency_Conversion_fm>();
    QCOMPARE(dialog->SymbolEdit->text(), QStringLiteral("$"));
    dialog->SymbolEdit->setText(QStringLiteral("€"));
    dialog->StringEdit->setText(QStringLiteral("Euro"));
    dialog->DBGrid1->setFocus();
    key(Qt::Key_Insert);
    typeRow({"1.1", "US Dollar", "US$"});
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    QVERIFY(closedWith(*dialog, QDialog::Accepted));
    const Settings s = reloaded(); // what a new start reads
    QCOMPARE(s.DefaultCurrencySymbol, QStringLiteral("€"));
    QCOMPARE(s.DefaultCurrencyDisclaimer, QStringLiteral("Euro"));
    QCOMPARE(rowsOf(m_dm->currency_conversion, {"CURSTRING", "CURSYM", "CONVERSION"}),
             QStringList{"US Dollar|US$|1.1"});

    // Cancel stores neither.
    auto again = opened<TCurrency_Conversion_fm>();
    again->SymbolEdit->setText(QStringLiteral("x"));
    QTest::keyClick(again.get(), Qt::Key_Escape);
    QVERIFY(closedWith(*again, QDialog::Rejected));
    QCOMPARE(settings().DefaultCurrencySymbol, QStringLiteral("€"));
}

void TestGridEditors::merchantAccountKeptOnClose()
{
    auto dialog = opened<Tmerchant_accountForm>();
    dialog->DBGrid1->setFocus();
    key(Qt::Key_Insert);
    key(Qt::Key_F2);
    auto* pick = qobject_cast<QComboBox*>(QApplication::focusWidget()->parentWidget());
    if (!pick)
        pick = qobject_cast<QComboBox*>(QApplication::focusWidget());
    QVERIFY(pick);
    QCOMPARE(pick->count(), 4);
    QCOMPARE(pick->itemText(2), QStringLiteral("American Express"));
    pick->setCurrentIndex(3);
    key(Qt::Key_Tab);
    typeRow({"555-0100", "12345", "main account"});
    dialog->close();
    QVERIFY(closedWith(*dialog, QDialog::Rejected));
    QCOMPARE(m_messages->texts(), QStringList());
    QCOMPARE(rowsOf(m_dm->merchant, {"ACCOUNT", "PHONE", "MERCHANTNUMBER", "COMMENTS"}),
             QStringList{"Discover|555-0100|12345|main account"});
}

void TestGridEditors::separatorRefused()
{
    auto dialog = opened<TGiftOptionsForm>();
    dialog->DBGrid1->setFocus();
    key(Qt::Key_Insert);
    typeRow({"Box:GIFT:Bag", "2"});
    key(Qt::Key_Return);
    QCOMPARE(m_messages->texts(),
             QStringList{"Display Selection may not contain \":GIFT:\": the store uses it to "
                         "separate the records and columns of its rate tables."});
    key(Qt::Key_Left);
    key(Qt::Key_F2);
    key(Qt::Key_A, Qt::ControlModifier);
    type("Box^Bag");
    key(Qt::Key_Return);
    QCOMPARE(m_messages->texts().last(),
             QStringLiteral("Display Selection may not contain \"^\": the store uses it to "
                            "separate the records and columns of its rate tables."));
    key(Qt::Key_F2);
    key(Qt::Key_A, Qt::ControlModifier);
    type("Box and bag");
    key(Qt::Key_Return);
    QTest::mouseClick(dialog->OKBtn, Qt::LeftButton);
    QVERIFY(closedWith(*dialog, QDialog::Accepted));
    QCOMPARE(rowsOf(m_dm->GiftTable, {"GIFTDELNAME", "GIFTFEE"}), QStringList{"Box and bag|2"});
}

QTEST_MAIN(TestGridEditors)
#include "test_grid_editors.moc"
