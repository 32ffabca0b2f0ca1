#pragma once

#include "gui/storeconfig/config_editor.h"

namespace os {

class DbGrid;

// "Smart Taxes": the grid over smarttaxes.db (the shared SmartTaxes table).
// "Condition" is typed or picked from the regional tax codes present when the
// window opened; "Tax Taxed Amount" is answered through a Yes/No/Help
// question. "&Done" closes; rows are stored by the grid.
class TSmartTaxesForm : public ConfigEditor
{
    Q_OBJECT
public:
    explicit TSmartTaxesForm(QWidget* parent = nullptr);

    DbGrid* DBGrid1 = nullptr;

    // The button of a "Tax Taxed Amount" cell.
    void TaxableButtonClick();

protected:
    bool store() override { return true; }
};

} // namespace os
