#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace os {

class MessageFields;
class Table;

// "New E-mail Message": writes the message being inserted into the shared
// OUTBOX table. Kept for the whole run (instance()). "Post New Message" sets
// IDATE and posts (OUTBOX's completeness rule may refuse: the window stays
// with what was typed), says "Message added to your OutBox" and closes
// OUTBOX; "Cancel New Message" (also Escape) cancels the insert and closes
// OUTBOX. Entering "From:" while it is empty fills in the infoMail setting.
class TNewMailMessage : public QDialog
{
    Q_OBJECT
public:
    explicit TNewMailMessage(QWidget* parent = nullptr);

    // The window of the run, made on first use as a child of `owner`.
    static TNewMailMessage* instance(QWidget* owner);

    // Shows the window modally on OUTBOX's row being inserted; the dialog's
    // result: Accepted when the message was posted.
    int exec() override;

    MessageFields* Fields = nullptr;
    QLabel* StateLabel = nullptr;
    QPushButton* PostBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* HelpBtn = nullptr;

    void PostBtnClick();
    void CancelBtnClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

private:
    Table* outbox() const;
    void showState();
};

// The main window's "New E-mail Messages": opens OUTBOX, moves to its last
// row, inserts and shows the New E-mail Message window; if a step fails, the
// insert is cancelled (and the failure shown).
void NewEmailMessagesCommand(QWidget* mainForm);

} // namespace os
