#include "gui/customers/main_customers_view.h"

#include "base/busy_cursor.h"
#include "base/error.h"
#include "base/main_services.h"
#include "base/messages.h"
#include "base/paths.h"
#include "data/main_data_mod.h"
#include "data/table.h"
#include "gui/app/db_grid.h"
#include "gui/app/file_dialog.h"
#include "gui/app/record_navigator.h"
#include "gui/customers/customer_profile.h"
#include "gui/customers/customers_commands.h"
#include "gui/mail/mailing_list_builder.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace os {

namespace {

NullMainServices g_noMainWindow;

} // namespace

TMainCustomersView::TMainCustomersView(MainServices* main, QWidget* parent)
    : ChildBrowser(QStringLiteral("Customers View"), 43, main ? main : &g_noMainWindow, parent)
{
    setObjectName(QStringLiteral("MainCustomersView"));
    TMainDataMod* data = TMainDataMod::instance();
    Q_ASSERT_X(data, "TMainCustomersView", "the data module comes first");

    MainCustomersView = new Table(QStringLiteral("customers"), this);
    MainCustomersView->setObjectName(QStringLiteral("MainCustomersViewTable"));
    MainCustomersView->setDirectory(data->directory());

    Grid = new DbGrid(this);
    Grid->setObjectName(QStringLiteral("CustomersGrid"));
    QList<GridColumn> columns;
    for (const CustomerColumn& c : customerColumns()) {
        GridColumn g;
        g.field = QLatin1String(c.field);
        g.title = QLatin1String(c.title);
        columns << g;
    }
    columns[0].width = 9;  // ID
    columns[2].width = 36; // E-mail: most addresses whole
    columns[5].width = 28; // Street
    Grid->setTable(MainCustomersView, columns);
    body()->addWidget(Grid);

    QToolBar* bar = toolbar();
    Navigator = new RecordNavigator(Grid->tableModel(), RecordNavigator::Browsing, bar);
    bar->addWidget(Navigator);
    bar->addSeparator();

    SearchEdit = new QLineEdit(bar);
    SearchEdit->setObjectName(QStringLiteral("SearchEdit"));
    SearchEdit->setPlaceholderText(QStringLiteral("Search text"));
    SearchEdit->setToolTip(QStringLiteral("The text to search for (Ctrl+F); Enter or Find "
                                          "chooses the column"));
    SearchEdit->setClearButtonEnabled(true);
    SearchEdit->setMinimumWidth(SearchEdit->fontMetrics().averageCharWidth() * 24);
    SearchEdit->setMaximumWidth(SearchEdit->fontMetrics().averageCharWidth() * 40);
    bar->addWidget(SearchEdit);
    auto* findKey = new QShortcut(QKeySequence::Find, this);
    connect(findKey, &QShortcut::activated, this, [this] {
        SearchEdit->setFocus();
        SearchEdit->selectAll();
    });

    FindButton = new CommandButton(bar);
    FindButton->setObjectName(QStringLiteral("FindButton"));
    FindButton->setText(QStringLiteral("Find"));
    FindButton->setToolTip(QStringLiteral("Search one column for the text"));
    FindButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    FindButton->setPopupMode(QToolButton::InstantPopup);
    buildFindMenu();
    FindButton->setMenu(FindMenu);
    FindMenu->setParent(FindButton, FindMenu->windowFlags());
    bar->addWidget(FindButton);
    // Enter in the box opens the column list under Find, for the keyboard.
    connect(SearchEdit, &QLineEdit::returnPressed, this, [this] {
        if (FindButton->isEnabled())
            FindButton->showMenu();
    });
    connect(SearchEdit, &QLineEdit::textChanged, this,
            [this](const QString& text) { FindButton->setEnabled(!text.isEmpty()); });
    FindButton->setEnabled(false);
    bar->addSeparator();

    buildChildCommands(commands(), *this, customersViewCommands(), bar);
    finishToolbar();
    setRowMenu(Grid, {QStringLiteral("ProfileButton"), QStringLiteral("BuildListButton")});

    watch(MainCustomersView);
    connect(Grid->tableModel(), &QAbstractItemModel::modelReset, this,
            &TMainCustomersView::updateCommands);

    try {
        MainCustomersView->open();
    } catch (const Error& e) {
        messages().error(e.text());
    }
    Grid->setFocus();
}

TMainCustomersView::~TMainCustomersView()
{
    MainCustomersView->close();
}

void TMainCustomersView::buildFindMenu()
{
    FindMenu = new QMenu(this);
    FindMenu->setObjectName(QStringLiteral("FindMenu"));
    QMenu* menus[3] = {FindMenu, nullptr, nullptr};
    QAction* number = nullptr;
    for (const CustomerFindItem& item : customerFindItems()) {
        QMenu* menu = menus[item.place];
        if (item.separatorBefore)
            menu->addSeparator();
        const QString caption = QString::fromUtf8(item.caption);
        if (!*item.column) {
            QMenu* sub = menu->addMenu(caption);
            sub->setObjectName(QLatin1String(item.objectName) + QStringLiteral("Menu"));
            sub->menuAction()->setObjectName(QLatin1String(item.objectName));
            menus[caption == QLatin1String("Billing") ? 1 : 2] = sub;
            continue;
        }
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(item.objectName));
        const QString column = QLatin1String(item.column);
        connect(a, &QAction::triggered, this, [this, column] { searchColumn(column); });
        if (column == QLatin1String("CUSTID"))
            number = a;
    }
    // "Customer Number" only for a number, checked each time the menu opens.
    connect(FindMenu, &QMenu::aboutToShow, this,
            [this, number] { number->setEnabled(isCustomerNumberText(SearchEdit->text())); });
}

bool TMainCustomersView::hasRows() const
{
    return MainCustomersView->isOpen() && Grid->tableModel()->rowCount() > 0;
}

bool TMainCustomersView::hasCustomer() const
{
    return hasRows() && MainCustomersView->bookmark() != 0 &&
           !MainCustomersView->value(QStringLiteral("CUSTID")).toString().isEmpty();
}

void TMainCustomersView::setList(const CustomerListQuery& query)
{
    try {
        BusyCursor busy;
        applyCustomerList(*MainCustomersView, query);
        m_query = query;
    } catch (const Error& e) {
        messages().error(e.text());
    }
    updateCommands();
}

void TMainCustomersView::searchColumn(const QString& column)
{
    const QString text = SearchEdit->text();
    if (text.isEmpty())
        return;
    if (column == QLatin1String("CUSTID") && !isCustomerNumberText(text))
        return;
    setList(customerSearch(column, text));
    Grid->setFocus();
}

void TMainCustomersView::RemoveQueryClick()
{
    setList({});
    Grid->setFocus();
}

void TMainCustomersView::ProfileClick()
{
    if (!hasCustomer())
        return;
    TCustomersForm profile(MainCustomersView->value(QStringLiteral("CUSTID")).toLongLong(), this);
    profile.exec();
}

void TMainCustomersView::BuildListClick()
{
    if (!hasRows())
        return;
    TMailingListBuilder builder(*MainCustomersView, this);
    builder.exec();
}

void TMainCustomersView::ExportClick()
{
    const QString file = getSaveFileName(this, QStringLiteral("Export Customers"),
                                         AppPaths::homeFile(QStringLiteral("customers.csv")),
                                         QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (file.isEmpty())
        return;
    try {
        qint64 rows = 0;
        {
            BusyCursor busy;
            rows = ExportCustomersToFile(*MainCustomersView, file);
        }
        messages().info(QStringLiteral("%1 customers were exported to %2.")
                            .arg(rows)
                            .arg(QDir::toNativeSeparators(file)));
    } catch (const Error& e) {
        messages().error(e.text());
    }
}

void TMainCustomersView::updateCommands()
{
    ChildCommandSet& c = commands();
    c.setEnabled(QStringLiteral("ProfileButton"), hasCustomer());
    c.setEnabled(QStringLiteral("BuildListButton"), hasRows());
    c.setEnabled(QStringLiteral("ExportButton"), hasRows());
}

} // namespace os
