#include "gui/settings/change_password.h"

#include "gui/app/dialog_buttons.h"

#include "base/messages.h"
#include "sync/protocol.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace os {

namespace {

QLineEdit* passwordField(const QString& name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // '*'
    return edit;
}

} // namespace

TChangePassword::TChangePassword(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ChangePassword"));
    setWindowTitle(QStringLiteral("Change Password"));
    // Room for the rule text in two lines rather than five.
    setMinimumWidth(fontMetrics().averageCharWidth() * 64);

    NewPassEdit = passwordField(QStringLiteral("NewPassEdit"), this);
    ConfirmPassEdit = passwordField(QStringLiteral("ConfirmPassEdit"), this);
    NewPassEdit->installEventFilter(this);
    ConfirmPassEdit->installEventFilter(this);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("New Password:"), NewPassEdit);
    form->addRow(QStringLiteral("Confirm Password:"), ConfirmPassEdit);

    auto* rule = new QLabel(
        QStringLiteral("Password must be letters and numbers only and must be at least 5 "
                       "characters. Your password is case sensitive."),
        this);
    rule->setWordWrap(true);

    const DialogButtons row = makeDialogButtons(
        this, QStringLiteral("&OK"), QStringLiteral("&Cancel"), QStringLiteral("&Help"), 0);
    OKBtn = row.ok;
    CancelBtn = row.cancel;
    HelpBtn = row.help;
    OKBtn->setEnabled(false);
    QHBoxLayout* buttons = row.layout;

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(rule);
    layout->addLayout(buttons);

    fitHeightToWidth(this);

    connect(NewPassEdit, &QLineEdit::textChanged, this, &TChangePassword::updateOk);
    connect(ConfirmPassEdit, &QLineEdit::textChanged, this, &TChangePassword::updateOk);
    connect(OKBtn, &QPushButton::clicked, this, [this] {
        m_confirmed = true;
        accept();
    });
    connect(CancelBtn, &QPushButton::clicked, this, [this] {
        m_confirmed = false;
        reject();
    });
}

QString TChangePassword::newPassword() const
{
    return NewPassEdit->text();
}

void TChangePassword::updateOk()
{
    OKBtn->setEnabled(newPasswordConfirmed(NewPassEdit->text(), ConfirmPassEdit->text()));
}

bool TChangePassword::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == NewPassEdit || watched == ConfirmPassEdit) &&
        event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        // Only typed characters are filtered: editing and navigation keys,
        // Enter, Escape and control characters pass, and so do Ctrl and
        // Ctrl+Shift chords (shortcuts such as paste, which the field never
        // types). Alt, Meta and Ctrl+Alt (AltGr) keys do type their
        // character, so they are filtered like any other.
        const Qt::KeyboardModifiers mods =
            key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
        if (text.size() == 1 && text[0].unicode() >= 0x20 && !isStorePasswordChar(text[0]) &&
            mods != Qt::ControlModifier) {
            messages().beep();
            return true;
        }
        if (text.size() > 1) { // composed input of several characters
            for (const QChar c : text) {
                if (!isStorePasswordChar(c)) {
                    messages().beep();
                    return true;
                }
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace os
