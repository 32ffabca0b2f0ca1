#include "gui/app/backup_form.h"

#include "gui/app/dialog_buttons.h"
#include "gui/app/file_dialog.h"

#include "base/ini_file.h"
#include "base/messages.h"
#include "base/paths.h"
#include "data/backup.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>

namespace os {

namespace {

const QString kSection = QStringLiteral("Backup");

QString iniPath()
{
    return AppPaths::homeFile(QStringLiteral("ordersentinel.ini"));
}

constexpr int kSteps = 1000; // the progress bar's range

} // namespace

TBackupForm::TBackupForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("BackupForm"));
    setWindowTitle(QStringLiteral("Back Up Company Database"));
    setMinimumWidth(fontMetrics().averageCharWidth() * 72);

    auto* intro = new QLabel(
        QStringLiteral("Every table file, zr.ini, ccitems.txt and the invoice pages are copied "
                       "into a new dated folder inside the folder below, and each copy is "
                       "checked. The program and retrievals may go on meanwhile."),
        this);
    intro->setWordWrap(true);

    FolderEdit = new QLineEdit(this);
    FolderEdit->setObjectName(QStringLiteral("FolderEdit"));
    BrowseBtn = new QPushButton(QStringLiteral("B&rowse..."), this);
    BrowseBtn->setObjectName(QStringLiteral("BrowseBtn"));
    BrowseBtn->setAutoDefault(false);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(FolderEdit, 1);
    folderRow->addWidget(BrowseBtn);

    KeepSpin = new QSpinBox(this);
    KeepSpin->setObjectName(QStringLiteral("KeepSpin"));
    KeepSpin->setRange(0, 999);
    KeepSpin->setSpecialValueText(QStringLiteral("all"));
    KeepSpin->setSuffix(QStringLiteral(" backups"));
    auto* keepRow = new QHBoxLayout;
    keepRow->addWidget(KeepSpin);
    keepRow->addStretch(1);

    auto* form = new QFormLayout;
    auto* folderLabel = new QLabel(QStringLiteral("Back up &into:"), this);
    folderLabel->setBuddy(FolderEdit);
    auto* keepLabel = new QLabel(QStringLiteral("&Keep the newest:"), this);
    keepLabel->setBuddy(KeepSpin);
    form->addRow(folderLabel, folderRow);
    form->addRow(keepLabel, keepRow);
    RepliesCheck = new QCheckBox(QStringLiteral("Include kept store re&plies"), this);
    RepliesCheck->setObjectName(QStringLiteral("RepliesCheck"));
    RepliesCheck->setToolTip(
        QStringLiteral("Also copies the retrievals folder: every store reply kept, so a "
                       "retrieval can be imported again from the backup."));
    FullCheckCheck = new QCheckBox(QStringLiteral("&Full check of the copies (slower)"), this);
    FullCheckCheck->setObjectName(QStringLiteral("FullCheckCheck"));
    FullCheckCheck->setToolTip(
        QStringLiteral("Looks every row up in every index of each copy. Without it each copy's "
                       "pages and records are checked, which finds a damaged copy."));
    form->addRow(QString(), RepliesCheck);
    form->addRow(QString(), FullCheckCheck);

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, kSteps);
    ProgressBar->setValue(0);
    StatusLabel = new QLabel(this);
    StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
    StatusLabel->setWordWrap(true);
    StatusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Room for a folder's path in two lines, so the window keeps its size.
    StatusLabel->setMinimumHeight(StatusLabel->fontMetrics().lineSpacing() * 2);

    const DialogButtons row = makeDialogButtons(
        this, QStringLiteral("&Back Up"), QStringLiteral("&Close"), QStringLiteral("&Help"), 0);
    BackupBtn = row.ok;
    BackupBtn->setObjectName(QStringLiteral("BackupBtn"));
    CloseBtn = row.cancel;
    CloseBtn->setObjectName(QStringLiteral("CloseBtn"));
    HelpBtn = row.help;

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(ProgressBar);
    layout->addWidget(StatusLabel);
    layout->addLayout(row.layout);

    IniFile ini(iniPath());
    ini.load();
    FolderEdit->setText(QDir::toNativeSeparators(ini.value(
        kSection, QStringLiteral("Folder"), AppPaths::homeFile(QStringLiteral("backups")))));
    KeepSpin->setValue(ini.value(kSection, QStringLiteral("Keep"), QStringLiteral("0")).toInt());
    RepliesCheck->setChecked(ini.value(kSection, QStringLiteral("Replies"), QStringLiteral("0")) ==
                             QLatin1String("1"));
    FullCheckCheck->setChecked(ini.value(kSection, QStringLiteral("FullCheck"),
                                         QStringLiteral("0")) == QLatin1String("1"));

    setTabOrder(FolderEdit, BrowseBtn);
    setTabOrder(BrowseBtn, KeepSpin);
    setTabOrder(KeepSpin, RepliesCheck);
    setTabOrder(RepliesCheck, FullCheckCheck);
    setTabOrder(FullCheckCheck, BackupBtn);
    setTabOrder(BackupBtn, CloseBtn);
    setTabOrder(CloseBtn, HelpBtn);
    FolderEdit->setFocus();

    fitHeightToWidth(this);

    connect(BrowseBtn, &QPushButton::clicked, this, &TBackupForm::browse);
    connect(BackupBtn, &QPushButton::clicked, this, &TBackupForm::start);
    connect(CloseBtn, &QPushButton::clicked, this, &TBackupForm::reject);
}

TBackupForm::~TBackupForm()
{
    cancelAndWait();
}

void TBackupForm::browse()
{
    const QString dir = getExistingDirectory(this, QStringLiteral("Back Up Into"),
                                             QDir::fromNativeSeparators(FolderEdit->text()));
    if (!dir.isEmpty())
        FolderEdit->setText(QDir::toNativeSeparators(dir));
}

void TBackupForm::start()
{
    if (m_thread)
        return;
    const QString folder = QDir::fromNativeSeparators(FolderEdit->text().trimmed());
    if (folder.isEmpty()) {
        messages().warning(QStringLiteral("Choose the folder that gets the backup."));
        FolderEdit->setFocus();
        return;
    }
    const QString destination = QDir(folder).absolutePath();
    const int keep = KeepSpin->value();
    IniFile ini(iniPath());
    ini.load();
    ini.setValue(kSection, QStringLiteral("Folder"), destination);
    ini.setValue(kSection, QStringLiteral("Keep"), QString::number(keep));
    CompanyBackup::Options options;
    if (RepliesCheck->isChecked())
        options.repliesDir = AppPaths::homeFile(QStringLiteral("retrievals"));
    options.fullCheck = FullCheckCheck->isChecked();
    ini.setValue(kSection, QStringLiteral("Replies"),
                 RepliesCheck->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    ini.setValue(kSection, QStringLiteral("FullCheck"),
                 options.fullCheck ? QStringLiteral("1") : QStringLiteral("0"));
    ini.save(); // only a convenience: a home that cannot keep it still gets its backup

    m_cancel = false;
    m_lastBackup.clear();
    ProgressBar->setValue(0);
    StatusLabel->setText(QStringLiteral("Starting the backup..."));
    const QString dataDir = AppPaths::dataDir();
    m_thread = QThread::create([this, dataDir, destination, keep, options] {
        QString made, error;
        QStringList removed, failures;
        try {
            CompanyBackup backup(dataDir, destination, options);
            made = backup.run([this](const CompanyBackup::Progress& p) {
                QMetaObject::invokeMethod(
                    this, [this, p] { progress(p.file, p.done, p.total, p.checking); },
                    Qt::QueuedConnection);
                return !m_cancel.load();
            });
            failures = backup.failures();
            // A backup that left a table out is no reason to remove older ones.
            if (keep > 0 && failures.isEmpty())
                removed = CompanyBackup::prune(destination, keep);
        } catch (const Error& e) {
            error = e.text();
        } catch (const std::bad_alloc&) {
            error = QStringLiteral("There is not enough memory to go on; the backup was not made.");
        }
        QMetaObject::invokeMethod(
            this, [this, made, error, removed, failures] { done(made, error, removed, failures); },
            Qt::QueuedConnection);
    });
    setRunning(true);
    m_thread->start();
}

void TBackupForm::progress(const QString& file, qint64 done, qint64 total, bool checking)
{
    if (!m_thread)
        return;
    ProgressBar->setValue(total > 0 ? int(done * kSteps / total) : 0);
    StatusLabel->setText(
        (checking ? QStringLiteral("Checking the copy of %1...") : QStringLiteral("Copying %1..."))
            .arg(file));
}

void TBackupForm::done(const QString& folder, const QString& error, const QStringList& removed,
                       const QStringList& failures)
{
    if (!m_thread)
        return; // already waited for by cancelAndWait
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    setRunning(false);
    if (error.isEmpty() && !failures.isEmpty()) {
        // The good tables are backed up; the merchant learns which is not.
        m_lastBackup = folder;
        ProgressBar->setValue(kSteps);
        StatusLabel->setText(QStringLiteral("Backed up in %1, without %2 of its table files.")
                                 .arg(QDir::toNativeSeparators(folder))
                                 .arg(failures.size()));
        emit finished(false);
        messages().error(
            QStringLiteral("The company database is backed up in\r%1\r\rexcept:\r\r%2")
                .arg(QDir::toNativeSeparators(folder), failures.join(QStringLiteral("\r\r"))));
    } else if (error.isEmpty()) {
        m_lastBackup = folder;
        ProgressBar->setValue(kSteps);
        QString text = QStringLiteral("The company database is backed up in\r%1")
                           .arg(QDir::toNativeSeparators(folder));
        if (!removed.isEmpty())
            text += QStringLiteral("\r\rOlder backups removed: %1").arg(removed.size());
        StatusLabel->setText(
            QStringLiteral("Backed up in %1").arg(QDir::toNativeSeparators(folder)));
        emit finished(true);
        messages().info(text);
    } else if (m_cancel) {
        ProgressBar->setValue(0);
        StatusLabel->setText(error);
        emit finished(false);
    } else {
        ProgressBar->setValue(0);
        StatusLabel->setText(QStringLiteral("The backup was not made."));
        emit finished(false);
        messages().error(error);
    }
}

void TBackupForm::setRunning(bool running)
{
    FolderEdit->setEnabled(!running);
    BrowseBtn->setEnabled(!running);
    KeepSpin->setEnabled(!running);
    RepliesCheck->setEnabled(!running);
    FullCheckCheck->setEnabled(!running);
    BackupBtn->setEnabled(!running);
    CloseBtn->setText(running ? QStringLiteral("&Cancel") : QStringLiteral("&Close"));
    if (running)
        CloseBtn->setFocus();
}

// Cancel (the button, Escape) stops a running backup; the window stays open
// to show that it stopped. With no backup running it closes the window.
void TBackupForm::reject()
{
    if (m_thread) {
        m_cancel = true;
        StatusLabel->setText(QStringLiteral("Cancelling..."));
        return;
    }
    QDialog::reject();
}

void TBackupForm::closeEvent(QCloseEvent* event)
{
    cancelAndWait();
    event->accept();
    QDialog::closeEvent(event);
}

void TBackupForm::cancelAndWait()
{
    if (!m_thread)
        return;
    m_cancel = true;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

} // namespace os
