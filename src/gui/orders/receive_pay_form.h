#pragma once

#include "gui/orders/order_notes_dialog.h"

namespace os {

// "Receive Payment": notes such as a check number or an authorization code,
// and OK moves the order to "Payment Received" after its question (a "New"
// order without a LASTMARKED stamp, another state with one). OrderChanged
// says, once it has closed, whether the browser's current order is another
// one now (the marked order left the filtered list).
class TReceivePay_Form : public OrderNotesDialog
{
    Q_OBJECT
public:
    explicit TReceivePay_Form(QWidget* parent = nullptr);

    bool OrderChanged() const { return m_orderChanged; }

protected:
    void OKBtnClick() override;

private:
    bool m_orderChanged = false;
};

} // namespace os
