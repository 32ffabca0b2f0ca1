#pragma once

#include <QDialog>

class QComboBox;
class QPushButton;
class QRadioButton;

namespace os {

class DetailGrid;

// The Shipping Wizard: the order's shipping records, an optional template
// for a shipping notice (type "SHIPPING", the records in its
// %io_shipping_info_structure%), and OK marks the order "Shipped" or
// "Partially Shipped" with a LASTMARKED stamp. Cancel drops a record still
// being typed; records saved before stay.
class TShipping_Log : public QDialog
{
    Q_OBJECT
public:
    explicit TShipping_Log(QWidget* parent = nullptr);

    QComboBox* FormLetter = nullptr;
    QRadioButton* CompletelyShipped = nullptr;
    QRadioButton* PartiallyShipped = nullptr;
    DetailGrid* Records = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* HelpBtn = nullptr;

    QString ShipState() const { return m_shipState; }
    void reject() override; // Cancel, Escape, the close box

private:
    void OKBtnClick();
    QString m_shipState = QStringLiteral("Shipped");
    // The letter already in the outbox for this order when marking it failed
    // afterwards: a second OK marks the order without a second letter.
    qint64 m_queuedInvoice = 0;
    QString m_queuedLetter;
};

} // namespace os
