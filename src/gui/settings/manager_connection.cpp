#include "gui/settings/manager_connection.h"

#include "gui/app/dialog_buttons.h"

#include "base/messages.h"
#include "base/settings.h"
#include "gui/settings/settings_editor.h"
#include "mail/mail_server.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace os {

namespace {

QLabel* note(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

} // namespace

TManagerConnection::TManagerConnection(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ManagerConnection"));
    setWindowTitle(QStringLiteral("Ordersentinel Net Connection Settings"));
    setMinimumWidth(fontMetrics().averageCharWidth() * 90); // room for a full store URL

    auto* cgiGroup = new QGroupBox(QStringLiteral("Ordersentinel CGI Location"), this);
    auto* cgiLayout = new QVBoxLayout(cgiGroup);
    cgiLayout->addWidget(
        note(QStringLiteral("This must be the fully qualified URL to the Ordersentinel CGI script "
                            "(ordersentinel.cgi)."),
             cgiGroup));
    URLEdit = new QLineEdit(cgiGroup);
    URLEdit->setObjectName(QStringLiteral("URLEdit"));
    cgiLayout->addWidget(URLEdit);
    cgiLayout->addWidget(
        note(QStringLiteral("This URL may contain either HTTPS or HTTP. If HTTPS is used, you must "
                            "also have an SSL compatible server."),
             cgiGroup));
    cgiLayout->addWidget(note(
        QStringLiteral("If you are using your ISP's security, you can tell Ordersentinel to "
                       "ignore your invalid certificate, otherwise Ordersentinel will reject "
                       "a domain/certificate mismatch and will reject an expired certificate."),
        cgiGroup));
    IgnoreCertBox = new QCheckBox(QStringLiteral("Ignore my invalid certificate"), cgiGroup);
    IgnoreCertBox->setObjectName(QStringLiteral("IgnoreCertBox"));
    cgiLayout->addWidget(IgnoreCertBox);

    auto* mailGroup = new QGroupBox(QStringLiteral("Sending Mail"), this);
    auto* mailLayout = new QFormLayout(mailGroup);
    SMTPServerEdit = new QLineEdit(mailGroup);
    SMTPServerEdit->setObjectName(QStringLiteral("SMTPServerEdit"));
    PortSpin = new QSpinBox(mailGroup);
    PortSpin->setObjectName(QStringLiteral("PortSpin"));
    PortSpin->setRange(0, 25000);
    PortSpin->setSingleStep(1);
    HelloEdit = new QLineEdit(mailGroup);
    HelloEdit->setObjectName(QStringLiteral("HelloEdit"));
    HelloEdit->installEventFilter(this);
    mailLayout->addRow(QStringLiteral("SMTP Server:"), SMTPServerEdit);
    mailLayout->addRow(QStringLiteral("PORT:"), PortSpin);
    mailLayout->addRow(QStringLiteral("Hello"), HelloEdit);
    SecurityCombo = new QComboBox(mailGroup);
    SecurityCombo->setObjectName(QStringLiteral("SecurityCombo"));
    SecurityCombo->addItems(
        {QStringLiteral("None"), QStringLiteral("STARTTLS"), QStringLiteral("TLS")});
    UserEdit = new QLineEdit(mailGroup);
    UserEdit->setObjectName(QStringLiteral("UserEdit"));
    UserEdit->setPlaceholderText(QStringLiteral("no login"));
    RememberBox = new QCheckBox(QStringLiteral("Remember password"), mailGroup);
    RememberBox->setObjectName(QStringLiteral("RememberBox"));
    mailLayout->addRow(QStringLiteral("Security:"), SecurityCombo);
    mailLayout->addRow(QStringLiteral("User name:"), UserEdit);
    mailLayout->addRow(QString(), RememberBox);
    mailLayout->addRow(note(QStringLiteral("Most mail servers want STARTTLS (port 587) or TLS "
                                           "(port 465) and a login. The password is asked at "
                                           "the first send of each run; \"Remember password\" "
                                           "keeps it in the desktop's keyring."),
                            mailGroup));

    const DialogButtons row = makeDialogButtons(
        this, QStringLiteral("&OK"), QStringLiteral("&Cancel"), QStringLiteral("Help"), 10);
    OKBtn = row.ok;
    CancelBtn = row.cancel;
    HelpBtn = row.help;
    QHBoxLayout* buttons = row.layout;

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(cgiGroup);
    layout->addWidget(mailGroup);
    layout->addLayout(buttons);

    const Settings& s = settings();
    URLEdit->setText(s.VendixManagerURL);
    IgnoreCertBox->setChecked(s.IGNORE_INVALID_CERT);
    SMTPServerEdit->setText(s.SMTPServer);
    PortSpin->setValue(s.SMTPPORT);
    HelloEdit->setText(s.SMTPhello);
    m_security = s.SMTPSecurity >= 0 && s.SMTPSecurity <= 2 ? s.SMTPSecurity : 0;
    SecurityCombo->setCurrentIndex(m_security);
    UserEdit->setText(s.SMTPUser);
    RememberBox->setChecked(s.SMTPRememberPassword);
    RememberBox->setEnabled(!s.SMTPUser.trimmed().isEmpty());

    fitHeightToWidth(this);

    connect(OKBtn, &QPushButton::clicked, this, &TManagerConnection::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(SecurityCombo, &QComboBox::currentIndexChanged, this,
            &TManagerConnection::SecurityComboChange);
    connect(UserEdit, &QLineEdit::textChanged, this,
            [this](const QString& user) { RememberBox->setEnabled(!user.trimmed().isEmpty()); });
}

// A port left at the usual one of the old security follows to the new one's.
void TManagerConnection::SecurityComboChange(int index)
{
    static const int kUsualPort[] = {25, 587, 465};
    PortSpin->interpretText();
    if (m_security >= 0 && m_security <= 2 && index >= 0 && index <= 2 &&
        PortSpin->value() == kUsualPort[m_security])
        PortSpin->setValue(kUsualPort[index]);
    m_security = index;
}

void TManagerConnection::OKBtnClick()
{
    Settings& s = settings();
    const Settings before = s;
    s.VendixManagerURL = URLEdit->text();
    s.SMTPServer = SMTPServerEdit->text();
    PortSpin->interpretText(); // a port typed but not yet committed counts
    s.SMTPPORT = PortSpin->value();
    s.SMTPhello = HelloEdit->text();
    s.IGNORE_INVALID_CERT = IgnoreCertBox->isChecked();
    s.SMTPSecurity = SecurityCombo->currentIndex();
    s.SMTPUser = UserEdit->text().trimmed();
    s.SMTPRememberPassword = RememberBox->isChecked() && !s.SMTPUser.isEmpty();
    if (saveEditedSettings()) {
        // A password no longer to be remembered (or of another login) leaves
        // the keyring.
        if (before.SMTPRememberPassword && mailLoginConfigured(before) &&
            (!s.SMTPRememberPassword || mailPasswordKey(before) != mailPasswordKey(s)))
            forgetMailPassword(before);
        accept();
    }
}

bool TManagerConnection::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == HelloEdit && event->type() == QEvent::MouseButtonRelease)
        messages().info(QStringLiteral(
            "This field should be left blank in almost all cases. This is for advanced "
            "usage only. If you are not sure what to put in this field, then leave it "
            "empty."));
    return QDialog::eventFilter(watched, event);
}

} // namespace os
