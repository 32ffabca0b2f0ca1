#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace os {

class DbGrid;

// "Credit Card PopUp": the current order's billing and card details beside
// the merchant's accounts (read-only). A press on the card number offers to
// reformat it (ReformatCardNumber); "&Receive Payment" opens Receive Payment
// and closes this window too when the order has left the browser's list;
// "&Modify Card Information" opens Phone Payment.
class TCCForm : public QDialog
{
    Q_OBJECT
public:
    explicit TCCForm(QWidget* parent = nullptr);

    QLabel* CARDNUM = nullptr;
    DbGrid* MerchantGrid = nullptr;
    QPushButton* DoneBtn = nullptr;
    QPushButton* ReceivePaymentBtn = nullptr;
    QPushButton* ModifyCardBtn = nullptr;
    QPushButton* HelpBtn = nullptr;

    void ReceivePaymentBtnClick();
    void ModifyCardBtnClick();
    void CARDNUMMouseDown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showOrder(); // fills the labels from the current order
    QList<QLabel*> m_shown;
};

} // namespace os
