#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace os {

class Table;

// "To Do Entry": the priority (0 to 5) and the description (at most 255
// characters, one paragraph: Enter adds nothing) of the to-do entry that
// TODOTABLE is inserting or editing. Closing the dialog in any way but
// "&Cancel" (or Escape) saves: PRIORITY from the spinner, IDATE now, post; a
// refused entry keeps the dialog open.
class TToDoEditForm : public QDialog
{
    Q_OBJECT
public:
    explicit TToDoEditForm(Table* todoTable, QWidget* parent = nullptr);

    QSpinBox* PrioritySpin = nullptr;
    QPlainTextEdit* DescriptionEdit = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    void OKBtnClick();
    void CancelBtnClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    bool save();
    void keepOneParagraph();
    Table* m_table;
    bool m_closing = false;
};

} // namespace os
