#pragma once

#include "mail/template_examples.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolButton;

namespace os {

class TagHighlighter;

// The Quillform Template editor: "New Quillform Template", or "Modify
// Quillform Template" on the current row of the shared DocsTable. The body
// shows the merge tags and "<! ... !>" notes highlighted; "Quillform Tags"
// inserts a tag at the caret and "Show me an example" fills in one of six
// example letters for the merchant's company. "&OK" (enabled while "From:",
// "Subject:" and the body are all filled) stores the template; a subject that
// another template has already is refused and the editor stays open.
class Tnewio : public QDialog
{
    Q_OBJECT
public:
    enum class Mode
    {
        New,
        Modify
    };

    explicit Tnewio(Mode mode, QWidget* parent = nullptr);

    QLineEdit* SubjectEdit = nullptr;
    QLineEdit* FromEdit = nullptr;
    QPlainTextEdit* BodyEdit = nullptr;
    QToolButton* CopyBtn = nullptr;
    QToolButton* CutBtn = nullptr;
    QToolButton* PasteBtn = nullptr;
    QToolButton* TagsBtn = nullptr; // "Quillform Tags"
    // "Show me an example": its caption blinks red for 3 seconds after
    // opening, or until the mouse comes to it.
    QToolButton* ExampleBtn = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* HelpBtn = nullptr;

    void OKBtnClick();
    void loadExample(TemplateExample which);
    bool isBlinking() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMenu* buildTagsMenu();
    QMenu* buildExampleMenu();
    void insertTag(const QString& tag);
    void updateOk();
    void stopBlinking();

    Mode m_mode;
    TagHighlighter* m_highlighter = nullptr;
    QTimer* m_blink = nullptr;
    bool m_red = false;
};

} // namespace os
