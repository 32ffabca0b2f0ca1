#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace os {

// "Complete Order": a "Thank You" letter chosen from the templates is
// queued in the outbox (type "SERVICE"), and then the order is marked
// "Complete" (LASTMARKED kept). OK is enabled exactly while a template is
// chosen. A template deleted meanwhile keeps the dialog open; a letter the
// outbox refuses closes it with the order unmarked.
class TCompleteOrderForm : public QDialog
{
    Q_OBJECT
public:
    explicit TCompleteOrderForm(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QComboBox* FormLetter = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* HelpBtn = nullptr;

private:
    void OKBtnClick();
};

} // namespace os
