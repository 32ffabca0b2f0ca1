#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace os {

// "Net Connection Settings": the store script's URL with the certificate
// option, and the SMTP server, port and hello name. OK stores into the
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
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* HelpBtn = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OKBtnClick();
};

} // namespace os
