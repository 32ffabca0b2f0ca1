#include "gui/storeconfig/coupon_form.h"

#include "base/settings.h"
#include "data/main_data_mod.h"
#include "gui/app/db_grid.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace os {

TCouponForm::TCouponForm(QWidget* parent)
    : ConfigEditor(parent, QStringLiteral("CouponForm"), QStringLiteral("Coupons"), 18)
{
    AcceptCouponsBox = new QCheckBox(QStringLiteral("Enable coupons on my site"), this);
    AcceptCouponsBox->setObjectName(QStringLiteral("AcceptCouponsBox"));
    AcceptCouponsBox->setChecked(settings().AcceptCoupons);

    refuseWholePercents(TMainDataMod::instance()->Coupons, {QStringLiteral("DISCOUNT")});
    auto* body = new QVBoxLayout;
    body->addWidget(AcceptCouponsBox);
    body->addWidget(addGrid(TMainDataMod::instance()->Coupons,
                            {{QStringLiteral("CODE"), QStringLiteral("Coupon Code"), 14},
                             {QStringLiteral("DISCOUNT"), QStringLiteral("Discount Percentage")}},
                            QStringLiteral("CouponsGrid"), true, &DBGrid1),
                    1);
    finish(body, QStringLiteral("&Done"), QString(), QStringLiteral("&Help"));
    resize(420, 360);
    DBGrid1->setFocus();
}

bool TCouponForm::store()
{
    settings().AcceptCoupons = AcceptCouponsBox->isChecked();
    return true;
}

} // namespace os
