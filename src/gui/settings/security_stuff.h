#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace os {

// "Advanced Spoof Prevention": which requests the store script rejects and
// the expression it applies to the referring URL. OK stores into the
// settings record and writes the settings file.
class TSecurityStuff : public QDialog
{
    Q_OBJECT
public:
    explicit TSecurityStuff(QWidget* parent = nullptr);

    QCheckBox* SecRefBox = nullptr;
    QCheckBox* SecGetBox = nullptr;
    QCheckBox* SecPostBox = nullptr;
    QLineEdit* SecURLEdit = nullptr;
    QPushButton* SuggestLink = nullptr; // "Click Here for Suggested Expression"
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* HelpBtn = nullptr;

private:
    void SuggestLinkClick();
    void RejectBoxClick();
    void OKBtnClick();
};

} // namespace os
