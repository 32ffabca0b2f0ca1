#pragma once

#include "gui/mail/browse_dialog.h"

class QPlainTextEdit;
class QToolButton;

namespace os {

class RecordNavigator;
class Table;

// "Quillform Templates": the templates of the shared DocsTable in subject
// order with the current one's body below (read-only), the template editor
// for a new one or the current one, Delete, and a record navigator. A key
// pressed in the body flashes "Modify / View" red with a beep: that is where
// a template is changed.
class TTextEditor : public BrowseDialog
{
    Q_OBJECT
public:
    explicit TTextEditor(QWidget* parent = nullptr);

    QPlainTextEdit* BodyView = nullptr;
    RecordNavigator* Navigator = nullptr;
    QAction* CloseAction = nullptr;
    QAction* NewAction = nullptr;    // "New Template"
    QAction* ModifyAction = nullptr; // "Modify / View"
    QAction* DeleteAction = nullptr;

    void NewTemplateClick();
    void ModifyClick();
    void DeleteClick();
    void updateCommands() override;

    // The colour "Modify / View" shows now (navy, or red while flashing).
    QColor modifyColor() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override; // posts a pending edit of DocsTable

private:
    Table* docs() const;
    void showCurrent();
    void flashModify();
    QToolButton* modifyButton() const;
};

} // namespace os
