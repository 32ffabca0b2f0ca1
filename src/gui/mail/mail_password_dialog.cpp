#include "gui/mail/mail_password_dialog.h"

#include "gui/app/dialog_buttons.h"
#include "mail/mail_server.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace os {

TMailPasswordDialog::TMailPasswordDialog(const QString& text, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MailPasswordDialog"));
    setWindowTitle(QStringLiteral("Mail Server Password"));
    setMinimumWidth(fontMetrics().averageCharWidth() * 50);

    PromptLabel = new QLabel(text, this);
    PromptLabel->setWordWrap(true);
    PassEdit = new QLineEdit(this);
    PassEdit->setObjectName(QStringLiteral("PassEdit"));
    PassEdit->setEchoMode(QLineEdit::Password);
    PromptLabel->setBuddy(PassEdit);

    const DialogButtons row = makeDialogButtons(
        this, QStringLiteral("&OK"), QStringLiteral("&Cancel"), QStringLiteral("Help"), 10);
    OKBtn = row.ok;
    CancelBtn = row.cancel;
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PromptLabel);
    layout->addWidget(PassEdit);
    layout->addLayout(row.layout);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    fitHeightToWidth(this);
}

void TMailPasswordDialog::install()
{
    setMailPasswordPrompt([](const QString& text) -> std::optional<QString> {
        TMailPasswordDialog dialog(text, QApplication::activeWindow());
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.PassEdit->text();
    });
}

} // namespace os
