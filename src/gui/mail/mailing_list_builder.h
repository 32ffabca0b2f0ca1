#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QWidget;

namespace os {

class Table;

// The Mailing List Builder ("Build List" of the Customers View): merges one
// Quillform template with every subscribed customer the Customers View
// lists and queues the letters in the outbox under a TYPE of the merchant's
// choosing. Modal; help topic 38.
class TMailingListBuilder : public QDialog
{
    Q_OBJECT
public:
    // `customers` is the Customers View's list, as last searched.
    explicit TMailingListBuilder(const Table& customers, QWidget* parent = nullptr);

    void OKBtnClick();

    QComboBox* TemplateBox = nullptr;
    QLineEdit* TypeEdit = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QWidget* StatusLine = nullptr;
    QProgressBar* ProgressBar = nullptr;

private:
    void updateOk();
    const Table& m_customers;
};

} // namespace os
