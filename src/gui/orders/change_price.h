#pragma once

#include "gui/orders/order_notes_dialog.h"

class QLineEdit;

namespace os {

// "Change Price": the order's total as it was on opening, a new total (any
// number, 0 and negative included) and the notes. OK saves a new total the
// merchant typed with its history row (a box left as shown or emptied keeps
// the stored total and saves only the note); the HTML invoice keeps its
// figure. Cancel drops the new total and a note still being typed; the close
// box keeps the note.
class TChangePrice : public OrderNotesDialog
{
    Q_OBJECT
public:
    explicit TChangePrice(QWidget* parent = nullptr);

    QLabel* CurrentTotal = nullptr;
    QLineEdit* NewTotal = nullptr;

protected:
    void OKBtnClick() override;

private:
    QString m_shown; // the total as the box showed it
};

} // namespace os
