#include "gui/app/main_commands.h"

#include "gui/app/backup_form.h"
#include "gui/app/help_window.h"
#include "gui/app/main_form.h"
#include "gui/customers/main_customers_view.h"
#include "gui/mail/bulkmail.h"
#include "gui/mail/new_mail_message.h"
#include "gui/mail/outbox_form.h"
#include "gui/mail/sent_items.h"
#include "gui/mail/text_editor.h"
#include "gui/orders/orders_view.h"
#include "gui/sales/sales_view.h"
#include "gui/settings/manager_connection.h"
#include "gui/settings/security_stuff.h"
#include "gui/settings/web_docs_form.h"
#include "gui/storeconfig/all_account_discount.h"
#include "gui/storeconfig/basic_ship_form.h"
#include "gui/storeconfig/colors_form.h"
#include "gui/storeconfig/company_info_form.h"
#include "gui/storeconfig/coupon_form.h"
#include "gui/storeconfig/currency_conversion_fm.h"
#include "gui/storeconfig/gift_options_form.h"
#include "gui/storeconfig/merchant_account_form.h"
#include "gui/storeconfig/options_cc_form.h"
#include "gui/storeconfig/smart_taxes_form.h"
#include "gui/storeconfig/taxes_form.h"
#include "gui/todo/todo.h"

namespace os {

namespace {

// A settings editor: created anew each time, modal.
template <class Dialog> void openModal(TMainForm& form)
{
    form.runModal<Dialog>();
}

using P = CommandPlace;
using I = ToolbarIcon;

// clang-format off
const MainCommand kCommands[] = {
    // The menu bar.
    {P::MenuBar, "&File", "FileMenuAction", "the File menu", nullptr, P::FileMenu},
    {P::MenuBar, "&Options", "OptionsMenuAction", "the Options menu", nullptr, P::OptionsMenu},
    {P::MenuBar, "&Window", "WindowMenuAction", "the Window menu", nullptr, P::WindowMenu},

    {P::FileMenu, "&Back Up Company Database...", "BackupItem", "TBackupForm, modal", openModal<TBackupForm>},
    {P::FileMenu, "E&xit", "ExitItem", "the exit question", [](TMainForm& f) { f.ExitClick(); }, P::None, true},

    {P::OptionsMenu, "&Vital Configs (Do These First)", "VitalConfigsMenuAction", "a submenu", nullptr, P::VitalConfigsMenu},
    {P::VitalConfigsMenu, "&Net Connection Settings", "NetConnectionSettingsItem", "TManagerConnection, modal", openModal<TManagerConnection>},
    {P::VitalConfigsMenu, "Vendix Location && &Web Documents", "WebDocumentsItem", "TWebDocsForm, modal", openModal<TWebDocsForm>, P::None, true},
    {P::VitalConfigsMenu, "Advanced Sp&oof Prevention", "SpoofPreventionItem", "TSecurityStuff, modal", openModal<TSecurityStuff>, P::None, true},
    {P::OptionsMenu, "&Company Information", "CompanyInformationItem", "TCompanyInfoForm, modal", openModal<TCompanyInfoForm>, P::None, true},
    {P::OptionsMenu, "St&yles and Colors", "StylesAndColorsItem", "TColorsForm, modal", openModal<TColorsForm>},
    {P::OptionsMenu, "&Payment Types and Credit Cards", "PaymentTypesItem", "TOPTIONS_CC_FORM, modal", openModal<TOPTIONS_CC_FORM>},
    {P::OptionsMenu, "&Taxes", "TaxesMenuAction", "a submenu", nullptr, P::TaxesMenu, true},
    {P::TaxesMenu, "State and &Regional Taxes", "RegionalTaxesItem", "Ttaxesform, modal", openModal<Ttaxesform>},
    {P::TaxesMenu, "S&mart Taxes", "SmartTaxesItem", "TSmartTaxesForm, modal", openModal<TSmartTaxesForm>},
    {P::OptionsMenu, "Shippi&ng Settings", "ShippingSettingsItem", "TBasicShipForm, modal", openModal<TBasicShipForm>, P::None, true},
    {P::OptionsMenu, "Cu&rrency Conversion Options", "CurrencyConversionItem", "TCurrency_Conversion_fm, modal", openModal<TCurrency_Conversion_fm>, P::None, true},
    {P::OptionsMenu, "Co&upons", "CouponsItem", "TCouponForm, modal", openModal<TCouponForm>, P::None, true},
    {P::OptionsMenu, "All Account &Discount", "AllAccountDiscountItem", "TAllAccountDiscount, modal", openModal<TAllAccountDiscount>},
    {P::OptionsMenu, "&Gift Wrapping", "GiftWrappingItem", "TGiftOptionsForm, modal", openModal<TGiftOptionsForm>},
    {P::OptionsMenu, "My &Merchant Accounts", "MerchantAccountsItem", "Tmerchant_accountForm, modal", openModal<Tmerchant_accountForm>, P::None, true},

    {P::WindowMenu, "&Minimize All", "MinimizeAllItem", "minimises every child window", [](TMainForm& f) { f.MinimizeAllClick(); }},

    // The toolbar, left to right.
    {P::ToolBar, "Exit", "ExitButton", "the exit question", [](TMainForm& f) { f.ExitClick(); }, P::None, false, I::Exit, "Ctrl+Q"},
    {P::ToolBar, "Orders", "OrdersButton", "TOrdersView, maximised child window", [](TMainForm& f) { f.showChildBrowser<TOrdersView>(); }, P::None, true, I::Orders, "Ctrl+Shift+O"},
    {P::ToolBar, "Customers", "CustomersButton", "TMainCustomersView, maximised child window", [](TMainForm& f) { f.showChildBrowser<TMainCustomersView>(); }, P::None, false, I::Customers, "Ctrl+Shift+C"},
    {P::ToolBar, "Post Office", "PostOfficeButton", "a drop-down", nullptr, P::PostOfficeMenu, false, I::PostOffice, "Ctrl+Shift+P"},
    {P::ToolBar, "Online", "OnlineButton", "TUpdateSiteForm, maximised child window", [](TMainForm& f) { f.OnlineClick(); }, P::None, false, I::Online, "Ctrl+Shift+L"},
    {P::ToolBar, "To-Do", "ToDoButton", "TTODO, modal", [](TMainForm& f) { ToDoCommand(&f); }, P::None, false, I::ToDo, "Ctrl+Shift+T"},
    {P::ToolBar, "Sales", "SalesButton", "TSalesView, maximised child window", [](TMainForm& f) { f.showChildBrowser<TSalesView>(); }, P::None, false, I::Sales, "Ctrl+Shift+S"},
    {P::ToolBar, "Help", "HelpButton", "the active window's help topic or the contents, and a drop-down", [](TMainForm& f) { f.HelpClick(); }, P::HelpMenu, true, I::Help, "F1"},

    {P::PostOfficeMenu, "OutBox", "OutBoxItem", "TOUTBOXFORM, modal", [](TMainForm& f) { OutBoxCommand(&f); }},
    {P::PostOfficeMenu, "Sent Items", "SentItemsItem", "TSentItems, modal", openModal<TSentItems>, P::None, true},
    {P::PostOfficeMenu, "New E-mail Messages", "NewEmailItem", "TNewMailMessage, modal", [](TMainForm& f) { NewEmailMessagesCommand(&f); }, P::None, true},
    {P::PostOfficeMenu, "Quillform Templates", "QuillformTemplatesItem", "TTextEditor, modal", openModal<TTextEditor>, P::None, true},
    {P::PostOfficeMenu, "Bulk Mailer", "BulkMailerItem", "Tbulkmail, modal", openModal<Tbulkmail>, P::None, true},

    // The first is the default item (the button itself runs it).
    {P::HelpMenu, "Main Program Help Contents", "HelpContentsItem", "the help contents", [](TMainForm& f) { f.HelpContentsClick(); }},
    {P::HelpMenu, "Getting Started", "GettingStartedItem", "TGettingStarted, one instance", [](TMainForm& f) { f.GettingStartedClick(); }},
    {P::HelpMenu, "Technical Support Information", "TechSupportItem", "help topic 60", [](TMainForm&) { showHelpTopic(60); }},
};
// clang-format on

} // namespace

std::span<const MainCommand> mainCommands()
{
    return kCommands;
}

const MainCommand* findMainCommand(const QString& objectName)
{
    for (const MainCommand& c : kCommands) {
        if (objectName == QLatin1String(c.objectName))
            return &c;
    }
    return nullptr;
}

bool isBuilt(const MainCommand& command)
{
    if (command.run)
        return true;
    if (command.opensMenu == CommandPlace::None)
        return false;
    for (const MainCommand& c : kCommands) {
        if (c.place == command.opensMenu && isBuilt(c))
            return true;
    }
    return false;
}

} // namespace os
