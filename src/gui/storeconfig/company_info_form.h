#pragma once

#include "gui/storeconfig/config_editor.h"

class QLineEdit;

namespace os {

// "Company Information": the merchant's name, address, phone numbers and mail
// addresses, as the store shows them and the letters use them. Free text.
class TCompanyInfoForm : public ConfigEditor
{
    Q_OBJECT
public:
    explicit TCompanyInfoForm(QWidget* parent = nullptr);

    QLineEdit* CompanyNameEdit = nullptr;
    QLineEdit* StreetEdit = nullptr;
    QLineEdit* CityEdit = nullptr;
    QLineEdit* StateEdit = nullptr;
    QLineEdit* ZipEdit = nullptr;
    QLineEdit* PhoneEdit = nullptr;
    QLineEdit* TollFreeEdit = nullptr;
    QLineEdit* OrderEmailEdit = nullptr;
    QLineEdit* InfoMailEdit = nullptr;
    QLineEdit* WebMasterEdit = nullptr;
    QLineEdit* BillingEdit = nullptr;

protected:
    bool store() override;
};

} // namespace os
