#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace os {

// Asks for a new store password, typed twice. Keys other than backspace,
// digits, ASCII letters and "_" are refused with a beep; OK is enabled while
// both entries hold at least 5 characters and are equal, case included.
class TChangePassword : public QDialog
{
    Q_OBJECT
public:
    explicit TChangePassword(QWidget* parent = nullptr);

    bool confirmed() const { return m_confirmed; }
    QString newPassword() const;

    QLineEdit* NewPassEdit = nullptr;     // "New Password:"
    QLineEdit* ConfirmPassEdit = nullptr; // "Confirm Password:"
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* HelpBtn = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateOk();

    bool m_confirmed = false;
};

} // namespace os
