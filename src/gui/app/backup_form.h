#pragma once

#include <QDialog>

#include <atomic>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QThread;

namespace os {

// "&File" > "Back Up Company Database...": asks for the folder that gets the
// backup (a new dated folder inside it, see CompanyBackup), how many
// backups to keep there, whether the kept store replies go with it and
// whether every index entry is checked, then runs the backup on a thread of its own with
// its progress shown. The program and a retrieval may go on writing
// meanwhile; Cancel (or Escape, or closing the window) stops it and leaves
// nothing that looks like a backup. The folder, the count and the boxes are remembered
// in the home's ordersentinel.ini ([Backup]).
class TBackupForm : public QDialog
{
    Q_OBJECT
public:
    explicit TBackupForm(QWidget* parent = nullptr);
    ~TBackupForm() override;

    bool running() const { return m_thread != nullptr; }
    QString lastBackup() const { return m_lastBackup; } // the folder made, once done

    QLineEdit* FolderEdit = nullptr;     // "Back up into:"
    QPushButton* BrowseBtn = nullptr;    // "B&rowse..."
    QSpinBox* KeepSpin = nullptr;        // "Keep the newest:" 0 keeps all
    QCheckBox* RepliesCheck = nullptr;   // "Include kept store re&plies"
    QCheckBox* FullCheckCheck = nullptr; // "&Full check of the copies (slower)"
    QProgressBar* ProgressBar = nullptr;
    QLabel* StatusLabel = nullptr;
    QPushButton* BackupBtn = nullptr; // "&Back Up"
    QPushButton* CloseBtn = nullptr;  // "&Close", "&Cancel" while running
    QPushButton* HelpBtn = nullptr;

signals:
    void finished(bool ok); // a backup ended (done, failed or cancelled)

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void browse();
    void start();
    void progress(const QString& file, qint64 done, qint64 total, bool checking);
    void done(const QString& folder, const QString& error, const QStringList& removed,
              const QStringList& failures);
    void setRunning(bool running);
    void cancelAndWait();

    QThread* m_thread = nullptr;
    std::atomic<bool> m_cancel{false};
    QString m_lastBackup;
};

} // namespace os
