#pragma once

#include "gui/storeconfig/config_editor.h"

class QCheckBox;

namespace os {

class DbGrid;

// "Coupons": the grid over coupons.db (the shared Coupons table: code and
// discount required, the discount a fraction below 1, the code stored in
// upper case and unique) and "Enable coupons on my site".
class TCouponForm : public ConfigEditor
{
    Q_OBJECT
public:
    explicit TCouponForm(QWidget* parent = nullptr);

    DbGrid* DBGrid1 = nullptr;
    QCheckBox* AcceptCouponsBox = nullptr;

protected:
    bool store() override;
};

} // namespace os
