#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QToolBar;
class QToolButton;
class QWidget;

namespace os {

class BulkRun;

// The Bulk Mailer ("Post Office" > "Bulk Mailer", caption "Bulk Mail"): one
// fixed message sent straight through the mail server to every address of
// a list loaded from a text file, one address a line. The list shrinks as
// the server takes the addresses; "Exit" reads "Abort?" while a run goes on.
// Modal; help topic 27.
class Tbulkmail : public QDialog
{
    Q_OBJECT
public:
    explicit Tbulkmail(QWidget* parent = nullptr);
    ~Tbulkmail() override;

    void SendClick();
    void ExitClick();
    void LoadListClick();

    BulkRun& bulkRun() { return *m_run; }
    QStringList listEntries() const;

    QLineEdit* FromEdit = nullptr;
    QLineEdit* SubjectEdit = nullptr;
    QListWidget* ListBox = nullptr;
    QPlainTextEdit* Body = nullptr;
    QToolBar* ToolBar = nullptr;
    QToolButton* SendButton = nullptr;
    QToolButton* ExitButton = nullptr;
    QToolButton* LoadButton = nullptr;
    QToolButton* HelpButton = nullptr;
    QWidget* StatusLine = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QLabel* TrailPane = nullptr;
    QLabel* RefusedPane = nullptr;

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void updateSend();
    BulkRun* m_run;
};

} // namespace os
