#pragma once

#include "gui/mail/browse_dialog.h"

class QPlainTextEdit;

namespace os {

class Table;

// "To Do List": the merchant's to-do entries, highest priority first and,
// within a priority, the most recently changed first (the IMP index of
// todo.db), with the current entry's description below. Entries are added
// and changed in the To Do Entry dialog. Kept for the whole run (instance());
// its table TODOTABLE is opened when the window is made.
class TTODO : public BrowseDialog
{
    Q_OBJECT
public:
    explicit TTODO(QWidget* parent = nullptr);

    // The window of the run, made on first use as a child of `owner`.
    static TTODO* instance(QWidget* owner);

    Table* TODOTABLE = nullptr;
    QPlainTextEdit* DescriptionView = nullptr;
    QAction* DeleteAction = nullptr;
    QAction* CloseAction = nullptr;
    QAction* NewAction = nullptr;  // "New Entry"
    QAction* EditAction = nullptr; // "Edit / View Entry"

    void DeleteClick();
    void NewEntryClick();
    void EditEntryClick();
    void updateCommands() override;

    // Opens TODOTABLE when it is closed (the company database was opened
    // after the window was made, or again).
    void ensureOpen();

private:
    void showCurrent();
};

// The main window's "To-Do": the window of the run, modal.
void ToDoCommand(QWidget* mainForm);

} // namespace os
