#pragma once

#include "gui/storeconfig/config_editor.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QRadioButton;
class QTabWidget;

namespace os {

// "Payment Options": the payment types the store offers, how it takes credit
// cards, and the card names its checkout lists (ccitems.txt).
class TOPTIONS_CC_FORM : public ConfigEditor
{
    Q_OBJECT
public:
    explicit TOPTIONS_CC_FORM(QWidget* parent = nullptr);

    QTabWidget* Pages = nullptr;
    // "General Methods"
    QListWidget* CardList = nullptr;
    QLineEdit* CardEdit = nullptr;
    QPushButton* AddBtn = nullptr;
    QCheckBox* AcceptCCBox = nullptr;
    QCheckBox* ChecksByMailBox = nullptr;
    QCheckBox* PurchaseOrderBox = nullptr;
    QCheckBox* CodOrdersBox = nullptr;
    QCheckBox* CardsByPhoneBox = nullptr;
    QLineEdit* CODFeeEdit = nullptr;
    // "Card Processing Methods"
    QRadioButton* RemoteBtn = nullptr;
    QRadioButton* RealtimeBtn = nullptr;
    QRadioButton* LocalBtn = nullptr;
    QCheckBox* AskCVVBox = nullptr;
    QCheckBox* AskCCPhoneBox = nullptr;

protected:
    bool store() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AcceptCCBoxClick();
    void RemoteBtnClick();
    void RealtimeBtnClick();
    void LocalBtnClick();
    void CardEditChange();
    void AddBtnClick();
    void CardListDblClick(QListWidgetItem* item);
};

} // namespace os
