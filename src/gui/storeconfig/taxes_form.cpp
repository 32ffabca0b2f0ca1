#include "gui/storeconfig/taxes_form.h"

#include "base/settings.h"
#include "data/main_data_mod.h"
#include "gui/app/db_grid.h"
#include "gui/storeconfig/question_cell.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace os {

namespace {
constexpr int kTaxShippingColumn = 4;
}

Ttaxesform::Ttaxesform(QWidget* parent)
    : ConfigEditor(parent, QStringLiteral("taxesform"), QStringLiteral("Regional Taxes"), 14)
{
    const Settings& s = settings();
    m_taxes = TMainDataMod::instance()->Taxes;

    refuseWholePercents(m_taxes, {QStringLiteral("P")});
    auto* body = new QVBoxLayout;
    body->addWidget(addGrid(m_taxes,
                            {{QStringLiteral("CODE"), QStringLiteral("Tax Code")},
                             {QStringLiteral("DT"), QStringLiteral("Display Text"), 24},
                             {QStringLiteral("TT"), QStringLiteral("Tax is For"), 24},
                             {QStringLiteral("P"), QStringLiteral("Percent"), 9},
                             {QStringLiteral("TS"),
                              QStringLiteral("Tax Shipping"),
                              0,
                              {},
                              GridFormat::Check,
                              {},
                              {},
                              true}},
                            QStringLiteral("TaxesGrid"), true, &DBGrid1),
                    1);
    new QuestionCell(DBGrid1, kTaxShippingColumn, [this] { TaxShippingButtonClick(); });

    TaxableDefaultBox = new QCheckBox(QStringLiteral("By default, products are taxable"), this);
    TaxableDefaultBox->setObjectName(QStringLiteral("TaxableDefaultBox"));
    TaxableDefaultBox->setChecked(s.TaxableIsDefault);
    TaxesAsSelectBox = new QCheckBox(QStringLiteral("Display taxes as select list"), this);
    TaxesAsSelectBox->setObjectName(QStringLiteral("TaxesAsSelectBox"));
    TaxesAsSelectBox->setChecked(s.TaxesAsSelect);
    body->addWidget(TaxableDefaultBox);
    body->addWidget(TaxesAsSelectBox);

    finish(body, QStringLiteral("&Done"), QString(), QStringLiteral("&Help"));
    resize(720, 420);
    DBGrid1->setFocus();
}

void Ttaxesform::TaxShippingButtonClick()
{
    askLogicalCell(DBGrid1, QStringLiteral("TS"),
                   QStringLiteral("Tax the total including the shipping fees?\r\rClick Help for "
                                  "additional information."));
}

bool Ttaxesform::store()
{
    Settings& s = settings();
    s.TaxableIsDefault = TaxableDefaultBox->isChecked();
    s.TaxesAsSelect = TaxesAsSelectBox->isChecked();
    return true;
}

} // namespace os
