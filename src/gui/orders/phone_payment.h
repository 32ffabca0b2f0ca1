#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace os {

// "Phone Payment": the card details of the current order, entered or
// corrected (card type from the card list or typed, number, expiry, phone),
// each field held to its column's length. OK saves them with a history row
// that says they changed; Cancel drops what was typed.
class TPhonePayment : public QDialog
{
    Q_OBJECT
public:
    explicit TPhonePayment(QWidget* parent = nullptr);

    QComboBox* CardType = nullptr;
    QLineEdit* CardNumber = nullptr;
    QLineEdit* CCMonth = nullptr;
    QLineEdit* CCYear = nullptr;
    QLineEdit* CCPhone = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

private:
    void OKBtnClick();
};

} // namespace os
