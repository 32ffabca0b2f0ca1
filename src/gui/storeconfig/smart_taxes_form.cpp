#include "gui/storeconfig/smart_taxes_form.h"

#include "data/main_data_mod.h"
#include "gui/app/db_grid.h"
#include "gui/storeconfig/question_cell.h"
#include "storeconfig/tax_codes.h"

#include <QVBoxLayout>

namespace os {

namespace {
constexpr int kTaxableColumn = 3;
}

TSmartTaxesForm::TSmartTaxesForm(QWidget* parent)
    : ConfigEditor(parent, QStringLiteral("SmartTaxesForm"), QStringLiteral("Smart Taxes"), 15)
{
    setSavesSettings(false);
    TMainDataMod* dm = TMainDataMod::instance();

    GridColumn condition{QStringLiteral("CONDITION"), QStringLiteral("Condition"), 12};
    condition.pickList = regionalTaxCodes(dm->directory());

    refuseWholePercents(dm->SmartTaxes, {QStringLiteral("PERCENTAGE")});
    auto* body = new QVBoxLayout;
    body->addWidget(addGrid(dm->SmartTaxes,
                            {{QStringLiteral("TAXCODE"), QStringLiteral("CFO Tax Code")},
                             {QStringLiteral("DISPLAY"), QStringLiteral("Display Text"), 24},
                             {QStringLiteral("PERCENTAGE"), QStringLiteral("Percentage"), 10},
                             {QStringLiteral("TAXABLE"),
                              QStringLiteral("Tax Taxed Amount"),
                              0,
                              {},
                              GridFormat::Check,
                              {},
                              {},
                              true},
                             condition},
                            QStringLiteral("SmartTaxesGrid"), true, &DBGrid1),
                    1);
    new QuestionCell(DBGrid1, kTaxableColumn, [this] { TaxableButtonClick(); });

    finish(body, QStringLiteral("&Done"), QString(), QStringLiteral("&Help"));
    resize(700, 380);
    DBGrid1->setFocus();
}

void TSmartTaxesForm::TaxableButtonClick()
{
    askLogicalCell(DBGrid1, QStringLiteral("TAXABLE"),
                   QStringLiteral("Tax taxed amount?\r\rClick Help for additional information."));
}

} // namespace os
