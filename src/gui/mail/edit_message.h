#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace os {

class MessageFields;
class Table;

// "Edit Message": edits the current message of the OutBox window's own table
// (which is put into edit mode by the caller). "Post Updates" stores what was
// typed, empty fields too (the table has no completeness rule), and closes;
// "Cancel Updates" discards the changes and closes. A status line shows the
// table's state.
class TEditMessage : public QDialog
{
    Q_OBJECT
public:
    explicit TEditMessage(Table* table, QWidget* parent = nullptr);

    MessageFields* Fields = nullptr;
    QLabel* StateLabel = nullptr;
    QPushButton* PostBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    void PostBtnClick();
    void CancelBtnClick();

protected:
    void reject() override; // Escape and the close button cancel the updates

private:
    void showState();
    Table* m_table;
};

} // namespace os
