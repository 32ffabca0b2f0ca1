#include "gui/storeconfig/currency_conversion_fm.h"

#include "base/settings.h"
#include "data/main_data_mod.h"
#include "gui/app/db_grid.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace os {

TCurrency_Conversion_fm::TCurrency_Conversion_fm(QWidget* parent)
    : ConfigEditor(parent, QStringLiteral("Currency_Conversion_fm"),
                   QStringLiteral("Currency Conversion"), 48)
{
    const Settings& s = settings();
    auto* form = new QFormLayout;
    SymbolEdit = new QLineEdit(s.DefaultCurrencySymbol, this);
    SymbolEdit->setObjectName(QStringLiteral("SymbolEdit"));
    StringEdit = new QLineEdit(s.DefaultCurrencyDisclaimer, this);
    StringEdit->setObjectName(QStringLiteral("StringEdit"));
    form->addRow(QStringLiteral("Default Symbol:"), SymbolEdit);
    form->addRow(QStringLiteral("Default String:"), StringEdit);

    auto* body = new QVBoxLayout;
    body->addLayout(form);
    body->addWidget(addGrid(TMainDataMod::instance()->currency_conversion,
                            {{QStringLiteral("CONVERSION"), QStringLiteral("Conversion"), 12},
                             {QStringLiteral("CURSTRING"), QStringLiteral("String"), 24},
                             {QStringLiteral("CURSYM"), QStringLiteral("Symbol"), 8}},
                            QStringLiteral("CurrencyGrid"), false, &DBGrid1),
                    1);
    finish(body, QStringLiteral("Done"), QStringLiteral("Cancel"), QStringLiteral("&Help"));
    resize(520, 380);
}

bool TCurrency_Conversion_fm::store()
{
    Settings& s = settings();
    s.DefaultCurrencySymbol = SymbolEdit->text();
    s.DefaultCurrencyDisclaimer = StringEdit->text();
    return true;
}

} // namespace os
