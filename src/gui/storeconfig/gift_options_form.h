#pragma once

#include "gui/storeconfig/config_editor.h"

class QCheckBox;

namespace os {

class DbGrid;

// "Gift Options": gift mode, taxable wrapping and the gift selections of
// gift.db (the shared GiftTable). Gift mode ships every item on its own, so
// "&Done" with gift mode on clears the shipping setting that combines all
// items into one package.
class TGiftOptionsForm : public ConfigEditor
{
    Q_OBJECT
public:
    explicit TGiftOptionsForm(QWidget* parent = nullptr);

    DbGrid* DBGrid1 = nullptr;
    QCheckBox* GiftModeBox = nullptr;
    QCheckBox* TaxWrappingBox = nullptr;

protected:
    bool store() override;
};

} // namespace os
