#include "gui/mail/text_editor.h"

#include "base/error.h"
#include "base/messages.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/db_grid.h"
#include "gui/app/record_navigator.h"
#include "gui/mail/newio.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace os {

namespace {

constexpr int kHelpTopic = 26;
constexpr int kFlashMs = 200;
const QColor kNavy(0, 0, 128);

// Only an enabled button shows the colour; a disabled one looks disabled.
QString navySheet()
{
    return QStringLiteral("QToolButton:enabled { color: %1; }").arg(kNavy.name());
}

} // namespace

TTextEditor::TTextEditor(QWidget* parent)
    : BrowseDialog(QStringLiteral("Quillform Templates"), QStringLiteral("Quillform Templates"),
                   kHelpTopic, parent)
{
    setObjectName(QStringLiteral("TextEditor"));
    CloseAction = addCommand(QStringLiteral("&Close"), "CloseAction", QStyle::SP_DialogCloseButton,
                             [this] { close(); });
    NewAction = addCommand(QStringLiteral("&New Template"), "NewAction",
                           QStyle::SP_FileDialogNewFolder, [this] { NewTemplateClick(); });
    addHelp();
    ModifyAction = addCommand(QStringLiteral("&Modify / View"), "ModifyAction",
                              QStyle::SP_FileDialogDetailedView, [this] { ModifyClick(); });
    DeleteAction = addCommand(QStringLiteral("&Delete"), "DeleteAction", QStyle::SP_TrashIcon,
                              [this] { DeleteClick(); });
    setOpenCommand(ModifyAction);
    setDeleteCommand(DeleteAction);
    if (QToolButton* b = modifyButton())
        b->setStyleSheet(navySheet());

    if (Table* t = docs()) {
        grid()->setTable(t, {{QStringLiteral("DOCNAME"), QStringLiteral("Subject"), 50},
                             {QStringLiteral("FROM"), QStringLiteral("From e-mail address"), 40}});
        followGrid();
        toolBar()->addSeparator();
        Navigator = new RecordNavigator(grid()->tableModel(), RecordNavigator::Moves, this);
        toolBar()->addWidget(Navigator);
        connect(t, &Table::currentChanged, this, &TTextEditor::showCurrent);
        connect(t, &Table::dataChanged, this, &TTextEditor::showCurrent);
    }

    BodyView = new QPlainTextEdit(this);
    BodyView->setObjectName(QStringLiteral("BodyView"));
    BodyView->setReadOnly(true);
    BodyView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    BodyView->installEventFilter(this);
    setDetail(BodyView);
    statusLine()->hide();
    showCurrent();
}

Table* TTextEditor::docs() const
{
    TMainDataMod* data = TMainDataMod::instance();
    return data ? data->DocsTable : nullptr;
}

QToolButton* TTextEditor::modifyButton() const
{
    return qobject_cast<QToolButton*>(toolBar()->widgetForAction(ModifyAction));
}

QColor TTextEditor::modifyColor() const
{
    const QString sheet = modifyButton() ? modifyButton()->styleSheet() : QString();
    return sheet.contains(QStringLiteral("red")) ? QColor(Qt::red) : kNavy;
}

void TTextEditor::showCurrent()
{
    Table* t = docs();
    BodyView->setPlainText(t && t->isOpen() ? t->value(QStringLiteral("DOCBODY")).toString()
                                            : QString());
    updateCommands();
}

void TTextEditor::updateCommands()
{
    Table* t = docs();
    const bool body = t && t->isOpen() && !t->value(QStringLiteral("DOCBODY")).toString().isEmpty();
    ModifyAction->setEnabled(body);
    DeleteAction->setEnabled(body);
    NewAction->setEnabled(t && t->isOpen());
}

bool TTextEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == BodyView && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Moving about and copying are fine; typing is for the editor.
        const bool typing = !key->text().isEmpty() && key->text().at(0).isPrint() &&
                            !(key->modifiers() & Qt::ControlModifier);
        if (typing || key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete ||
            key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            flashModify();
    }
    return BrowseDialog::eventFilter(watched, event);
}

void TTextEditor::flashModify()
{
    QToolButton* b = modifyButton();
    if (!b)
        return;
    b->setStyleSheet(QStringLiteral("QToolButton:enabled { color: red; }"));
    messages().beep();
    QTimer::singleShot(kFlashMs, b, [b] { b->setStyleSheet(navySheet()); });
}

void TTextEditor::NewTemplateClick()
{
    Tnewio editor(Tnewio::Mode::New, this);
    editor.exec();
    showCurrent();
}

void TTextEditor::ModifyClick()
{
    if (!ModifyAction->isEnabled())
        return;
    Tnewio editor(Tnewio::Mode::Modify, this);
    editor.exec();
    showCurrent();
}

void TTextEditor::DeleteClick()
{
    Table* t = docs();
    if (!t || !t->isOpen() || t->isEmpty())
        return;
    if (messages().ask(QStringLiteral("Delete record?"), Buttons::YesNo, MessageKind::Warning) !=
        Answer::Yes)
        return;
    try {
        t->remove();
    } catch (const Error& e) {
        messages().error(e.text());
    }
}

void TTextEditor::done(int result)
{
    if (Table* t = docs();
        t && (t->state() == Table::State::Edit || t->state() == Table::State::Insert)) {
        try {
            if (!t->post())
                return; // refused: the message was shown; the window stays
        } catch (const Error& e) {
            messages().error(e.text());
            return;
        }
    }
    BrowseDialog::done(result);
}

} // namespace os
