#include "gui/todo/todo.h"
#include "gui/app/window_size.h"

#include "base/error.h"
#include "base/messages.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/db_grid.h"
#include "gui/todo/to_do_edit_form.h"
#include "todo/todo_list.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QStatusBar>

namespace os {

namespace {

constexpr int kHelpTopic = 30;

} // namespace

TTODO::TTODO(QWidget* parent)
    : BrowseDialog(QStringLiteral("To Do List"), QStringLiteral("To Do"), kHelpTopic, parent)
{
    setObjectName(QStringLiteral("TODO"));
    resizeWithinScreen(this,
                       QSize(fontMetrics().averageCharWidth() * 120, fontMetrics().height() * 32));
    TODOTABLE = new Table(QStringLiteral("todo"), this);
    TODOTABLE->setObjectName(QStringLiteral("TODOTABLE"));
    setupTodoTable(*TODOTABLE);

    DeleteAction = addCommand(QStringLiteral("&Delete"), "DeleteAction", QStyle::SP_TrashIcon,
                              [this] { DeleteClick(); });
    CloseAction = addCommand(QStringLiteral("&Close"), "CloseAction", QStyle::SP_DialogCloseButton,
                             [this] { close(); });
    NewAction = addCommand(
        QStringLiteral("&New Entry"), "NewAction", QStyle::SP_FileDialogNewFolder,
        [this] { NewEntryClick(); }, QKeySequence(Qt::Key_Insert));
    EditAction = addCommand(QStringLiteral("&Edit / View Entry"), "EditAction",
                            QStyle::SP_FileDialogDetailedView, [this] { EditEntryClick(); });
    addHelp();
    setOpenCommand(EditAction);
    setDeleteCommand(DeleteAction);

    GridColumn priority{QStringLiteral("PRIORITY"), QStringLiteral("Priority"), 8};
    priority.alignment = Qt::AlignCenter;
    grid()->setTable(TODOTABLE,
                     {priority,
                      {QStringLiteral("IDATE"), QStringLiteral("Last Modified"), 22},
                      {QStringLiteral("DESCRIPTION"), QStringLiteral("Description"), 60}});
    followGrid();
    DescriptionView = new QPlainTextEdit(this);
    DescriptionView->setObjectName(QStringLiteral("DescriptionView"));
    DescriptionView->setReadOnly(true);
    setDetail(DescriptionView);
    statusLine()->hide();
    connect(TODOTABLE, &Table::currentChanged, this, &TTODO::showCurrent);
    connect(TODOTABLE, &Table::dataChanged, this, &TTODO::showCurrent);
    ensureOpen();
}

TTODO* TTODO::instance(QWidget* owner)
{
    static QPointer<TTODO> window;
    if (!window)
        window = new TTODO(owner);
    window->ensureOpen();
    return window;
}

void TTODO::ensureOpen()
{
    TMainDataMod* data = TMainDataMod::instance();
    if (!data || !data->isOpen())
        return;
    if (TODOTABLE->isOpen() && TODOTABLE->directory() == data->directory())
        return;
    try {
        TODOTABLE->close();
        TODOTABLE->setDirectory(data->directory());
        TODOTABLE->open();
    } catch (const Error& e) {
        messages().error(e.text());
    }
}

void TTODO::showCurrent()
{
    DescriptionView->setPlainText(TODOTABLE->isOpen()
                                      ? TODOTABLE->value(QStringLiteral("DESCRIPTION")).toString()
                                      : QString());
}

void TTODO::updateCommands()
{
    const bool any = TODOTABLE->isOpen() && grid()->tableModel()->rowCount() > 0;
    DeleteAction->setEnabled(any);
    EditAction->setEnabled(any);
    NewAction->setEnabled(TODOTABLE->isOpen());
}

void TTODO::DeleteClick()
{
    if (!DeleteAction->isEnabled())
        return;
    if (messages().ask(QStringLiteral("Delete record?"), Buttons::YesNo, MessageKind::Warning) !=
        Answer::Yes)
        return;
    try {
        TODOTABLE->remove();
    } catch (const Error& e) {
        messages().error(e.text());
    }
}

void TTODO::NewEntryClick()
{
    if (!TODOTABLE->isOpen())
        return;
    try {
        TODOTABLE->last();
        TODOTABLE->insert();
    } catch (const Error& e) {
        messages().error(e.text());
        return;
    }
    TToDoEditForm form(TODOTABLE, this);
    form.exec();
    grid()->setFocus();
}

void TTODO::EditEntryClick()
{
    if (!EditAction->isEnabled())
        return;
    try {
        TODOTABLE->edit();
    } catch (const Error& e) {
        messages().error(e.text());
        return;
    }
    TToDoEditForm form(TODOTABLE, this);
    form.exec();
    grid()->setFocus();
}

void ToDoCommand(QWidget* mainForm)
{
    TTODO::instance(mainForm)->exec();
}

} // namespace os
