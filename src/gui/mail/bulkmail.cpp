#include "gui/mail/bulkmail.h"
#include "gui/app/window_size.h"

#include "base/busy_cursor.h"
#include "base/messages.h"
#include "base/paths.h"
#include "gui/app/file_dialog.h"
#include "gui/app/help_window.h"
#include "mail/bulk_run.h"

#include <QCloseEvent>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QShortcut>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace os {

namespace {

QToolButton* toolButton(QToolBar* bar, const QString& text, const char* name)
{
    auto* b = new QToolButton(bar);
    b->setObjectName(QLatin1String(name));
    b->setText(text);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->addWidget(b);
    return b;
}

// The lines of a list file; the line break after the last line ends it and
// makes no entry of its own, an empty line within the file is an entry.
QStringList readListFile(const QString& file, QString* error)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read \"%1\". %2").arg(file, f.errorString());
        return {};
    }
    QString text = QString::fromUtf8(f.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    if (text.isEmpty())
        return {};
    return text.split(QLatin1Char('\n'));
}

} // namespace

Tbulkmail::Tbulkmail(QWidget* parent) : QDialog(parent), m_run(new BulkRun(this))
{
    setObjectName(QStringLiteral("bulkmail"));
    setWindowTitle(QStringLiteral("Bulk Mail"));
    setProperty("helpTopic", 27);

    auto* layout = new QVBoxLayout(this);
    ToolBar = new QToolBar(QStringLiteral("Bulk Mailer"), this);
    ToolBar->setObjectName(QStringLiteral("BulkMailerToolbar"));
    SendButton = toolButton(ToolBar, QStringLiteral("Send Messages Now"), "SendButton");
    ExitButton = toolButton(ToolBar, QStringLiteral("Exit"), "ExitButton");
    LoadButton = toolButton(ToolBar, QStringLiteral("Load List"), "LoadButton");
    HelpButton = toolButton(ToolBar, QStringLiteral("Help"), "HelpButton");
    layout->addWidget(ToolBar);
    connect(SendButton, &QToolButton::clicked, this, &Tbulkmail::SendClick);
    connect(ExitButton, &QToolButton::clicked, this, &Tbulkmail::ExitClick);
    connect(LoadButton, &QToolButton::clicked, this, &Tbulkmail::LoadListClick);
    connect(HelpButton, &QToolButton::clicked, this, [] { showHelpTopic(27); });
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
    connect(f1, &QShortcut::activated, HelpButton, &QToolButton::click);

    auto* form = new QFormLayout;
    FromEdit = new QLineEdit(this);
    FromEdit->setObjectName(QStringLiteral("FromEdit"));
    form->addRow(QStringLiteral("&From:"), FromEdit);
    SubjectEdit = new QLineEdit(this);
    SubjectEdit->setObjectName(QStringLiteral("SubjectEdit"));
    form->addRow(QStringLiteral("&Subject:"), SubjectEdit);
    ListBox = new QListWidget(this);
    ListBox->setObjectName(QStringLiteral("ListBox"));
    ListBox->setSelectionMode(QAbstractItemView::NoSelection);
    ListBox->setMaximumHeight(ListBox->fontMetrics().height() * 8);
    form->addRow(QStringLiteral("&List:"), ListBox);
    layout->addLayout(form);
    Body = new QPlainTextEdit(this);
    Body->setObjectName(QStringLiteral("Body"));
    Body->setTabChangesFocus(true);
    layout->addWidget(Body, 1);

    StatusLine = new QWidget(this);
    StatusLine->setObjectName(QStringLiteral("StatusLine"));
    auto* status = new QHBoxLayout(StatusLine);
    status->setContentsMargins(0, 0, 0, 0);
    ProgressBar = new QProgressBar(StatusLine);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setTextVisible(false);
    ProgressBar->setMaximumWidth(fontMetrics().averageCharWidth() * 24);
    status->addWidget(ProgressBar);
    status->addWidget(new QLabel(QStringLiteral("Mail Progress:"), StatusLine));
    TrailPane = new QLabel(StatusLine);
    TrailPane->setObjectName(QStringLiteral("TrailPane"));
    TrailPane->setMinimumWidth(fontMetrics().averageCharWidth() * 30);
    status->addWidget(TrailPane, 1);
    StatusLine->hide();
    layout->addWidget(StatusLine);
    RefusedPane = new QLabel(this);
    RefusedPane->setObjectName(QStringLiteral("RefusedPane"));
    RefusedPane->setWordWrap(true);
    RefusedPane->setStyleSheet(QStringLiteral("color: #a00000"));
    RefusedPane->hide();
    layout->addWidget(RefusedPane);

    connect(FromEdit, &QLineEdit::textChanged, this, &Tbulkmail::updateSend);
    connect(SubjectEdit, &QLineEdit::textChanged, this, &Tbulkmail::updateSend);
    connect(Body, &QPlainTextEdit::textChanged, this, &Tbulkmail::updateSend);
    connect(m_run, &BulkRun::trail, this, [this](const QString& line) {
        TrailPane->setText(
            TrailPane->fontMetrics().elidedText(line, Qt::ElideRight, TrailPane->width()));
    });
    connect(m_run, &BulkRun::sent, this, [this](const QString&) {
        delete ListBox->takeItem(0);
        ProgressBar->setValue(ProgressBar->value() + 1);
        RefusedPane->hide();
    });
    connect(m_run, &BulkRun::refused, this,
            [this](const QString& address, const QString& reason, int retryInMs) {
                const QString shown = address.isEmpty()
                                          ? QStringLiteral("(an empty line)")
                                          : QLatin1Char('"') + address + QLatin1Char('"');
                RefusedPane->setText(
                    QStringLiteral("Refused: %1: %2 Trying again in %3 s; press Abort? to stop.")
                        .arg(shown, QString(reason).replace(QLatin1Char('\r'), QLatin1Char(' ')))
                        .arg(retryInMs / 1000));
                RefusedPane->show();
            });
    updateSend();
    resizeWithinScreen(this,
                       QSize(fontMetrics().averageCharWidth() * 90, fontMetrics().height() * 34));
}

Tbulkmail::~Tbulkmail() = default;

QStringList Tbulkmail::listEntries() const
{
    QStringList out;
    for (int i = 0; i < ListBox->count(); ++i)
        out << ListBox->item(i)->text();
    return out;
}

void Tbulkmail::updateSend()
{
    SendButton->setEnabled(!m_run->isRunning() && !FromEdit->text().isEmpty() &&
                           !SubjectEdit->text().isEmpty() && ListBox->count() > 0 &&
                           !Body->toPlainText().isEmpty());
}

void Tbulkmail::LoadListClick()
{
    const QString file = getOpenFileName(this, QStringLiteral("Load List"),
                                         AppPaths::homeFile(QStringLiteral("mailing.list")),
                                         QStringLiteral("Text Files (*.txt);;List Files (*.list)"));
    if (file.isEmpty())
        return;
    QString error;
    const QStringList lines = readListFile(file, &error);
    if (!error.isEmpty()) {
        messages().error(error);
        return;
    }
    ListBox->clear();
    ListBox->addItems(lines);
    updateSend();
}

void Tbulkmail::SendClick()
{
    if (!SendButton->isEnabled() || m_run->isRunning())
        return;
    ExitButton->setText(QStringLiteral("Abort?"));
    ProgressBar->setMaximum(ListBox->count());
    ProgressBar->setValue(0);
    TrailPane->clear();
    RefusedPane->hide();
    StatusLine->show();
    LoadButton->setEnabled(false);
    SendButton->setEnabled(false);
    // The run works a copy of the list and of the message: nothing here
    // takes input until it ends, but "Abort?".
    for (QWidget* w : {static_cast<QWidget*>(FromEdit), static_cast<QWidget*>(SubjectEdit),
                       static_cast<QWidget*>(Body), static_cast<QWidget*>(ListBox)})
        w->setEnabled(false);
    BulkRun::Result result;
    {
        BusyCursor busy;
        QStringList list = listEntries();
        result = m_run->run(list, FromEdit->text(), SubjectEdit->text(), Body->toPlainText());
    }
    StatusLine->hide();
    RefusedPane->hide();
    LoadButton->setEnabled(true);
    for (QWidget* w : {static_cast<QWidget*>(FromEdit), static_cast<QWidget*>(SubjectEdit),
                       static_cast<QWidget*>(Body), static_cast<QWidget*>(ListBox)})
        w->setEnabled(true);
    ExitButton->setText(QStringLiteral("Exit"));
    updateSend();
    if (result == BulkRun::Result::ConnectFailed) {
        const QString cause = m_run->connectFailure();
        messages().error(QString::fromUtf8(kBulkConnectionError) +
                         (cause.isEmpty() ? QString() : QLatin1Char('\n') + cause));
        return;
    }
    if (result != BulkRun::Result::NoPassword || m_run->sentCount() > 0)
        messages().info(m_run->countsText());
}

void Tbulkmail::ExitClick()
{
    if (m_run->isRunning()) {
        m_run->requestStop();
        ExitButton->setText(QStringLiteral("Exit"));
        return;
    }
    QDialog::reject();
}

void Tbulkmail::reject()
{
    // Escape or the close box during a run asks it to stop, as "Abort?" does.
    if (m_run->isRunning()) {
        ExitClick();
        return;
    }
    QDialog::reject();
}

void Tbulkmail::closeEvent(QCloseEvent* event)
{
    if (m_run->isRunning()) {
        event->ignore();
        ExitClick();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace os
