#pragma once

#include "gui/orders/order_notes_dialog.h"

namespace os {

// "Status Pending": notes on the order; OK moves it to "Status Pending" and
// stamps LASTMARKED. Cancel drops a note still being typed.
class Tstatuspending : public OrderNotesDialog
{
    Q_OBJECT
public:
    explicit Tstatuspending(QWidget* parent = nullptr);

protected:
    void OKBtnClick() override;
};

} // namespace os
