#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace os {

// "Mail Server Password": asks the password of the mail server's login at
// the first send of a program run (see mail/mail_server.h).
class TMailPasswordDialog : public QDialog
{
    Q_OBJECT
public:
    TMailPasswordDialog(const QString& text, QWidget* parent = nullptr);

    QLabel* PromptLabel = nullptr;
    QLineEdit* PassEdit = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    // Makes this dialog the mail password prompt of the window build.
    static void install();
};

} // namespace os
