#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace os {

// "Web Documents": where the store's cgi-bin lives (plain and secure) and the
// web pages the store links to. OK stores into the settings record and writes
// the settings file.
class TWebDocsForm : public QDialog
{
    Q_OBJECT
public:
    explicit TWebDocsForm(QWidget* parent = nullptr);

    QTabWidget* Pages = nullptr;
    QLineEdit* CGIBINEdit = nullptr;
    QCheckBox* UseSSLBox = nullptr;
    QLineEdit* SSLCGIBINEdit = nullptr;
    QCheckBox* SSLOnlyBox = nullptr;
    QLineEdit* HomePageEdit = nullptr;
    QLineEdit* StoreEntranceEdit = nullptr;
    QLineEdit* PoliciesEdit = nullptr;
    QLineEdit* StoreDomainEdit = nullptr; // the installation's store domain
    QComboBox* StoreCharsetBox = nullptr; // "windows-1252" or "utf-8"
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* HelpBtn = nullptr;

private:
    void UseSSLBoxClick();
    void SSLOnlyBoxClick(bool checked);
    void OKBtnClick();

    QString m_storedDomain;  // what the installation file holds
    int m_storedCharset = 0; // index of the set the installation file holds
};

} // namespace os
