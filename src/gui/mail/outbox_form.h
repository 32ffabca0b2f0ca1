#pragma once

#include "gui/mail/browse_dialog.h"

#include <memory>

class QLabel;
class QMenu;
class QProgressBar;

namespace os {

class MessageFields;
class OutboxRun;
class Query;
class Table;

// "OutBox": the queued messages in queue order, the current one in full,
// and "Send Messages", which sends what the list shows (the filter in force)
// through the mail server and moves each sent message to sent items. Kept
// for the whole run (instance()), so a filter set in the grid's menu stays
// until it is removed. While a run goes, a status line shows its progress
// and the mail client's protocol trail, and the window cannot be closed.
class TOUTBOXFORM : public BrowseDialog
{
    Q_OBJECT
public:
    explicit TOUTBOXFORM(QWidget* parent = nullptr);
    ~TOUTBOXFORM() override;

    // The window of the run, made on first use as a child of `owner`.
    static TOUTBOXFORM* instance(QWidget* owner);

    // Binds MyOut to the company data directory and opens it. False when
    // outbox.db holds no message at all: MyOut is closed again and "You have
    // no messages in your OutBox." is shown.
    bool openOutBox();

    Table* MyOut = nullptr;
    Query* DeleteType = nullptr; // "DELETE FROM outbox.db WHERE TYPE=:MYTYPE"
    MessageFields* Message = nullptr;
    QAction* EditAction = nullptr;
    QAction* DeleteAction = nullptr;
    QAction* CloseAction = nullptr;
    QAction* SendAction = nullptr;
    QProgressBar* Progress = nullptr;
    QLabel* ProgressPane = nullptr; // "Mail Send Progress"
    QLabel* TrailPane = nullptr;    // the latest line of the protocol trail
    QMenu* GridMenu = nullptr;
    QAction* FilterTypeItem = nullptr;
    QAction* FilterRecipientItem = nullptr;
    QAction* RemoveFilterItem = nullptr;
    QAction* DeleteTypeItem = nullptr;

    void EditClick();
    void DeleteClick();
    void SendMessagesClick();
    void FilterTypeClick();
    void FilterRecipientClick();
    void RemoveFilterClick();
    void DeleteTypeClick();

    bool isSending() const { return m_sending; }
    void updateCommands() override;

signals:
    // A run ended having sent `count` messages (the main window's status
    // line says "5 messages sent").
    void sentCount(int count);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override; // refreshes OUTBOX and closes MyOut

private:
    void showCurrent();
    void filterOn(const char* column);
    void setSending(bool on);
    int messagesInOutbox() const;

    std::unique_ptr<OutboxRun> m_run;
    bool m_sending = false;
};

// The main window's "OutBox": the window of the run, shown modally when
// outbox.db holds a message (otherwise only "You have no messages in your
// OutBox." is shown).
void OutBoxCommand(QWidget* mainForm);

} // namespace os
