#pragma once

#include "gui/storeconfig/config_editor.h"

class QLineEdit;

namespace os {

class DbGrid;

// "Currency Conversion": the store's own currency symbol and name, and the
// further display currencies of currency_conversion.db (factor from the
// store's currency, name, symbol). "Done" stores the two defaults and writes
// the settings file, so that they survive the program's end.
class TCurrency_Conversion_fm : public ConfigEditor
{
    Q_OBJECT
public:
    explicit TCurrency_Conversion_fm(QWidget* parent = nullptr);

    DbGrid* DBGrid1 = nullptr;
    QLineEdit* SymbolEdit = nullptr;
    QLineEdit* StringEdit = nullptr;

protected:
    bool store() override;
};

} // namespace os
