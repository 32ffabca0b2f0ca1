#pragma once

#include "gui/orders/order_notes_dialog.h"

namespace os {

// "Void Order": the reason goes in the order's notes; OK marks the order
// "Void" and stamps LASTMARKED. The close box keeps a note still being typed.
class TVoidOrderWiz : public OrderNotesDialog
{
    Q_OBJECT
public:
    explicit TVoidOrderWiz(QWidget* parent = nullptr);

protected:
    void OKBtnClick() override;
};

} // namespace os
