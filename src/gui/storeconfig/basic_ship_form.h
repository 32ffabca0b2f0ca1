#pragma once

#include "gui/storeconfig/config_editor.h"

#include <QList>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QRadioButton;
class QStackedWidget;
class QTabWidget;

namespace os {

class DbGrid;

// "Shipping Method": how the store charges shipping and every figure of that
// choice. Six exclusive choices, each with its page; the weight table
// (shipit.db) and the shipping extensions (shipitext.db) are grids whose rows
// are stored by the grids themselves; the live-rate accounts and options sit
// on the pages of "Live Connect Shipping". OK stores every value or, when one
// field is not a number, names it and stores nothing.
class TBasicShipForm : public ConfigEditor
{
    Q_OBJECT
public:
    explicit TBasicShipForm(QWidget* parent = nullptr);

    // The choices, in the order of their stored codes (NoShippingBtn has none).
    QRadioButton* NoShippingBtn = nullptr;
    QRadioButton* BasicBtn = nullptr;
    QRadioButton* PerItemBtn = nullptr;
    QRadioButton* BasicWeightBtn = nullptr;
    QRadioButton* AdvWeightBtn = nullptr;
    QRadioButton* LiveBtn = nullptr;

    QStackedWidget* Pages = nullptr;
    QLineEdit* CustomCodeEdit = nullptr;
    QLineEdit* DefaultDisplayEdit = nullptr;
    QLineEdit* DefWeightEdit = nullptr;
    QPushButton* ShowExtensionsLink = nullptr;
    QPushButton* InformationLink = nullptr;

    // "Basic Shipping Method"
    QLineEdit* BaseShippingEdit = nullptr;
    QLineEdit* BasePercentageEdit = nullptr;
    // "Per Item Method"
    QLineEdit* FirstItemEdit = nullptr;
    QLineEdit* SecondItemEdit = nullptr;
    // "Basic Weight Based"
    QLineEdit* CalcFeeEdit = nullptr;
    QLineEdit* WeightBaseFeeEdit = nullptr;
    // "Advanced Weight Based"
    QLineEdit* AdvBaseFeeEdit = nullptr;
    DbGrid* ShipItGrid = nullptr;
    // Shipping extensions
    DbGrid* ShipItExtGrid = nullptr;
    QCheckBox* UseExtensionsBox = nullptr;
    QPushButton* ExtensionsHelpBtn = nullptr;
    // "Live Connect Shipping"
    QTabWidget* LivePages = nullptr;
    QLineEdit* OriginZipEdit = nullptr;
    QCheckBox* CombineItemsBox = nullptr;
    QButtonGroup* WeightMethodGroup = nullptr;
    QLineEdit* HandlingEdit = nullptr;
    QCheckBox* UseUPSBox = nullptr;
    QLineEdit* UPSUsernameEdit = nullptr;
    QLineEdit* UPSPasswordEdit = nullptr;
    QLineEdit* UPSKeyEdit = nullptr;
    QCheckBox* UseUSPSBox = nullptr;
    QLineEdit* USPSUsernameEdit = nullptr;
    QLineEdit* USPSPasswordEdit = nullptr;

    void MethodClick();
    void ShowExtensionsClick();
    void InformationClick();
    void UseUPSClick();
    void UseUSPSClick();

protected:
    bool store() override;

private:
    QRadioButton* chosen() const;
    QWidget* pageOf(QRadioButton* choice) const;

    QList<QRadioButton*> m_choices;
    QList<QWidget*> m_pages; // one per choice; the first (no shipping) is empty
    QWidget* m_extensionsPage = nullptr;
};

} // namespace os
