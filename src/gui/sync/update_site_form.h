#pragma once

#include "sync/store_session.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QTableView;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace os {

class MainServices;

// The Connections window: the store password, the action list, the transfer
// panel and the event log of the store session it runs. One instance, a
// child window of the main window; the password is forgotten when it closes.
class TUpdateSiteForm : public QWidget, private SessionHost
{
    Q_OBJECT
public:
    // `main` is not owned and must outlive the window.
    explicit TUpdateSiteForm(MainServices* main, QWidget* parent = nullptr);
    ~TUpdateSiteForm() override;

    StoreSession& session() { return *m_session; }

    // Toolbar "Internet Connections".
    QToolBar* Toolbar = nullptr;
    QToolButton* CloseButton = nullptr;
    QLineEdit* PassEdit = nullptr;
    QToolButton* Button1 = nullptr;          // "Start Session"
    QToolButton* PreviewButton = nullptr;    // "Preview Changes" (of the next publish)
    QToolButton* ToolbarButton971 = nullptr; // "Help"
    QLabel* MainLabel = nullptr;             // the selected action
    QTreeWidget* RzTreeView1 = nullptr;      // the action list
    QWidget* TransferPanel = nullptr;
    QLabel* TransferState = nullptr;    // bytes of the reply being received
    QTableView* EventLogView = nullptr; // object name "EventLog"

    void PassEditChange();
    void RzTreeView1Click(QTreeWidgetItem* item);
    void Button1Click();
    void PreviewButtonClick();
    void CloseButtonClick();
    void ToolbarButton971Click();

    // Closes the window (and its frame, as a child window) without the
    // question: for the program's own closing of every child window.
    void closeWithoutAsking();

signals:
    // A session started with "Start Session" ended (failed or not).
    void sessionEnded();

protected:
    void closeEvent(QCloseEvent* event) override; // FormClose

private:
    // SessionHost
    void setSessionControlsEnabled(bool enabled) override;
    void setTransferPanelVisible(bool visible) override;
    void setTransferCount(qint64 bytes) override;
    std::optional<QString> askNewPassword() override;
    void passwordEmptied() override;

    void closeFrame();

    StoreSession* m_session = nullptr;
    MainServices* m_main = nullptr;
    bool m_closeWithoutAsking = false;
};

} // namespace os
