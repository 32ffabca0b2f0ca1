#pragma once

#include "gui/storeconfig/config_editor.h"

namespace os {

class DbGrid;

// "Merchant Accounts": the merchant's own list of payment-processor accounts
// in merchantaccounts.db (the shared merchant table; no rule, no key, rows in
// the order entered). A local reference only: nothing here is published.
class Tmerchant_accountForm : public ConfigEditor
{
    Q_OBJECT
public:
    explicit Tmerchant_accountForm(QWidget* parent = nullptr);

    DbGrid* DBGrid1 = nullptr;

protected:
    bool store() override { return true; }
};

} // namespace os
