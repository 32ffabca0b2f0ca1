#include "gui/mail/sent_items.h"

#include "base/error.h"
#include "base/messages.h"
#include "data/main_data_mod.h"
#include "data/query.h"
#include "data/table.h"
#include "gui/app/db_grid.h"
#include "gui/mail/message_fields.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>

namespace os {

namespace {

constexpr int kHelpTopic = 25;

} // namespace

TSentItems::TSentItems(QWidget* parent)
    : BrowseDialog(QStringLiteral("Sent Items"), QStringLiteral("Sent Items"), kHelpTopic, parent)
{
    setObjectName(QStringLiteral("SentItems"));
    Table1 = new Table(QStringLiteral("sentitems"), this);
    Table1->setObjectName(QStringLiteral("Table1"));
    Query1 = new Query(this);
    Query1->setObjectName(QStringLiteral("Query1"));
    Query1->setSql(QStringLiteral("delete from sentitems.db"));

    EmptyAction = addCommand(QStringLiteral("&Empty"), "EmptyAction", QStyle::SP_TrashIcon,
                             [this] { EmptyClick(); });
    CloseAction = addCommand(QStringLiteral("&Close"), "CloseAction", QStyle::SP_DialogCloseButton,
                             [this] { close(); });
    DeleteAction = addCommand(QStringLiteral("&Delete"), "DeleteAction", QStyle::SP_BrowserStop,
                              [this] { DeleteClick(); });
    toolBar()->addSeparator();
    AddressEdit = new QLineEdit(this);
    AddressEdit->setObjectName(QStringLiteral("AddressEdit"));
    AddressEdit->setPlaceholderText(QStringLiteral("e-mail address"));
    AddressEdit->setMinimumWidth(fontMetrics().averageCharWidth() * 30);
    AddressEdit->setMaximumWidth(fontMetrics().averageCharWidth() * 45);
    AddressEdit->setMaxLength(255);
    toolBar()->addWidget(AddressEdit);
    FilterAction = addCommand(QStringLiteral("&Filter"), "FilterAction",
                              QStyle::SP_FileDialogContentsView, [this] { FilterClick(); });
    RemoveFilterAction = addCommand(QStringLiteral("&Remove Filter"), "RemoveFilterAction",
                                    QStyle::SP_DialogResetButton, [this] { RemoveFilterClick(); });
    addHelp();
    setDeleteCommand(DeleteAction);
    RemoveFilterAction->setEnabled(false);

    setMessageGrid(grid(), Table1);
    followGrid();
    Message = new MessageFields(MessageFields::ReadOnly, this);
    setDetail(Message);
    statusLine()->hide();

    GridMenu = new QMenu(this);
    GridMenu->setObjectName(QStringLiteral("GridMenu"));
    FilterAddressItem = GridMenu->addAction(QStringLiteral("Filter on this email address"));
    FilterAddressItem->setObjectName(QStringLiteral("FilterAddressItem"));
    connect(FilterAddressItem, &QAction::triggered, this, &TSentItems::FilterAddressClick);
    grid()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid(), &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        updateCommands();
        GridMenu->popup(grid()->viewport()->mapToGlobal(at));
    });
    connect(AddressEdit, &QLineEdit::textChanged, this, &TSentItems::updateCommands);
    connect(AddressEdit, &QLineEdit::returnPressed, this, [this] {
        if (FilterAction->isEnabled())
            FilterClick();
    });
    connect(Table1, &Table::currentChanged, this, &TSentItems::showCurrent);
    connect(Table1, &Table::dataChanged, this, &TSentItems::showCurrent);

    if (TMainDataMod* data = TMainDataMod::instance()) {
        Table1->setDirectory(data->directory());
        Query1->setDirectory(data->directory());
        try {
            Table1->open();
        } catch (const Error& e) {
            messages().error(e.text());
        }
    }
    updateCommands();
}

void TSentItems::showCurrent()
{
    Message->load(*Table1);
}

void TSentItems::updateCommands()
{
    const bool any = Table1->isOpen() && grid()->tableModel()->rowCount() > 0;
    DeleteAction->setEnabled(any);
    FilterAddressItem->setEnabled(any);
    FilterAction->setEnabled(!AddressEdit->text().isEmpty());
}

int TSentItems::filterOnAddress(const QString& address)
{
    try {
        Table1->setFilter(filterEquals(QStringLiteral("TO"), address));
        Table1->setFiltered(true);
    } catch (const Error& e) {
        messages().error(e.text());
    }
    RemoveFilterAction->setEnabled(true);
    updateCommands();
    return Table1->isOpen() ? Table1->recordCount() : 0;
}

void TSentItems::FilterClick()
{
    filterOnAddress(AddressEdit->text());
}

void TSentItems::FilterAddressClick()
{
    filterOnAddress(Table1->value(QStringLiteral("TO")).toString());
}

void TSentItems::RemoveFilterClick()
{
    Table1->setFiltered(false);
    Table1->setFilter(QString());
    RemoveFilterAction->setEnabled(false);
    updateCommands();
}

void TSentItems::DeleteClick()
{
    if (!DeleteAction->isEnabled())
        return;
    try {
        Table1->remove(); // at once, without a question
    } catch (const Error& e) {
        messages().error(e.text());
    }
}

void TSentItems::EmptyClick()
{
    if (messages().ask(QStringLiteral("Are you sure you want to delete all sent items?"),
                       Buttons::YesNo, MessageKind::Warning) != Answer::Yes)
        return;
    try {
        Query1->exec();
        Table1->refresh();
    } catch (const Error& e) {
        messages().error(e.text());
    }
    updateCommands();
}

void TSentItems::done(int result)
{
    Table1->close();
    BrowseDialog::done(result);
}

} // namespace os
