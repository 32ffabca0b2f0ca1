#include "gui/storeconfig/gift_options_form.h"

#include "base/settings.h"
#include "data/main_data_mod.h"
#include "gui/app/db_grid.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace os {

TGiftOptionsForm::TGiftOptionsForm(QWidget* parent)
    : ConfigEditor(parent, QStringLiteral("GiftOptionsForm"), QStringLiteral("Gift Options"), 21)
{
    const Settings& s = settings();
    GiftModeBox = new QCheckBox(QStringLiteral("Put Vendix in Gift Mode"), this);
    GiftModeBox->setObjectName(QStringLiteral("GiftModeBox"));
    GiftModeBox->setChecked(s.VendixGiftMode);
    TaxWrappingBox = new QCheckBox(QStringLiteral("Gift Wrapping is Taxable"), this);
    TaxWrappingBox->setObjectName(QStringLiteral("TaxWrappingBox"));
    TaxWrappingBox->setChecked(s.TaxWrapping);

    auto* body = new QVBoxLayout;
    body->addWidget(GiftModeBox);
    body->addWidget(TaxWrappingBox);
    body->addWidget(
        addGrid(TMainDataMod::instance()->GiftTable,
                {{QStringLiteral("GIFTDELNAME"), QStringLiteral("Display Selection"), 30},
                 {QStringLiteral("GIFTFEE"), QStringLiteral("Fee for Selection")}},
                QStringLiteral("GiftGrid"), false, &DBGrid1),
        1);
    finish(body, QStringLiteral("&Done"), QString(), QStringLiteral("&Help"));
    resize(480, 360);
    DBGrid1->setFocus();
}

bool TGiftOptionsForm::store()
{
    Settings& s = settings();
    s.VendixGiftMode = GiftModeBox->isChecked();
    s.TaxWrapping = TaxWrappingBox->isChecked();
    if (s.VendixGiftMode)
        s.CombineItems = false;
    return true;
}

} // namespace os
