#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace os {

// "Net Connection Settings": the store script's URL with the certificate
// option, and the SMTP server, port, hello name, security and login. OK stores into the
// settings record and writes the settings file.
class TManagerConnection : public QDialog
{
    Q_OBJECT
public:
    explicit TManagerConnection(QWidget* parent = nullptr);

    QLineEdit* URLEdit = nullptr;
    QCheckBox* IgnoreCertBox = nullptr;
    QLineEdit* SMTPServerEdit = nullptr;
    QSpinBox* PortSpin = nullptr;
    QLineEdit* HelloEdit = nullptr;
    QComboBox* SecurityCombo = nullptr; // none, STARTTLS, TLS (SMTPSecurity)
    QLineEdit* UserEdit = nullptr;      // the login's user name; empty: no login
    QCheckBox* RememberBox = nullptr;   // "Remember password" (in the desktop's keyring)
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* HelpBtn = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OKBtnClick();
    void SecurityComboChange(int index);

    int m_security = 0; // the security shown before the last change
};

} // namespace os
