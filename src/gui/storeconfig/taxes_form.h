#pragma once

#include "gui/storeconfig/config_editor.h"

class QCheckBox;

namespace os {

class DbGrid;
class Table;

// "Regional Taxes": the grid over taxes.db (the shared Taxes table) and the
// two tax settings. "&Done" stores the check boxes and writes the settings
// file; rows are stored by the grid. The "Tax Shipping" cell is answered
// through a Yes/No/Help question.
class Ttaxesform : public ConfigEditor
{
    Q_OBJECT
public:
    explicit Ttaxesform(QWidget* parent = nullptr);

    DbGrid* DBGrid1 = nullptr;
    QCheckBox* TaxableDefaultBox = nullptr;
    QCheckBox* TaxesAsSelectBox = nullptr;

    // The button of a "Tax Shipping" cell.
    void TaxShippingButtonClick();

protected:
    bool store() override;

private:
    Table* m_taxes = nullptr;
};

} // namespace os
