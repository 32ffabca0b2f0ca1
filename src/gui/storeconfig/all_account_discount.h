#pragma once

#include "gui/storeconfig/config_editor.h"

class QLineEdit;

namespace os {

// "All Account Discount": the discount every account holder gets, as a
// fraction (5 percent is 0.05; a number above 1 is read as percent).
class TAllAccountDiscount : public ConfigEditor
{
    Q_OBJECT
public:
    explicit TAllAccountDiscount(QWidget* parent = nullptr);

    QLineEdit* DiscountEdit = nullptr;

protected:
    bool store() override;
};

} // namespace os
