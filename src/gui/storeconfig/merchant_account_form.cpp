#include "gui/storeconfig/merchant_account_form.h"

#include "data/main_data_mod.h"
#include "gui/app/db_grid.h"

#include <QVBoxLayout>

namespace os {

Tmerchant_accountForm::Tmerchant_accountForm(QWidget* parent)
    : ConfigEditor(parent, QStringLiteral("merchant_accountForm"),
                   QStringLiteral("Merchant Accounts"), 22)
{
    setSavesSettings(false);
    GridColumn account{QStringLiteral("ACCOUNT"), QStringLiteral("Account"), 20};
    account.pickList = QStringList{QStringLiteral("Visa"), QStringLiteral("MasterCard"),
                                   QStringLiteral("American Express"), QStringLiteral("Discover")};
    auto* body = new QVBoxLayout;
    body->addWidget(
        addGrid(TMainDataMod::instance()->merchant,
                {account,
                 {QStringLiteral("PHONE"), QStringLiteral("Phone"), 16},
                 {QStringLiteral("MERCHANTNUMBER"), QStringLiteral("Merchant Number"), 20},
                 {QStringLiteral("COMMENTS"), QStringLiteral("Comments"), 30}},
                QStringLiteral("MerchantGrid"), false, &DBGrid1),
        1);
    finish(body, QStringLiteral("&Done"), QString(), QStringLiteral("&Help"));
    resize(760, 360);
    DBGrid1->setFocus();
}

} // namespace os
